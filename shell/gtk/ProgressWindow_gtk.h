#pragma once
// The Linux programs' start-up, progress window, message dialogs and clipboard, on GTK 3.
namespace grid {

// The program entry of gridweave (char16_t) or gridquill (char); returns the exit code.
template <class Ch> int runGtkProgram(int argc, char** argv);

}  // namespace grid
