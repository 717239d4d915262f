#pragma once
#include "platform/Ports.h"

namespace grid {

// Modal message dialogs on GTK's main thread with the caption, the icon of the style and OK or
// OK/Cancel; the answer as MessageBoxA gives it (the close box answers Cancel where there is one,
// else OK).
struct GtkMessageDialogs final : MessageBoxPort {
    int32_t show(WindowHandle owner, const char* text, const char* caption, uint32_t style) override;
};

}  // namespace grid
