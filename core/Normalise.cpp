#include "core/Normalise.h"

#include "core/CellGrid.h"
#include "core/Messages.h"
#include "core/RunState.h"
#include "platform/Ports.h"

namespace grid {

template <class Ch>
StatusCode normaliseGrid() {
    CellGrid<Ch>& grid = cellGrid<Ch>();
    RunState<Ch>& run = runState<Ch>();
    const int64_t count = int64_t(grid.rows) * grid.columns;

    bool anyBorder = false;
    for (int64_t i = 0; i < count && !anyBorder; ++i)
        for (int side = 0; side < 4; ++side)
            if (grid.cells[i].border[side] != 0) anyBorder = true;

    if (!anyBorder) {
        if (run.clipboardKind == 3 && run.bordersAccepted == 0) {
            if (showMessage<Ch>(kQuestionBordersOnAllCells) != kAnswerOk) {
                showMessage<Ch>(kMessageCancelled);
                ReleaseCellGrid<Ch>();
                return kCancelled;
            }
            run.bordersAccepted = 1;
        }
        for (int64_t i = 0; i < count; ++i)
            for (int side = 0; side < 4; ++side) grid.cells[i].border[side] = kThinLine;
    }

    for (int32_t row = 0; row < grid.rows; ++row) {
        for (int32_t column = 0; column < grid.columns; ++column) {
            const CellRecord<Ch>& anchor = grid.at(column, row);
            if (anchor.mergePosition != kMergeAnchor) continue;
            if (anchor.mergeLastColumn >= grid.columns || anchor.mergeLastRow >= grid.rows ||
                anchor.mergeFirstColumn < 0 || anchor.mergeFirstRow < 0) {
                showMessage<Ch>(kMessageRangeNotRectangular);
                ReleaseCellGrid<Ch>();
                return kFailedReported;
            }
            const int32_t firstColumn = anchor.mergeFirstColumn, lastColumn = anchor.mergeLastColumn;
            const int32_t firstRow = anchor.mergeFirstRow, lastRow = anchor.mergeLastRow;
            const int32_t left = anchor.border[kLeft], top = anchor.border[kTop];
            const int32_t right = anchor.border[kRight], bottom = anchor.border[kBottom];
            for (int32_t j = firstColumn; j <= lastColumn; ++j) {
                for (int32_t k = firstRow; k <= lastRow; ++k) {
                    CellRecord<Ch>& cell = grid.at(j, k);
                    cell.border[kLeft] = j == firstColumn ? left : 0;
                    cell.border[kRight] = j == lastColumn ? right : 0;
                    cell.border[kTop] = k == firstRow ? top : 0;
                    cell.border[kBottom] = k == lastRow ? bottom : 0;
                }
            }
        }
    }
    return kOk;
}

template StatusCode normaliseGrid<char>();
template StatusCode normaliseGrid<char16_t>();

}  // namespace grid
