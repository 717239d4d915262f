// Gridweave for Windows: the cells on the clipboard become one HTML table on the clipboard.
#include "html/HtmlProgram.h"
#include "shell/win32/ProgressWindow_win.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand) {
    return grid::runWindowsProgram<char16_t>(instance, showCommand, grid::kGridweaveParts);
}
