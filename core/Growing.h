#pragma once
#include <cstddef>
#include <cstring>
#include <type_traits>

#include "core/Allocation.h"

namespace grid {

// A growing array of plain values through the allocation port; a growth that fails leaves the
// array as it was.
template <class T>
class Growing {
    static_assert(std::is_trivially_copyable_v<T>);

public:
    Growing() = default;
    ~Growing() {
        if (items_) releaseArray(items_);
    }
    Growing(const Growing&) = delete;
    Growing& operator=(const Growing&) = delete;
    bool reserve(size_t count) {
        if (count <= capacity_) return true;
        size_t wanted = capacity_ ? capacity_ : 16;
        while (wanted < count) wanted *= 2;
        AllocationFailure failure = AllocationFailure::none;
        T* grown = static_cast<T*>(allocateArray(wanted, sizeof(T), failure));
        if (!grown) return false;
        if (size_) std::memcpy(static_cast<void*>(grown), items_, size_ * sizeof(T));
        if (items_) releaseArray(items_);
        items_ = grown, capacity_ = wanted;
        return true;
    }
    bool push(const T& item) {
        if (!reserve(size_ + 1)) return false;
        items_[size_++] = item;
        return true;
    }
    bool append(const T* items, size_t count) {
        if (!reserve(size_ + count)) return false;
        if (count) std::memcpy(static_cast<void*>(items_ + size_), items, count * sizeof(T));
        size_ += count;
        return true;
    }
    T* release() {
        T* items = items_;
        items_ = nullptr, size_ = capacity_ = 0;
        return items;
    }
    T& operator[](size_t i) { return items_[i]; }
    const T& operator[](size_t i) const { return items_[i]; }
    size_t size() const { return size_; }
    void resize(size_t size) { size_ = size; }  // within what was reserved

private:
    T* items_ = nullptr;
    size_t size_ = 0, capacity_ = 0;
};

}  // namespace grid
