// The direct capture on any copy: the package's bytes and the link as they come, or parts of the
// package (content.xml, styles.xml) as they come inside a sound ZIP. Every outcome must be a grid
// that the writers take (areas inside it, every text within its buffer), or the quiet fallback:
// nothing shown, nothing allocated.
#include <string>

#include "capture/DirectCapture.h"
#include "core/CellGrid.h"
#include "core/Normalise.h"
#include "core/RunState.h"
#include "core/Settings.h"
#include "html/HtmlWriter.h"
#include "platform/fake/FakeAllocation.h"
#include "platform/fake/FakeMessageBox.h"
#include "tests/calc/PackageMaker.h"
#include "tests/fuzz/FuzzSupport.h"
#include "wiki/WikiWriter.h"

namespace {

template <class Ch>
void capture(const std::string& package, const std::string& link, grid::FakeMessageBox& boxes) {
    grid::resetRunState<Ch>();
    grid::ClearRunOwnership<Ch>();
    grid::runState<Ch>().clipboardKind = 3;
    bool filled = false;
    const grid::StatusCode status = grid::captureFromPackage<Ch>(
        reinterpret_cast<const uint8_t*>(package.data()), package.size(), reinterpret_cast<const uint8_t*>(link.data()),
        link.size(), filled);
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
        // Whole columns are a copy Calc makes too; writing a million rows tells nothing new.
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
    // A mode byte, the link's item up to a NUL, then the package's bytes, or content.xml and
    // styles.xml separated by a NUL.
    const uint8_t mode = size ? data[0] : 0;
    size_t at = size ? 1 : 0;
    const auto field = [&](bool toEnd) {
        size_t end = at;
        while (end < size && (toEnd || data[end] != 0)) ++end;
        std::string bytes(reinterpret_cast<const char*>(data) + at, end - at);
        at = end < size ? end + 1 : end;
        return bytes;
    };
    const std::string link = grid::test::linkOf(field(false));
    std::string package;
    if (mode & 2) {
        const std::string content = field(false);
        package = grid::test::zipOf({{"content.xml", content}, {"styles.xml", field(true)}});
    } else {
        package = field(true);
    }
    if (mode & 1) capture<char16_t>(package, link, boxes);
    else capture<char>(package, link, boxes);
    if (allocator.liveBlocks() != 0) grid::fuzz::fail();
    return 0;
}
