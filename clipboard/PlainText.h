#pragma once
// The grid of the clipboard text: the plain-text path of a run, and the fallback of the Calc path.
#include "core/Status.h"

namespace grid {

// Reads the clipboard text (the run then owns it) and splits it into the grid; progress 90.
// 0; 101 or 120 with the grid released.
template <class Ch> [[nodiscard]] StatusCode buildPlainTextGrid();

}  // namespace grid
