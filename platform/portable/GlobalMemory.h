#pragma once
// Movable global memory as the clipboard port hands it around (GlobalAlloc, GlobalLock,
// GlobalUnlock, GlobalSize, GlobalFree), for the clipboards that have no such memory of their own.
// A block is the program's until it is handed to the clipboard, which then owns it.
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "platform/Clipboard.h"

namespace grid {

class GlobalMemory {
public:
    MemoryHandle allocate(size_t bytes);           // zeroed, the program's
    MemoryHandle adopt(std::string bytes);         // the clipboard's, holding the bytes
    bool free(MemoryHandle block);                 // false for no block, or one the clipboard owns
    void* lock(MemoryHandle block);                // nullptr for no block, or one of no bytes
    // True while still locked; false once unlocked, or with lastError set for a block not locked.
    bool unlock(MemoryHandle block, uint32_t& lastError);
    size_t size(MemoryHandle block) const;
    bool has(MemoryHandle block) const;
    void handOver(MemoryHandle block);  // the clipboard's from now on
    void discard(MemoryHandle block);   // the clipboard lets go of it
    std::string bytes(MemoryHandle block) const;
    const char* data(MemoryHandle block) const;  // the bytes in place, nullptr for no block
    size_t programBlocks() const;  // blocks neither freed nor handed over

private:
    struct Block {
        std::string bytes;
        int locks = 0;
        bool ownedByClipboard = false;
    };
    Block* blockOf(MemoryHandle handle) const;
    std::map<Block*, std::unique_ptr<Block>> blocks_;
};

}  // namespace grid
