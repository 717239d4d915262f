#pragma once
// Gridweave's third style (inline_style_yn): one fragment of valid HTML5 whose formatting is
// inline CSS, one style attribute per element, so that it keeps its look wherever it is pasted:
// lower-case elements, every side's line of every cell, border-collapse on the table.
#include "core/Status.h"

namespace grid {

// Writes the table into the run's output buffer, which the caller has made ready and whose grid
// has its spans; 0, or 101 when memory ran out.
[[nodiscard]] StatusCode WriteInlineStyleTable();

}  // namespace grid
