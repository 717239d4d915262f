#pragma once
// An allocator that can fail the n-th allocation and counts what is still held.
#include <cstddef>
#include <unordered_set>

#include "core/Allocation.h"
#include "platform/fake/FaultRepeat.h"

namespace grid {

class FakeAllocation final : public AllocationPort {
public:
    FakeAllocation();  // installs itself
    ~FakeAllocation() override;  // restores the default

    void* allocate(size_t bytes, AllocationFailure& failure) override;
    void release(void* block) override;

    // Makes allocation number `n` (counting from 1 after this call) fail with `kind`, alone or with
    // every later one; 0 fails none.
    void failNth(long n, AllocationFailure kind = AllocationFailure::exhausted, FaultRepeat repeat = FaultRepeat::once);
    long allocations() const { return count_; }
    size_t liveBlocks() const { return live_.size(); }
    bool failed() const { return failed_; }

private:
    long count_ = 0;
    long failAt_ = 0;
    bool failed_ = false;
    FaultRepeat repeat_ = FaultRepeat::once;
    AllocationFailure kind_ = AllocationFailure::exhausted;
    std::unordered_set<void*> live_;
};

}  // namespace grid
