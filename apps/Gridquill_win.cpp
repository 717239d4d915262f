// Gridquill for Windows: the cells on the clipboard become wiki table markup on the clipboard.
#include "shell/win32/ProgressWindow_win.h"
#include "wiki/WikiProgram.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand) {
    return grid::runWindowsProgram<char>(instance, showCommand, grid::kGridquillParts);
}
