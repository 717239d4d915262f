#pragma once
// Every allocation of the programs goes through here, so that a test can make the n-th one fail
// and check that each caller reports it and leaks nothing.
#include <cstddef>
#include <cstdint>

namespace grid {

enum class AllocationFailure { none, exhausted, other };

struct AllocationPort {
    virtual ~AllocationPort() = default;
    // Returns the storage, or nullptr with `failure` saying why.
    virtual void* allocate(size_t bytes, AllocationFailure& failure) = 0;
    virtual void release(void* block) = 0;
};

// The port in use; the default one is the C++ allocator.
AllocationPort& allocationPort();
void setAllocationPort(AllocationPort* port);  // nullptr restores the default

// Allocates `count` elements of `elementSize` bytes. A byte count that does not fit in 32 bits
// fails as exhausted memory instead of wrapping around.
void* allocateArray(size_t count, size_t elementSize, AllocationFailure& failure);
void releaseArray(void* block);

}  // namespace grid
