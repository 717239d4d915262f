#pragma once
// The grid of captured cells, the buffers a run owns, and the split of plain text into cells.
#include <cstdint>

#include "core/Assert.h"
#include "core/Status.h"
#include "core/TextBuffer.h"

namespace grid {

// Border kinds.
inline constexpr int32_t kNoLine = 0;
inline constexpr int32_t kThinLine = 1;
inline constexpr int32_t kThickLine = 2;

// Sides, in the order of `border` and `borderColor`.
enum Side { kLeft = 0, kRight = 1, kTop = 2, kBottom = 3 };

// Calc's horizontal justification (CellHoriJustify) and vertical one (CellVertJustify).
inline constexpr int32_t kHoriStandard = 0;
inline constexpr int32_t kHoriLeft = 1;
inline constexpr int32_t kHoriCenter = 2;
inline constexpr int32_t kHoriRight = 3;
inline constexpr int32_t kHoriBlock = 4;
inline constexpr int32_t kHoriRepeat = 5;
inline constexpr int32_t kVertStandard = 0;
inline constexpr int32_t kVertTop = 1;
inline constexpr int32_t kVertCenter = 2;
inline constexpr int32_t kVertBottom = 3;

// A cell's place in a merged area (mergePosition): outside any, the anchor (the area's top-left
// cell, which carries the area), or one of the covered cells, 2 to 9 (mergePositionCode).
inline constexpr int32_t kNotMerged = 0;
inline constexpr int32_t kMergeAnchor = 1;
inline constexpr int32_t kMergeLastCovered = 9;

template <class Ch>
struct CellRecord {
    TextBuffer<Ch> text;  // capacity -1: never allocated, reads as empty
    int32_t border[4];
    int32_t horiJustify;  // kHoriStandard ... kHoriRepeat
    int32_t vertJustify;  // kVertStandard ... kVertBottom
    int32_t mergeFirstColumn;  // the merge rectangle: set in an area's anchor only
    int32_t mergeLastColumn;
    int32_t mergeFirstRow;
    int32_t mergeLastRow;
    int32_t mergePosition;  // kNotMerged, kMergeAnchor, or 2..9 covered by an anchor
    int32_t columnSpan;     // writers' work fields
    int32_t rowSpan;
    int32_t charColor;  // 0xRRGGBB
    int32_t charHeight;  // points
    uint8_t bold;
    uint8_t italic;
    int32_t underline;
    int32_t strikeout;
    int32_t backColor;  // 0xRRGGBB
    int32_t borderColor[4];
};

template <class Ch>
bool isCoveredByAnchor(const CellRecord<Ch>& cell) {
    GRID_ASSERT(cell.mergePosition >= kNotMerged && cell.mergePosition <= kMergeLastCovered);
    return cell.mergePosition > kMergeAnchor;
}

template <class Ch>
struct CellGrid {
    int32_t rows = 0;
    int32_t columns = 0;
    CellRecord<Ch>* cells = nullptr;  // row-major: column c of row r is cells[c + r * columns]
    bool cellsAllocated = false;

    CellRecord<Ch>& at(int32_t column, int32_t row) {
        GRID_ASSERT(cells && column >= 0 && column < columns && row >= 0 && row < rows);
        return cells[column + int64_t(row) * columns];
    }
    const CellRecord<Ch>& at(int32_t column, int32_t row) const {
        GRID_ASSERT(cells && column >= 0 && column < columns && row >= 0 && row < rows);
        return cells[column + int64_t(row) * columns];
    }
};

// Buffers that other steps allocate and the run owns; each is freed by ReleaseCellGrid when its
// flag is 1, in this order.
template <class Ch>
struct RunBuffers {
    TextBuffer<Ch> outputBuffer;
    int32_t outputBufferOwned = 0;
    // The writer's second buffer: escapeBuffer in Gridweave, rewriteBuffer in Gridquill.
    TextBuffer<Ch> workBuffer;
    int32_t workBufferOwned = 0;
    Ch* clipboardText = nullptr;
    int32_t clipboardTextOwned = 0;
    int32_t* fontClassTable = nullptr;
    int32_t fontClassTableOwned = 0;
    int32_t* cellClassTable = nullptr;
    int32_t cellClassTableOwned = 0;
};

template <class Ch> inline CellGrid<Ch> theCellGrid;
template <class Ch> inline RunBuffers<Ch> theRunBuffers;

template <class Ch> CellGrid<Ch>& cellGrid() { return theCellGrid<Ch>; }
template <class Ch> RunBuffers<Ch>& runBuffers() { return theRunBuffers<Ch>; }

// The mergePosition code of cell (column, row) in the area firstColumn..lastColumn, firstRow..lastRow.
int32_t mergePositionCode(int32_t column, int32_t row, int32_t firstColumn, int32_t lastColumn, int32_t firstRow,
                          int32_t lastRow);

// Makes (firstColumn, firstRow) the anchor of the area and gives every cell of the area inside the
// grid its mergePosition code.
template <class Ch>
void markMergedArea(int32_t firstColumn, int32_t lastColumn, int32_t firstRow, int32_t lastRow);
// columnSpan and rowSpan of every cell: the size of the area an anchor heads, 0 for other cells.
template <class Ch> void computeSpans();
// The writers' two buffers, `capacity` characters each and owned by the run; on failure (message
// 12 or 13 shown) the grid is released and 101 returned.
template <class Ch> [[nodiscard]] StatusCode InitWriterBuffers(int32_t capacity);

// Clears every ownership flag of the grid and the run-owned buffers, without freeing (start of a run).
template <class Ch> void ClearRunOwnership();
// Allocates rows x columns records (rows and columns already set); 101 after message 12 or 13.
template <class Ch> [[nodiscard]] StatusCode AllocateCellGrid();
// Frees the cells, their texts and every flagged run-owned buffer; safe to call at any time.
template <class Ch> void ReleaseCellGrid();
// Frees the buffers a run no longer needs once they have served, so that the largest texts are not
// held twice: the clipboard text once it is split into cells, the writer's second buffer once the
// markup is written. Safe to call at any time.
template <class Ch> void ReleaseSpentBuffers();
// Builds the grid from tab- and line-feed-separated text; 0 or 101.
template <class Ch> [[nodiscard]] StatusCode SplitTextIntoGrid(const Ch* text);

}  // namespace grid
