#pragma once
// The Linux programs' start-up, progress window, message dialogs and clipboard, on GTK 3.
#include "core/Program.h"

namespace grid {

// The program entry of gridweave (char16_t) or gridquill (char) with its own parts; returns the
// exit code.
template <class Ch> int runGtkProgram(int argc, char** argv, const ProgramParts<Ch>& parts);

}  // namespace grid
