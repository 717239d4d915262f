#include "platform/Clipboard.h"
#include "platform/Clock.h"
#include "platform/Window.h"

namespace grid {

ClockPort& systemClock();  // win32/Clock_win.cpp, posix/Clock_posix.cpp

namespace {

// Without a backend the clipboard never opens, so every step reports that it could not.
struct NoClipboard final : ClipboardPort {
    bool open(WindowHandle) override { return false; }
    bool close() override { return false; }
    uint32_t enumFormats(uint32_t) override { return 0; }
    MemoryHandle getData(uint32_t) override { return nullptr; }
    bool empty() override { return false; }
    MemoryHandle setData(uint32_t, MemoryHandle) override { return nullptr; }
    MemoryHandle globalAlloc(uint32_t, size_t) override { return nullptr; }
    MemoryHandle globalFree(MemoryHandle block) override { return block; }
    void* globalLock(MemoryHandle) override { return nullptr; }
    bool globalUnlock(MemoryHandle) override { return false; }
    size_t globalSize(MemoryHandle) override { return 0; }
    void setLastError(uint32_t) override {}
    uint32_t lastError() override { return 0; }
    uint32_t registerFormat(const char*) override { return 0; }
};

struct NoProgressWindow final : ProgressWindowPort {
    void setProgress(int32_t) override {}
    void close() override {}
};

NoClipboard noClipboard;
NoProgressWindow noProgressWindow;
ClipboardPort* currentClipboard = &noClipboard;
ClockPort* currentClock = nullptr;
ProgressWindowPort* currentProgressWindow = &noProgressWindow;

}  // namespace

ClipboardPort& clipboardPort() { return *currentClipboard; }
void setClipboardPort(ClipboardPort* port) { currentClipboard = port ? port : &noClipboard; }
ClockPort& clockPort() { return currentClock ? *currentClock : systemClock(); }
void setClockPort(ClockPort* port) { currentClock = port; }
ProgressWindowPort& progressWindowPort() { return *currentProgressWindow; }
void setProgressWindowPort(ProgressWindowPort* port) { currentProgressWindow = port ? port : &noProgressWindow; }

}  // namespace grid
