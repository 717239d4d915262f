#include "platform/fake/FakeAllocation.h"

#include <cstdlib>

namespace grid {

FakeAllocation::FakeAllocation() { setAllocationPort(this); }
FakeAllocation::~FakeAllocation() { setAllocationPort(nullptr); }

void FakeAllocation::failNth(long n, AllocationFailure kind, FaultRepeat repeat) {
    count_ = 0;
    failAt_ = n;
    failed_ = false;
    kind_ = kind;
    repeat_ = repeat;
}

void* FakeAllocation::allocate(size_t bytes, AllocationFailure& failure) {
    ++count_;
    if (failAt_ > 0 && (count_ == failAt_ || (repeat_ == FaultRepeat::fromThenOn && count_ > failAt_))) {
        failed_ = true;
        failure = kind_;
        return nullptr;
    }
    void* block = std::malloc(bytes);
    failure = block ? AllocationFailure::none : AllocationFailure::exhausted;
    if (block) live_.insert(block);
    return block;
}

void FakeAllocation::release(void* block) {
    // A block that this allocator did not hand out must never come back to it.
    if (live_.erase(block) == 0) std::abort();
    std::free(block);
}

}  // namespace grid
