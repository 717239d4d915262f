#include "capture/ZipArchive.h"

#include <zlib.h>

#include <cstring>

namespace grid {
namespace {

constexpr uint32_t kEndOfDirectory = 0x06054b50;
constexpr uint32_t kDirectoryEntry = 0x02014b50;
constexpr uint32_t kLocalHeader = 0x04034b50;
constexpr size_t kEndSize = 22, kEntrySize = 46, kLocalSize = 30;
constexpr size_t kLargestComment = 0xFFFF;
constexpr uint16_t kStored = 0, kDeflated = 8;
constexpr uint16_t kEncrypted = 1;
constexpr size_t kRatioFreeSize = 64 << 10;

uint16_t u16(const uint8_t* p) { return uint16_t(p[0] | p[1] << 8); }
uint32_t u32(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24; }

// The end-of-directory record: the last one within reach of the archive's end.
const uint8_t* findEnd(const uint8_t* archive, size_t size) {
    if (size < kEndSize) return nullptr;
    const size_t last = size - kEndSize;
    const size_t first = last > kLargestComment ? last - kLargestComment : 0;
    for (size_t at = last + 1; at-- > first;)
        if (u32(archive + at) == kEndOfDirectory) return archive + at;
    return nullptr;
}

bool inflateInto(const uint8_t* stored, size_t storedSize, uint8_t* out, size_t outSize) {
    z_stream stream{};
    if (inflateInit2(&stream, -MAX_WBITS) != Z_OK) return false;
    bool whole = true;
    size_t inDone = 0, outDone = 0;
    int result = Z_OK;
    // zlib counts in 32 bits: feed and drain in slices that fit.
    while (result == Z_OK) {
        const size_t inSlice = storedSize - inDone < 0x40000000 ? storedSize - inDone : 0x40000000;
        const size_t outSlice = outSize - outDone < 0x40000000 ? outSize - outDone : 0x40000000;
        stream.next_in = const_cast<Bytef*>(stored + inDone);
        stream.avail_in = uInt(inSlice);
        stream.next_out = out + outDone;
        stream.avail_out = uInt(outSlice);
        result = inflate(&stream, Z_NO_FLUSH);
        inDone += inSlice - stream.avail_in;
        outDone += outSlice - stream.avail_out;
        if (result == Z_BUF_ERROR || (result == Z_OK && inSlice == stream.avail_in && outSlice == stream.avail_out))
            break;  // no progress: input ended early or more output than declared
    }
    whole = result == Z_STREAM_END && outDone == outSize;
    inflateEnd(&stream);
    return whole;
}

}  // namespace

ZipResult readZipMember(const uint8_t* archive, size_t size, const char* name, const ZipLimits& limits,
                        OwnedBytes& content) {
    content.reset();
    const uint8_t* end = findEnd(archive, size);
    if (!end) return ZipResult::notZip;
    const size_t endAt = size_t(end - archive);
    const uint16_t entries = u16(end + 10);
    const uint32_t directorySize = u32(end + 12), directoryAt = u32(end + 16);
    // One disk only; the ZIP64 markers (all bits set) are not taken.
    if (u16(end + 4) != 0 || u16(end + 6) != 0 || entries != u16(end + 8) || directoryAt == 0xFFFFFFFF ||
        directorySize == 0xFFFFFFFF || size_t(directoryAt) + directorySize > endAt)
        return ZipResult::notZip;

    const size_t nameLength = std::strlen(name);
    size_t at = directoryAt;
    const size_t directoryEnd = size_t(directoryAt) + directorySize;
    for (uint32_t i = 0; i < entries; ++i) {
        if (directoryEnd - at < kEntrySize || u32(archive + at) != kDirectoryEntry) return ZipResult::damaged;
        const uint8_t* entry = archive + at;
        const size_t entryEnd = at + kEntrySize + u16(entry + 28) + u16(entry + 30) + u16(entry + 32);
        if (entryEnd > directoryEnd) return ZipResult::damaged;
        at = entryEnd;
        if (u16(entry + 28) != nameLength || std::memcmp(entry + kEntrySize, name, nameLength) != 0) continue;

        const uint16_t flags = u16(entry + 8), method = u16(entry + 10);
        const uint32_t crc = u32(entry + 16), storedSize = u32(entry + 20), inflatedSize = u32(entry + 24);
        const uint32_t localAt = u32(entry + 42);
        if ((flags & kEncrypted) || (method != kStored && method != kDeflated)) return ZipResult::damaged;
        if (storedSize == 0xFFFFFFFF || inflatedSize == 0xFFFFFFFF || localAt == 0xFFFFFFFF) return ZipResult::notZip;
        if (inflatedSize > limits.maxInflated) return ZipResult::tooLarge;
        if (inflatedSize > kRatioFreeSize && uint64_t(inflatedSize) > uint64_t(storedSize) * limits.maxRatio)
            return ZipResult::tooLarge;
        if (method == kStored && storedSize != inflatedSize) return ZipResult::damaged;
        if (size_t(localAt) + kLocalSize > directoryAt || u32(archive + localAt) != kLocalHeader)
            return ZipResult::damaged;
        const size_t dataAt = size_t(localAt) + kLocalSize + u16(archive + localAt + 26) + u16(archive + localAt + 28);
        if (dataAt > directoryAt || directoryAt - dataAt < storedSize) return ZipResult::damaged;

        if (!content.allocate(inflatedSize)) return ZipResult::noMemory;
        const bool whole = method == kStored ? (std::memcpy(content.data(), archive + dataAt, storedSize), true)
                                             : inflateInto(archive + dataAt, storedSize, content.data(), inflatedSize);
        if (!whole || crc32(0L, content.data(), uInt(inflatedSize)) != crc) {
            content.reset();
            return ZipResult::damaged;
        }
        return ZipResult::ok;
    }
    return ZipResult::missing;
}

}  // namespace grid
