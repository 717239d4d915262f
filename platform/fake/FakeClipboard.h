#pragma once
// A clipboard for tests: formats and their bytes in memory, global memory blocks that know who
// owns them, and any single call made to fail, as another program or a low-memory system would.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/Clipboard.h"
#include "platform/fake/FaultRepeat.h"
#include "platform/portable/GlobalMemory.h"

namespace grid {

enum class ClipboardCall { open, close, enumFormats, getData, empty, setData, globalAlloc, globalFree, globalLock,
                           globalUnlock, count };

class FakeClipboard final : public ClipboardPort {
public:
    FakeClipboard();   // installs itself
    ~FakeClipboard() override;  // restores the default
    FakeClipboard(const FakeClipboard&) = delete;
    FakeClipboard& operator=(const FakeClipboard&) = delete;

    // What another program put on the clipboard.
    void put(uint32_t format, const std::string& bytes);
    void putText(const std::string& bytes) { put(kFormatText, bytes + std::string(1, '\0')); }
    void putUnicodeText(const std::u16string& text);
    void clear();  // as when another program empties it
    bool has(uint32_t format) const;
    std::string bytesOf(uint32_t format) const;  // the whole block
    std::u16string unicodeTextOf() const;        // CF_UNICODETEXT up to its NUL
    // The last text the program wrote, as UTF-8: like the Linux clipboard, the clipboard takes a
    // text only once it has it in that form, made in the program's memory.
    const std::string& utf8Text() const { return utf8Text_; }
    std::vector<uint32_t> formats() const;

    // As Windows does, the clipboard offers CF_TEXT when it holds CF_UNICODETEXT and the other way
    // round (converted through code page 932), listed after the formats it holds.
    bool synthesizesText = true;

    // Faults: the next `times` openings fail (another program holds the clipboard), or the n-th
    // call of a kind from now fails, alone or with every later call of that kind, with the last
    // error given (0: the one Windows gives such a call).
    int openFailures = 0;
    void failCall(ClipboardCall call, int nth = 1, FaultRepeat repeat = FaultRepeat::once, uint32_t error = 0);
    void stopFailing();

    int calls(ClipboardCall call) const { return counts_[int(call)]; }
    bool isOpen() const { return open_; }
    WindowHandle lastOwner() const { return owner_; }
    // Blocks the program allocated and neither freed nor handed to the clipboard.
    size_t programBlocks() const;
    std::vector<size_t> allocatedSizes;

    bool open(WindowHandle owner) override;
    bool close() override;
    uint32_t enumFormats(uint32_t format) override;
    MemoryHandle getData(uint32_t format) override;
    bool empty() override;
    MemoryHandle setData(uint32_t format, MemoryHandle block) override;
    MemoryHandle globalAlloc(uint32_t flags, size_t bytes) override;
    MemoryHandle globalFree(MemoryHandle block) override;
    void* globalLock(MemoryHandle block) override;
    bool globalUnlock(MemoryHandle block) override;
    size_t globalSize(MemoryHandle block) override;
    void setLastError(uint32_t code) override { lastError_ = code; }
    uint32_t lastError() override { return lastError_; }
    // Names get numbers from 0xC000 on, in the order they are first asked for or put.
    uint32_t registerFormat(const char* name) override;
    void putNamed(const std::string& name, const std::string& bytes) { put(registerFormat(name.c_str()), bytes); }
    bool failRegistering = false;

private:
    bool fails(ClipboardCall call);
    std::vector<uint32_t> offered() const;
    MemoryHandle synthesized(uint32_t format);

    std::vector<std::pair<uint32_t, MemoryHandle>> formats_;  // in the order they were put
    std::vector<std::string> names_;                            // registered, from 0xC000
    GlobalMemory memory_;
    std::string utf8Text_;
    int counts_[int(ClipboardCall::count)] = {};
    int failAt_[int(ClipboardCall::count)] = {};
    FaultRepeat repeat_[int(ClipboardCall::count)] = {};
    uint32_t failError_[int(ClipboardCall::count)] = {};
    bool open_ = false;
    WindowHandle owner_ = nullptr;
    uint32_t lastError_ = 0;
};

}  // namespace grid
