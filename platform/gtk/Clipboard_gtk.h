#pragma once
// The clipboard port on GTK's CLIPBOARD selection. Text formats map to the UTF-8 text targets,
// CF_SYLK to the SYLK target that Calc offers. Reads wait for the owner only as long as it keeps
// answering, and no longer than the user wants.
#include <functional>

#include "platform/Clipboard.h"

namespace grid {

// Before GTK opens its display: the clipboard is read from the worker thread, on a connection of
// its own.
void prepareGtkClipboard();
ClipboardPort& gtkClipboard();
// Asked while a read waits for another program: true ends the wait, the read failing with
// kErrorCancelled. Set before the worker starts.
void setClipboardCancelCheck(std::function<bool()> cancelled);

// Once the program's window is gone: the markup written is handed to the clipboard manager where
// one runs, or else to a small keeper process that serves it until another program takes the
// clipboard; the main loop serves it until the keeper holds it. Markup already handed on is not
// handed on again.
void startKeepingClipboard();
// At the program's end: the same, done with before it returns.
void keepClipboardAfterExit();

}  // namespace grid
