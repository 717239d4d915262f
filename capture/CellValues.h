#pragma once
// What Calc reports for a cell, and how the capture turns it into the cell's record: shared by the
// two ways of reading the cells (one request per value, or all of them in the office at once), so
// that both fill the grid alike.
#include <cstdint>

#include "core/CellGrid.h"
#include "core/Status.h"
#include "platform/Com.h"

namespace grid {

// A cell's formatting as Calc gives it, before any conversion.
struct CalcCellFormat {
    int32_t horiJustify = 0, vertJustify = 0;
    int32_t charColor = 0;
    float charHeight = 0, charWeight = 0;
    int32_t underline = 0, strikeout = 0, posture = 0;
    int32_t backColor = 0;
    struct Line {
        int32_t inner = 0, outer = 0, color = 0;  // widths in 1/100 mm
    } lines[4];  // left, right, top, bottom
};

// Values as the bridge hands them over, whatever their width.
int32_t integerOf(const VARIANT& value);
float floatOf(const VARIANT& value);

// The kind of line of a side: thick when wider than 80 (1/100 mm) or double, else thin, or none.
int32_t lineKindOf(int32_t inner, int32_t outer);
// Every field of the record but the text and the merged area.
template <class Ch> void applyCellFormat(CellRecord<Ch>& cell, const CalcCellFormat& format);

// The cell text: Gridweave keeps the UTF-16 string, Gridquill its multibyte form under the
// runtime's locale. 0, or 101 / 120 after the message (the caller abandons the capture).
template <class Ch> [[nodiscard]] StatusCode storeCellText(CellRecord<Ch>& cell, BSTR string);
// The same for UTF-16 text of the given length from elsewhere than the office.
template <class Ch>
[[nodiscard]] StatusCode storeCellText(CellRecord<Ch>& cell, const char16_t* wide, int32_t length);

// The area Calc reports for the cell at (column, row), which no earlier anchor has placed: nothing
// for the cell alone; else the cell is the area's anchor (cells are visited row by row, its
// top-left one first) and the area is marked, or, when it reaches beyond the range, the capture is
// abandoned with 2.
template <class Ch>
[[nodiscard]] StatusCode placeMergedArea(int32_t column, int32_t row, int32_t startColumn, int32_t endColumn,
                                         int32_t startRow, int32_t endRow);

// The capture ends early: the document is closed, the session and the grid released.
template <class Ch> void abandonCapture();
// A cancel seen between rows: message 3, everything released, 102.
template <class Ch> [[nodiscard]] StatusCode cancelSeen();
// The same where no session is held (it is released already, or the cells never came from the
// office): message 3, the grid released, 102.
template <class Ch> [[nodiscard]] StatusCode cancelSeenWithoutSession();

}  // namespace grid
