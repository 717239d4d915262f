#include "core/Allocation.h"

#include <new>

namespace grid {
namespace {

struct HeapAllocation final : AllocationPort {
    void* allocate(size_t bytes, AllocationFailure& failure) override {
        void* block = ::operator new(bytes, std::nothrow);
        failure = block ? AllocationFailure::none : AllocationFailure::exhausted;
        return block;
    }
    void release(void* block) override { ::operator delete(block); }
};

HeapAllocation heapAllocation;
AllocationPort* currentPort = &heapAllocation;

}  // namespace

AllocationPort& allocationPort() { return *currentPort; }
void setAllocationPort(AllocationPort* port) { currentPort = port ? port : &heapAllocation; }

void* allocateArray(size_t count, size_t elementSize, AllocationFailure& failure) {
    constexpr uint64_t limit = UINT32_MAX;
    if (elementSize != 0 && count > limit / elementSize) {
        failure = AllocationFailure::exhausted;
        return nullptr;
    }
    size_t bytes = count * elementSize;
    return currentPort->allocate(bytes == 0 ? 1 : bytes, failure);
}

void releaseArray(void* block) {
    if (block) currentPort->release(block);
}

}  // namespace grid
