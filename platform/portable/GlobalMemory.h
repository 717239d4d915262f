#pragma once
// Movable global memory as the clipboard port hands it around (GlobalAlloc, GlobalLock,
// GlobalUnlock, GlobalSize, GlobalFree), for the clipboards that have no such memory of their own.
// A block is the program's until it is handed to the clipboard, which then owns it. The program's
// blocks take their bytes through the allocation port. Running out of memory throws nowhere but in
// bytes(), the tests' copy: a block that cannot be had is a null handle, as GlobalAlloc gives.
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "core/Allocation.h"
#include "platform/Clipboard.h"

namespace grid {

class GlobalMemory {
public:
    MemoryHandle allocate(size_t bytes);           // zeroed, the program's; nullptr without the memory
    MemoryHandle adopt(std::string bytes);         // the clipboard's, holding the bytes; nullptr likewise
    bool free(MemoryHandle block);                 // false for no block, or one the clipboard owns
    void* lock(MemoryHandle block);                // nullptr for no block, or one of no bytes
    // True while still locked; false once unlocked, or with lastError set for a block not locked.
    bool unlock(MemoryHandle block, uint32_t& lastError);
    size_t size(MemoryHandle block) const;
    bool has(MemoryHandle block) const;
    // The clipboard's from now on, its bytes out of the program's memory; false, the block staying
    // the program's, when the clipboard has no room for them.
    bool handOver(MemoryHandle block);
    void discard(MemoryHandle block);   // the clipboard lets go of it
    std::string bytes(MemoryHandle block) const;
    const char* data(MemoryHandle block) const;  // the bytes in place, nullptr for no block
    size_t programBlocks() const;  // blocks neither freed nor handed over

private:
    struct Block {
        OwnedBytes programs;     // the program's bytes, from the allocation port
        std::string clipboards;  // the clipboard's
        int locks = 0;
        bool ownedByClipboard = false;
        char* bytes() {
            return ownedByClipboard ? clipboards.data() : reinterpret_cast<char*>(programs.data());
        }
        size_t size() const { return ownedByClipboard ? clipboards.size() : programs.size(); }
    };
    Block* blockOf(MemoryHandle handle) const;
    MemoryHandle keep(Block&& block);  // nullptr when the bookkeeping has no room
    std::map<Block*, std::unique_ptr<Block>> blocks_;
};

}  // namespace grid
