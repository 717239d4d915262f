#include "core/TextBuffer.h"

#include <algorithm>
#include <cstring>

#include "core/Allocation.h"
#include "core/Messages.h"
#include "platform/Ports.h"

namespace grid {
namespace {

constexpr int64_t kMaxCapacity = INT32_MAX - 1;

template <class Ch>
Ch* allocateCharacters(int64_t count, AllocationFailure& failure) {
    if (count > kMaxCapacity + 1) {
        failure = AllocationFailure::exhausted;
        return nullptr;
    }
    return static_cast<Ch*>(allocateArray(static_cast<size_t>(count), sizeof(Ch), failure));
}

}  // namespace

template <class Ch>
StatusCode InitTextBuffer(TextBuffer<Ch>& buffer, int32_t requestedCapacity) {
    int32_t capacity = requestedCapacity <= 0 ? 100 : std::min<int32_t>(requestedCapacity, kMaxCapacity);
    AllocationFailure failure = AllocationFailure::none;
    Ch* storage = allocateCharacters<Ch>(int64_t(capacity) + 1, failure);
    if (!storage) {
        buffer = TextBuffer<Ch>{};
        showMessage<Ch>(allocationFailureMessage(failure));
        return kNoMemory;
    }
    storage[0] = Ch(0);
    buffer.capacity = capacity;
    buffer.data = storage;
    buffer.length = 0;
    buffer.reserved = capacity;
    return kOk;
}

template <class Ch>
StatusCode GrowTextBuffer(TextBuffer<Ch>& buffer, int32_t extra) {
    int64_t newCapacity = int64_t(buffer.capacity) + extra;
    if (newCapacity <= buffer.capacity) return kOk;
    if (newCapacity > kMaxCapacity) return kNoMemory;
    if (newCapacity <= buffer.reserved) {
        buffer.capacity = static_cast<int32_t>(newCapacity);
        return kOk;
    }
    // Reserve at least twice what is held, so that growth by small steps stays linear overall; when
    // that much is refused, the exact new capacity may still be had.
    int64_t reserve = std::min<int64_t>(kMaxCapacity, std::max<int64_t>(newCapacity, int64_t(buffer.reserved) * 2));
    AllocationFailure failure = AllocationFailure::none;
    Ch* storage = allocateCharacters<Ch>(reserve + 1, failure);
    if (!storage && reserve > newCapacity) {
        reserve = newCapacity;
        storage = allocateCharacters<Ch>(reserve + 1, failure);
    }
    if (!storage) return kNoMemory;
    if (buffer.data && buffer.capacity > 0) {
        std::memcpy(storage, buffer.data, (size_t(buffer.length) + 1) * sizeof(Ch));
        releaseArray(buffer.data);
    } else {
        storage[0] = Ch(0);
        buffer.length = 0;
    }
    buffer.data = storage;
    buffer.capacity = static_cast<int32_t>(newCapacity);
    buffer.reserved = static_cast<int32_t>(reserve);
    return kOk;
}

template <class Ch>
StatusCode AppendText(TextBuffer<Ch>& buffer, const Ch* text, int32_t count) {
    if (int64_t(buffer.length) + count > buffer.capacity) {
        int64_t extra = int64_t(count) + 500;
        if (extra > INT32_MAX || GrowTextBuffer(buffer, static_cast<int32_t>(extra)) != kOk) {
            showMessage<Ch>(kMessageMemoryFailed);
            return kNoMemory;
        }
    }
    if (count > 0) std::memcpy(buffer.data + buffer.length, text, size_t(count) * sizeof(Ch));
    buffer.length += count;
    buffer.data[buffer.length] = Ch(0);
    return kOk;
}

template <class Ch>
StatusCode AppendText(TextBuffer<Ch>& buffer, const Ch* text) {
    size_t n = textLength(text);
    if (n > size_t(INT32_MAX)) {
        showMessage<Ch>(kMessageMemoryFailed);
        return kNoMemory;
    }
    return AppendText(buffer, text, static_cast<int32_t>(n));
}

template <class Ch>
bool ReserveTextBuffer(TextBuffer<Ch>& buffer, int64_t characters) {
    if (!buffer.live()) return false;
    characters = std::min<int64_t>(characters, kMaxCapacity);
    if (characters <= buffer.reserved) return true;
    AllocationFailure failure = AllocationFailure::none;
    Ch* storage = allocateCharacters<Ch>(characters + 1, failure);
    if (!storage) return false;
    std::memcpy(storage, buffer.data, (size_t(buffer.length) + 1) * sizeof(Ch));
    releaseArray(buffer.data);
    buffer.data = storage;
    buffer.reserved = static_cast<int32_t>(characters);
    return true;
}

template <class Ch>
bool ReserveForRows(TextBuffer<Ch>& buffer, int64_t perRow, int32_t rows) {
    return ReserveTextBuffer(buffer, perRow * rows / 4 * 5 + 1000);
}

template <class Ch>
void FreeTextBuffer(TextBuffer<Ch>& buffer) {
    if (buffer.capacity != 0 && buffer.data) releaseArray(buffer.data);
    buffer.capacity = 0;
    buffer.length = 0;
    buffer.reserved = 0;
}

template <class Ch>
void ClearTextBuffer(TextBuffer<Ch>& buffer) {
    if (!buffer.data || buffer.capacity <= 0) return;
    buffer.length = 0;
    buffer.data[0] = Ch(0);
}

template <class Ch>
int BoundedSprintf(Ch* destination, int32_t size, const Ch* format, std::initializer_list<SprintfArg<Ch>> args) {
    if (size > 0) destination[0] = Ch(0);
    FormatArg slots[5];
    int counted = 0;
    int taken = 0;
    for (const Ch* p = format; *p != Ch(0); ++p) {
        if (*p != Ch('%')) continue;
        if (++counted > 5) {
            showMessage<Ch>(kMessageTooManyFormatArguments);
            processExitPort().exitProcess(0);
            return 0;  // only reached when the exit port of a test returns
        }
        if (size_t(counted) > args.size()) continue;  // never take an argument that was not passed
        const SprintfArg<Ch>& arg = args.begin()[counted - 1];
        FormatArg& slot = slots[counted - 1];
        if (arg.isText) {
            slot.isText = true;
            slot.text = arg.text;
        } else if (p[1] == Ch('c')) {
            slot.number = static_cast<int8_t>(arg.number & 0xFF);
        } else if (p[1] == Ch('x')) {
            slot.number = arg.number & 0xFF;
        } else {
            slot.number = arg.number;
        }
        taken = counted;
    }
    return formatBounded(destination, size, format, slots, taken);
}

template <class Ch>
void FormatColourCode(int32_t colour, Ch (&destination)[8]) {
    // What "#%2.2x%2.2x%2.2x" gives for the three bytes, written directly: the writers format a
    // colour or more for every cell.
    const char* digits = "0123456789abcdef";
    destination[0] = Ch('#');
    for (int i = 0; i < 6; ++i) destination[1 + i] = Ch(digits[(uint32_t(colour) >> (20 - 4 * i)) & 0xF]);
    destination[7] = Ch(0);
}

#define GRID_INSTANTIATE(Ch)                                                                       \
    template StatusCode InitTextBuffer(TextBuffer<Ch>&, int32_t);                                  \
    template StatusCode GrowTextBuffer(TextBuffer<Ch>&, int32_t);                                  \
    template StatusCode AppendText(TextBuffer<Ch>&, const Ch*);                                    \
    template StatusCode AppendText(TextBuffer<Ch>&, const Ch*, int32_t);                           \
    template bool ReserveTextBuffer(TextBuffer<Ch>&, int64_t);                                     \
    template bool ReserveForRows(TextBuffer<Ch>&, int64_t, int32_t);                               \
    template void FreeTextBuffer(TextBuffer<Ch>&);                                                 \
    template void ClearTextBuffer(TextBuffer<Ch>&);                                                \
    template int BoundedSprintf(Ch*, int32_t, const Ch*, std::initializer_list<SprintfArg<Ch>>);   \
    template void FormatColourCode(int32_t, Ch(&)[8]);
GRID_INSTANTIATE(char)
GRID_INSTANTIATE(char16_t)
#undef GRID_INSTANTIATE

}  // namespace grid
