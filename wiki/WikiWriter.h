#pragma once
// Gridquill's writer: the grid as wiki table markup, every token from the user's templates, 8-bit
// text with CR LF line ends, into the run's output buffer.
#include "core/Status.h"

namespace grid {

// 0 when the output buffer holds the whole table; 101 when memory ran out.
[[nodiscard]] StatusCode WriteWikiTable();

}  // namespace grid
