// The direct capture on any clipboard HTML (a mode byte, then the bytes as the clipboard holds
// them: Windows' header and document, or HTML in UTF-8 or UTF-16). Every outcome must be a grid
// that the writers take (areas inside it, every text within its buffer), or the quiet fallback:
// nothing shown, nothing allocated.
#include <string>

#include "capture/DirectCapture.h"
#include "core/CellGrid.h"
#include "core/Normalise.h"
#include "core/RunState.h"
#include "html/HtmlWriter.h"
#include "platform/fake/FakeAllocation.h"
#include "platform/fake/FakeMessageBox.h"
#include "tests/fuzz/FuzzSupport.h"
#include "wiki/WikiWriter.h"

namespace {

template <class Ch>
void capture(const uint8_t* html, size_t size, grid::FakeMessageBox& boxes) {
    grid::resetRunState<Ch>();
    grid::ClearRunOwnership<Ch>();
    grid::runState<Ch>().clipboardKind = 3;
    grid::runState<Ch>().bordersAccepted = 1;
    bool filled = false;
    const grid::StatusCode status = grid::captureFromHtml<Ch>(html, size, filled);
    const grid::CellGrid<Ch>& grid = grid::cellGrid<Ch>();
    if (!filled) {
        if (status != grid::kOk || !boxes.shown().empty() || grid.cellsAllocated) grid::fuzz::fail();
        return;
    }
    if (status == grid::kOk) {
        for (int64_t i = 0; i < int64_t(grid.rows) * grid.columns; ++i) {
            const grid::CellRecord<Ch>& cell = grid.cells[i];
            if (!cell.text.live() || int64_t(std::char_traits<Ch>::length(cell.text.data)) > cell.text.capacity)
                grid::fuzz::fail();
            if (cell.mergePosition == grid::kMergeAnchor &&
                (cell.mergeLastColumn >= grid.columns || cell.mergeLastRow >= grid.rows))
                grid::fuzz::fail();
        }
        if (int64_t(grid.rows) * grid.columns <= 100000 && grid::normaliseGrid<Ch>() == grid::kOk) {
            if constexpr (sizeof(Ch) == 2) (void)grid::WriteHtmlTable();
            else (void)grid::WriteWikiTable();
        }
    }
    grid::ReleaseCellGrid<Ch>();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    grid::fuzz::installQuietPorts();
    static grid::FakeAllocation allocator;  // counts what is left
    grid::FakeMessageBox boxes;
    if (size && (data[0] & 1)) capture<char16_t>(data + 1, size - 1, boxes);
    else capture<char>(size ? data + 1 : data, size ? size - 1 : 0, boxes);
    if (allocator.liveBlocks() != 0) grid::fuzz::fail();
    return 0;
}
