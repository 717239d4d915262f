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

// Bytes of a step's own, allocated through the port and released with their owner. Allocation
// reports nothing: the caller decides what a failure means.
class OwnedBytes {
public:
    OwnedBytes() = default;
    ~OwnedBytes() { reset(); }
    OwnedBytes(const OwnedBytes&) = delete;
    OwnedBytes& operator=(const OwnedBytes&) = delete;
    OwnedBytes(OwnedBytes&& other) noexcept : data_(other.data_), size_(other.size_) { other.data_ = nullptr, other.size_ = 0; }
    OwnedBytes& operator=(OwnedBytes&& other) noexcept {
        if (this != &other) {
            reset();
            data_ = other.data_, size_ = other.size_;
            other.data_ = nullptr, other.size_ = 0;
        }
        return *this;
    }
    // Room for `size` bytes (and a NUL after them, which is not counted); the old content is gone.
    bool allocate(size_t size) {
        reset();
        AllocationFailure failure = AllocationFailure::none;
        data_ = static_cast<uint8_t*>(allocateArray(size + 1, 1, failure));
        if (!data_) return false;
        data_[size] = 0;
        size_ = size;
        return true;
    }
    void reset() {
        if (data_) releaseArray(data_);
        data_ = nullptr, size_ = 0;
    }
    uint8_t* data() { return data_; }
    const uint8_t* data() const { return data_; }
    size_t size() const { return size_; }

private:
    uint8_t* data_ = nullptr;
    size_t size_ = 0;
};

}  // namespace grid
