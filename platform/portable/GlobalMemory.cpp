#include "platform/portable/GlobalMemory.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace grid {
namespace {

constexpr uint32_t kNotLocked = 158;  // ERROR_NOT_LOCKED

}  // namespace

GlobalMemory::Block* GlobalMemory::blockOf(MemoryHandle handle) const {
    auto found = blocks_.find(static_cast<Block*>(handle));
    return found == blocks_.end() ? nullptr : found->second.get();
}

MemoryHandle GlobalMemory::keep(Block&& contents) {
    try {
        auto block = std::make_unique<Block>(std::move(contents));
        Block* raw = block.get();
        blocks_.emplace(raw, std::move(block));
        return raw;
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

MemoryHandle GlobalMemory::allocate(size_t bytes) {
    // The bytes and the NUL after them must fit in 32 bits, as allocateArray has it; checked here
    // too, so that the count cannot wrap around.
    Block block;
    if (bytes >= UINT32_MAX || !block.programs.allocate(bytes)) return nullptr;
    std::memset(block.programs.data(), 0, bytes);
    return keep(std::move(block));
}

MemoryHandle GlobalMemory::adopt(std::string bytes) {
    Block block;
    block.clipboards = std::move(bytes);
    block.ownedByClipboard = true;
    return keep(std::move(block));
}

bool GlobalMemory::free(MemoryHandle handle) {
    Block* block = blockOf(handle);
    if (!block || block->ownedByClipboard) return false;
    blocks_.erase(block);
    return true;
}

void* GlobalMemory::lock(MemoryHandle handle) {
    Block* block = blockOf(handle);
    // A block of no bytes is a discarded one, which cannot be locked.
    if (!block || block->size() == 0) return nullptr;
    ++block->locks;
    return block->bytes();
}

bool GlobalMemory::unlock(MemoryHandle handle, uint32_t& lastError) {
    Block* block = blockOf(handle);
    if (!block || block->locks == 0) {
        lastError = kNotLocked;
        return false;
    }
    return --block->locks > 0;
}

size_t GlobalMemory::size(MemoryHandle handle) const {
    Block* block = blockOf(handle);
    return block ? block->size() : 0;
}

bool GlobalMemory::has(MemoryHandle handle) const { return blockOf(handle) != nullptr; }

bool GlobalMemory::handOver(MemoryHandle handle) {
    Block* block = blockOf(handle);
    if (!block) return false;
    if (block->ownedByClipboard) return true;
    try {
        block->clipboards.assign(block->bytes(), block->size());
    } catch (const std::bad_alloc&) {
        return false;
    }
    block->programs.reset();
    block->ownedByClipboard = true;
    return true;
}

void GlobalMemory::discard(MemoryHandle handle) { blocks_.erase(static_cast<Block*>(handle)); }

std::string GlobalMemory::bytes(MemoryHandle handle) const {
    Block* block = blockOf(handle);
    return block ? std::string(block->bytes(), block->size()) : std::string();
}

const char* GlobalMemory::data(MemoryHandle handle) const {
    Block* block = blockOf(handle);
    return block ? block->bytes() : nullptr;
}

size_t GlobalMemory::programBlocks() const {
    return size_t(std::count_if(blocks_.begin(), blocks_.end(), [](const auto& b) { return !b.second->ownedByClipboard; }));
}

}  // namespace grid
