#pragma once
// Every field the capture fills in a cell but its text, in one order and with their names: what the
// tests and tools compare between two captures of the same cells.
#include <array>
#include <cstdint>

#include "core/CellGrid.h"

namespace grid::test {

inline constexpr const char* kCapturedFieldNames[] = {
    "horiJustify", "vertJustify", "charColor", "charHeight", "bold", "italic", "underline", "strikeout",
    "backColor", "mergePosition", "mergeFirstColumn", "mergeLastColumn", "mergeFirstRow", "mergeLastRow",
    "left line", "right line", "top line", "bottom line",
    "left colour", "right colour", "top colour", "bottom colour",
};
using CapturedFields = std::array<int32_t, std::size(kCapturedFieldNames)>;

template <class Ch>
CapturedFields capturedFields(const CellRecord<Ch>& c) {
    return {c.horiJustify, c.vertJustify, c.charColor, c.charHeight, c.bold, c.italic, c.underline, c.strikeout,
            c.backColor, c.mergePosition, c.mergeFirstColumn, c.mergeLastColumn, c.mergeFirstRow, c.mergeLastRow,
            c.border[0], c.border[1], c.border[2], c.border[3],
            c.borderColor[0], c.borderColor[1], c.borderColor[2], c.borderColor[3]};
}

}  // namespace grid::test
