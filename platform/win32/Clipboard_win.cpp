#include <windows.h>

#include "platform/Clipboard.h"

namespace grid {
namespace {

// The Win32 clipboard, call for call.
struct WindowsClipboard final : ClipboardPort {
    bool open(WindowHandle owner) override { return OpenClipboard(static_cast<HWND>(owner)) != 0; }
    bool close() override { return CloseClipboard() != 0; }
    uint32_t enumFormats(uint32_t format) override { return EnumClipboardFormats(format); }
    MemoryHandle getData(uint32_t format) override { return GetClipboardData(format); }
    bool empty() override { return EmptyClipboard() != 0; }
    MemoryHandle setData(uint32_t format, MemoryHandle block) override {
        return SetClipboardData(format, static_cast<HANDLE>(block));
    }
    MemoryHandle globalAlloc(uint32_t flags, size_t bytes) override { return GlobalAlloc(flags, bytes); }
    MemoryHandle globalFree(MemoryHandle block) override { return GlobalFree(static_cast<HGLOBAL>(block)); }
    void* globalLock(MemoryHandle block) override { return GlobalLock(static_cast<HGLOBAL>(block)); }
    bool globalUnlock(MemoryHandle block) override { return GlobalUnlock(static_cast<HGLOBAL>(block)) != 0; }
    size_t globalSize(MemoryHandle block) override { return GlobalSize(static_cast<HGLOBAL>(block)); }
    void setLastError(uint32_t code) override { SetLastError(code); }
    uint32_t lastError() override { return GetLastError(); }
    uint32_t registerFormat(const char* name) override { return RegisterClipboardFormatA(name); }
};

}  // namespace

ClipboardPort* systemClipboard() {
    static WindowsClipboard clipboard;
    return &clipboard;
}

}  // namespace grid
