#pragma once
#include "platform/Ports.h"

namespace grid {

// Message boxes by MessageBoxA, with the texts in code page 932.
struct Win32MessageBox final : MessageBoxPort {
    int32_t show(WindowHandle owner, const char* text, const char* caption, uint32_t style) override;
};

}  // namespace grid
