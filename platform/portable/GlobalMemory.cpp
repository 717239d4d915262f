#include "platform/portable/GlobalMemory.h"

#include <algorithm>

namespace grid {
namespace {

constexpr uint32_t kNotLocked = 158;  // ERROR_NOT_LOCKED

}  // namespace

GlobalMemory::Block* GlobalMemory::blockOf(MemoryHandle handle) const {
    auto found = blocks_.find(static_cast<Block*>(handle));
    return found == blocks_.end() ? nullptr : found->second.get();
}

MemoryHandle GlobalMemory::allocate(size_t bytes) {
    auto block = std::make_unique<Block>();
    block->bytes.assign(bytes, 0);
    Block* raw = block.get();
    blocks_[raw] = std::move(block);
    return raw;
}

MemoryHandle GlobalMemory::adopt(std::string bytes) {
    auto block = std::make_unique<Block>();
    block->bytes = std::move(bytes);
    block->ownedByClipboard = true;
    Block* raw = block.get();
    blocks_[raw] = std::move(block);
    return raw;
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
    if (!block || block->bytes.empty()) return nullptr;
    ++block->locks;
    return block->bytes.data();
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
    return block ? block->bytes.size() : 0;
}

bool GlobalMemory::has(MemoryHandle handle) const { return blockOf(handle) != nullptr; }

void GlobalMemory::handOver(MemoryHandle handle) {
    if (Block* block = blockOf(handle)) block->ownedByClipboard = true;
}

void GlobalMemory::discard(MemoryHandle handle) { blocks_.erase(static_cast<Block*>(handle)); }

std::string GlobalMemory::bytes(MemoryHandle handle) const {
    Block* block = blockOf(handle);
    return block ? block->bytes : std::string();
}

const char* GlobalMemory::data(MemoryHandle handle) const {
    Block* block = blockOf(handle);
    return block ? block->bytes.data() : nullptr;
}

size_t GlobalMemory::programBlocks() const {
    return size_t(std::count_if(blocks_.begin(), blocks_.end(), [](const auto& b) { return !b.second->ownedByClipboard; }));
}

}  // namespace grid
