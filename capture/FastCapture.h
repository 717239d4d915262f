#pragma once
// The fast way of reading the pasted range (Param fast_capture_yn=ON): a Basic routine is put into
// the hidden document and run there through the document's script provider, so that every cell
// is read inside the office and all of it comes back in one answer, instead of some 35 requests
// per cell. Texts are read cell by cell in the office, the formatting once for each group of
// cells that Calc keeps in one format, the merged areas only for the cells that head one.
#include "core/Status.h"

namespace grid {

// Fills the allocated grid the way the per-cell reads fill it, field for field. `filled` tells
// whether it did. When a request of this way fails or its answer is not as expected (macros
// forbidden, an office without the calls, a bridge that gives other types), nothing is shown or
// released, the grid is untouched and `filled` is false: the caller reads the cells one by one.
// Once the answer is taken, the cells are stored with the outcomes of the per-cell way: 101 or
// 120 for a text (message shown), 2 for an area beyond the range, 102 for a cancel seen between
// rows; the session and the grid are released then.
template <class Ch> [[nodiscard]] StatusCode captureInOffice(bool& filled);

// The routine's library, module and script address, and the tag its answer starts with, as the
// office is asked for them (the tests' stand-in answers by these).
#define GRID_CAPTURE_LIBRARY "GridCapture"
#define GRID_CAPTURE_MODULE "Cells"
#define GRID_CAPTURE_SCRIPT "vnd.sun.star.script:GridCapture.Cells.ReadCells?language=Basic&location=document"
#define GRID_CAPTURE_ANSWER_TAG "grid cells 1"
// Values per group of cells of one format before its ranges: nine of the cell, three per side,
// whether it heads merged areas, the number of its ranges. Each range is four values, each
// merged area six.
inline constexpr int kGroupHead = 9 + 12 + 2;
inline constexpr int kRangeValues = 4;
inline constexpr int kAreaValues = 6;

}  // namespace grid
