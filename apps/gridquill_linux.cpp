// gridquill: the cells on the clipboard become wiki table markup on the clipboard.
#include "shell/gtk/ProgressWindow_gtk.h"
#include "wiki/WikiProgram.h"

int main(int argc, char** argv) { return grid::runGtkProgram<char>(argc, argv, grid::kGridquillParts); }
