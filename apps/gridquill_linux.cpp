// gridquill: the cells on the clipboard become wiki table markup on the clipboard.
#include "platform/gtk/GtkShell.h"

int main(int argc, char** argv) { return grid::runGtkProgram<char>(argc, argv); }
