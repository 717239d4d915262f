// gridweave: the cells on the clipboard become one HTML table on the clipboard.
#include "html/HtmlProgram.h"
#include "shell/gtk/ProgressWindow_gtk.h"

int main(int argc, char** argv) { return grid::runGtkProgram<char16_t>(argc, argv, grid::kGridweaveParts); }
