#pragma once
#include <cstdint>

namespace grid {

// Result of every step of a conversion run.
using StatusCode = int32_t;
inline constexpr StatusCode kOk = 0;
inline constexpr StatusCode kMergeBeyondRange = 2;
inline constexpr StatusCode kColumnsMissing = 4;  // AutoWrap only: the selection has no "Columns"
inline constexpr StatusCode kNoMemory = 101;
inline constexpr StatusCode kCancelled = 102;
inline constexpr StatusCode kAutomationFailed = 109;
inline constexpr StatusCode kFailedReported = 120;

// Number of a fixed message of the catalogue.
using MessageCode = uint32_t;

}  // namespace grid
