#pragma once
// The clipboard port on GTK's CLIPBOARD selection. Text formats map to the UTF-8 text targets,
// CF_SYLK to the SYLK target that Calc offers.
#include "platform/Clipboard.h"

namespace grid {

ClipboardPort& gtkClipboard();

// After the program's last window is gone: the markup written stays on the clipboard, handed to
// the clipboard manager where one runs, or else to a small keeper process that serves it until
// another program takes the clipboard.
void keepClipboardAfterExit();

}  // namespace grid
