#pragma once
#include "core/Status.h"

namespace grid {

// Readies the grid's borders for the writers: all borders on a grid without any (asking first for
// spreadsheet data the user has not consented for), and one outline per merged area, taken from
// its anchor. 0; 102 when the question was declined; 120 for an area outside the grid (message 39).
template <class Ch> [[nodiscard]] StatusCode normaliseGrid();

}  // namespace grid
