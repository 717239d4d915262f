#pragma once
// The style classes of HTML5 output: the distinct paragraph and cell styles of the grid, numbered
// in the order their first cell occurs (row-major, covered cells included), referred to from the
// cells as "gweaveF<n>" and "gweaveC<n>" and defined in one style element after the table.
#include <cstdint>

#include "core/Status.h"

namespace grid {

// Slots in the order of cssPropertyTable; only slot 4 (underline) is ever set.
struct FontClassEntry {
    int32_t slot[6];
};

struct CellClassEntry {
    int32_t background;  // the cell's backColor
    int32_t lineColor;   // its top border colour, 0xFFFFFF without a top border
};

// The class machinery's state; the tables themselves are owned by the run (RunBuffers).
struct StyleClassState {
    int32_t fontClassLast = -1;  // index of the last paragraph class, -1 for none
    int32_t cellClassLast = -1;
    int32_t fontClass = -1;  // classes of the cell just collected; fontClass -1 for none
    int32_t cellClass = 0;
    uint32_t lookupMask = 0;  // the cell class lookup: its slot count less one
};

StyleClassState& styleClasses();
void resetStyleClasses();

// Allocates both tables, zeroed, with room for one class per cell; 101 without a message.
[[nodiscard]] StatusCode AllocateClassTables();
// Enters the cell's styles and sets fontClass and cellClass.
void CollectCellClasses(int32_t row, int32_t column);
// Appends the style element to the output; 101 after message 13.
[[nodiscard]] StatusCode WriteStyleBlock();

}  // namespace grid
