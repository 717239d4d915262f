#pragma once
// The Windows programs' start-up, progress window and message loop, around the conversion run on
// its worker thread.
#include <windows.h>

#include "core/Program.h"

namespace grid {

// The program entry of Gridweave (char16_t) or Gridquill (char) with its own parts; returns the
// exit code.
template <class Ch> int runWindowsProgram(HINSTANCE instance, int showCommand, const ProgramParts<Ch>& parts);

}  // namespace grid
