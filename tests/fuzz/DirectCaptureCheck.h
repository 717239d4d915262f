#pragma once
// What every direct capture must leave, whatever its input: a grid that the writers take (areas
// inside it, every text within its buffer), or the quiet fallback with nothing shown and nothing
// allocated. `capture` fills the grid and tells whether it took the input.
#include <string>

#include "core/CellGrid.h"
#include "core/Normalise.h"
#include "core/RunState.h"
#include "html/HtmlWriter.h"
#include "platform/fake/FakeMessageBox.h"
#include "tests/fuzz/FuzzSupport.h"
#include "wiki/WikiWriter.h"

namespace grid::fuzz {

template <class Ch, class Capture>
void checkDirectCapture(Capture capture, const FakeMessageBox& boxes) {
    resetRunState<Ch>();
    ClearRunOwnership<Ch>();
    runState<Ch>().clipboardKind = 3;
    bool filled = false;
    const StatusCode status = capture(filled);
    const CellGrid<Ch>& grid = cellGrid<Ch>();
    if (!filled) {
        if (status != kOk || !boxes.shown().empty() || grid.cellsAllocated) fail();
        return;
    }
    if (status == kOk) {
        for (int64_t i = 0; i < int64_t(grid.rows) * grid.columns; ++i) {
            const CellRecord<Ch>& cell = grid.cells[i];
            if (!cell.text.live() || int64_t(std::char_traits<Ch>::length(cell.text.data)) > cell.text.capacity) fail();
            if (cell.mergePosition == kMergeAnchor && (cell.mergeLastColumn >= grid.columns || cell.mergeLastRow >= grid.rows))
                fail();
        }
        // Whole columns are a copy Calc makes too; writing a million rows tells nothing new.
        if (int64_t(grid.rows) * grid.columns <= 100000 && normaliseGrid<Ch>() == kOk) {
            if constexpr (sizeof(Ch) == 2) (void)WriteHtmlTable();
            else (void)WriteWikiTable();
        }
    }
    ReleaseCellGrid<Ch>();
}

}  // namespace grid::fuzz
