#pragma once
// One member of a ZIP archive held in memory, found through the archive's central directory and
// inflated by zlib. Only what an office package needs: stored and deflated members, no ZIP64,
// no encryption. What a member may cost is bounded before anything is inflated.
#include <cstddef>
#include <cstdint>

#include "core/Allocation.h"

namespace grid {

struct ZipLimits {
    size_t maxInflated = size_t(256) << 20;  // bytes of one member
    uint32_t maxRatio = 200;                 // inflated : stored, for members over 64 KiB
};

enum class ZipResult { ok, notZip, missing, tooLarge, damaged, noMemory };

// The member named exactly `name`, inflated into `content` (with a NUL after it). Anything but ok
// leaves `content` empty.
ZipResult readZipMember(const uint8_t* archive, size_t size, const char* name, const ZipLimits& limits,
                        OwnedBytes& content);

}  // namespace grid
