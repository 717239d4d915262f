#include "core/CellGrid.h"

#include <cstring>

#include "core/Allocation.h"
#include "core/Messages.h"

namespace grid {

int32_t mergePositionCode(int32_t column, int32_t row, int32_t firstColumn, int32_t lastColumn, int32_t firstRow,
                          int32_t lastRow) {
    // The column part (first 1, between 2, last 3), plus 3 in the rows between and 6 in the last;
    // the first rule that fits wins, so that the anchor alone has 1.
    int32_t code = column == firstColumn ? 1 : column == lastColumn ? 3 : 2;
    if (row != firstRow) code += row == lastRow ? 6 : 3;
    GRID_ASSERT(code >= kMergeAnchor && code <= kMergeLastCovered);
    return code;
}

template <class Ch>
void markMergedArea(int32_t firstColumn, int32_t lastColumn, int32_t firstRow, int32_t lastRow) {
    CellGrid<Ch>& grid = cellGrid<Ch>();
    CellRecord<Ch>& anchor = grid.at(firstColumn, firstRow);
    anchor.mergeFirstColumn = firstColumn, anchor.mergeLastColumn = lastColumn;
    anchor.mergeFirstRow = firstRow, anchor.mergeLastRow = lastRow;
    for (int32_t row = firstRow; row <= lastRow && row < grid.rows; ++row)
        for (int32_t column = firstColumn; column <= lastColumn && column < grid.columns; ++column)
            grid.at(column, row).mergePosition = mergePositionCode(column, row, firstColumn, lastColumn, firstRow, lastRow);
}

template <class Ch>
void computeSpans() {
    CellGrid<Ch>& grid = cellGrid<Ch>();
    const int64_t count = int64_t(grid.rows) * grid.columns;
    for (int64_t i = 0; i < count; ++i) {
        CellRecord<Ch>& cell = grid.cells[i];
        GRID_ASSERT(cell.mergePosition >= kNotMerged && cell.mergePosition <= kMergeLastCovered);
        const bool anchor = cell.mergePosition == kMergeAnchor;
        cell.columnSpan = anchor ? cell.mergeLastColumn - cell.mergeFirstColumn + 1 : 0;
        cell.rowSpan = anchor ? cell.mergeLastRow - cell.mergeFirstRow + 1 : 0;
    }
}

template <class Ch>
StatusCode InitWriterBuffers(int32_t capacity) {
    RunBuffers<Ch>& owned = runBuffers<Ch>();
    if (InitTextBuffer(owned.workBuffer, capacity) != kOk) {
        ReleaseCellGrid<Ch>();
        return kNoMemory;
    }
    owned.workBufferOwned = 1;
    if (InitTextBuffer(owned.outputBuffer, capacity) != kOk) {
        ReleaseCellGrid<Ch>();
        return kNoMemory;
    }
    owned.outputBufferOwned = 1;
    return kOk;
}

template <class Ch>
void ClearRunOwnership() {
    CellGrid<Ch>& grid = cellGrid<Ch>();
    grid.cellsAllocated = false;
    grid.cells = nullptr;
    theRunBuffers<Ch> = RunBuffers<Ch>{};
}

template <class Ch>
StatusCode AllocateCellGrid() {
    CellGrid<Ch>& grid = cellGrid<Ch>();
    int64_t count = int64_t(grid.rows) * grid.columns;
    if (count < 1) count = 1;
    AllocationFailure failure = AllocationFailure::none;
    void* storage = allocateArray(size_t(count), sizeof(CellRecord<Ch>), failure);
    if (!storage) {
        grid.cellsAllocated = false;
        showMessage<Ch>(allocationFailureMessage(failure));
        return kNoMemory;
    }
    grid.cells = static_cast<CellRecord<Ch>*>(storage);
    // The records hold only integers and a pointer: zero them, then mark every text unallocated.
    std::memset(static_cast<void*>(grid.cells), 0, size_t(count) * sizeof(CellRecord<Ch>));
    for (int64_t i = 0; i < count; ++i) {
        grid.cells[i].text.capacity = -1;
        grid.cells[i].text.data = nullptr;
        grid.cells[i].mergePosition = kNotMerged;
    }
    grid.cellsAllocated = true;
    return kOk;
}

template <class Ch>
void ReleaseSpentBuffers() {
    RunBuffers<Ch>& owned = runBuffers<Ch>();
    if (owned.workBufferOwned == 1) FreeTextBuffer(owned.workBuffer);
    owned.workBufferOwned = 0;
    if (owned.clipboardTextOwned == 1) {
        releaseArray(owned.clipboardText);
        owned.clipboardText = nullptr;
    }
    owned.clipboardTextOwned = 0;
}

template <class Ch>
void ReleaseCellGrid() {
    CellGrid<Ch>& grid = cellGrid<Ch>();
    if (grid.cellsAllocated) {
        int64_t count = int64_t(grid.rows) * grid.columns;
        if (count < 1) count = 1;
        for (int64_t i = 0; i < count; ++i)
            if (grid.cells[i].text.capacity != -1) FreeTextBuffer(grid.cells[i].text);
        releaseArray(grid.cells);
        grid.cells = nullptr;
    }
    grid.cellsAllocated = false;

    RunBuffers<Ch>& owned = runBuffers<Ch>();
    if (owned.outputBufferOwned == 1) FreeTextBuffer(owned.outputBuffer);
    owned.outputBufferOwned = 0;
    ReleaseSpentBuffers<Ch>();
    if (owned.fontClassTableOwned == 1) {
        releaseArray(owned.fontClassTable);
        owned.fontClassTable = nullptr;
    }
    owned.fontClassTableOwned = 0;
    if (owned.cellClassTableOwned == 1) {
        releaseArray(owned.cellClassTable);
        owned.cellClassTable = nullptr;
    }
    owned.cellClassTableOwned = 0;
}

namespace {

constexpr char32_t kTab = 9, kLineFeed = 10, kCarriageReturn = 13;

// Length of the field that starts at `start`: up to the next tab or line feed, without a carriage
// return directly before a line feed.
template <class Ch>
int64_t fieldLength(const Ch* text, int64_t start, int64_t n) {
    int64_t i = start;
    while (i < n && text[i] != Ch(kTab) && text[i] != Ch(kLineFeed)) ++i;
    int64_t length = i - start;
    if (i < n && text[i] == Ch(kLineFeed) && length > 0 && text[i - 1] == Ch(kCarriageReturn)) --length;
    return length;
}

// Gives a reached cell storage sized for its own field.
template <class Ch>
[[nodiscard]] StatusCode giveCellStorage(CellRecord<Ch>& cell, const Ch* text, int64_t start, int64_t n) {
    int64_t length = fieldLength(text, start, n);
    return InitTextBuffer(cell.text, static_cast<int32_t>(length > INT32_MAX ? INT32_MAX : length));
}

template <class Ch>
void storeField(CellRecord<Ch>& cell, const Ch* from, int64_t count) {
    std::memcpy(cell.text.data, from, size_t(count) * sizeof(Ch));
    cell.text.data[count] = Ch(0);
    cell.text.length = static_cast<int32_t>(count);
}

}  // namespace

template <class Ch>
StatusCode SplitTextIntoGrid(const Ch* text) {
    CellGrid<Ch>& grid = cellGrid<Ch>();
    int64_t n = int64_t(textLength(text));

    // Sizing pass: rows are lines (a final line feed starts none), columns the widest line.
    int64_t rows = 1, widest = 0, fields = 1;
    for (int64_t i = 0; i < n; ++i) {
        if (text[i] == Ch(kTab)) {
            ++fields;
        } else if (text[i] == Ch(kLineFeed)) {
            if (fields > widest) widest = fields;
            if (i != n - 1) ++rows;
            fields = 1;
        }
    }
    if (fields > widest) widest = fields;
    if (n == 0) widest = 1;
    if (rows > INT32_MAX || widest > INT32_MAX || rows * widest > INT32_MAX) {
        showMessage<Ch>(kMessageMemoryExhausted);
        return kNoMemory;
    }
    grid.rows = static_cast<int32_t>(rows);
    grid.columns = static_cast<int32_t>(widest);

    if (AllocateCellGrid<Ch>() != kOk) return kNoMemory;

    for (int64_t i = 0; i < rows * widest; ++i) {
        CellRecord<Ch>& cell = grid.cells[i];
        for (int side = 0; side < 4; ++side) cell.border[side] = cell.borderColor[side] = 0;
        cell.horiJustify = kHoriStandard;
        cell.vertJustify = kVertStandard;
        cell.charColor = 0;
        cell.charHeight = 10;
        cell.bold = cell.italic = 0;
        cell.underline = cell.strikeout = 0;
        cell.backColor = 0xFFFFFF;
    }

    // Fill pass.
    int32_t column = 0, row = 0;
    int64_t start = 0;
    if (giveCellStorage(grid.at(0, 0), text, 0, n) != kOk) return kNoMemory;
    for (int64_t i = 0; i < n; ++i) {
        bool tab = text[i] == Ch(kTab);
        bool lineFeed = text[i] == Ch(kLineFeed);
        if (!tab && !lineFeed) continue;
        int64_t end = i;
        if (lineFeed && end > start && text[end - 1] == Ch(kCarriageReturn)) --end;
        storeField(grid.at(column, row), text + start, end - start);
        if (tab) {
            ++column;
            if (column < grid.columns && giveCellStorage(grid.at(column, row), text, i + 1, n) != kOk) return kNoMemory;
        } else {
            ++row;
            column = 0;
            if (row < grid.rows && giveCellStorage(grid.at(0, row), text, i + 1, n) != kOk) return kNoMemory;
        }
        start = i + 1;
    }
    if (start == n) return kOk;
    storeField(grid.at(column, row), text + start, n - start);
    return kOk;
}

#define GRID_INSTANTIATE(Ch)                                           \
    template void markMergedArea<Ch>(int32_t, int32_t, int32_t, int32_t); \
    template void computeSpans<Ch>();                                  \
    template StatusCode InitWriterBuffers<Ch>(int32_t);                \
    template void ClearRunOwnership<Ch>();          \
    template StatusCode AllocateCellGrid<Ch>();     \
    template void ReleaseCellGrid<Ch>();            \
    template void ReleaseSpentBuffers<Ch>();        \
    template StatusCode SplitTextIntoGrid<Ch>(const Ch*);
GRID_INSTANTIATE(char)
GRID_INSTANTIATE(char16_t)
#undef GRID_INSTANTIATE

}  // namespace grid
