#include "capture/DirectCapture.h"

#include "capture/CalcCapture.h"
#include "capture/CalcPackage.h"
#include "capture/CellValues.h"
#include "capture/HtmlTable.h"
#include "clipboard/Clipboard.h"
#include "core/CellGrid.h"
#include "core/RunState.h"
#include "platform/Window.h"

namespace grid {

namespace {

// The grid from the cells read off the clipboard, as the office's capture fills it.
template <class Ch>
StatusCode fillGrid(const PackageCells& cells) {
    noteCaptureWay(CaptureWay::fromClipboard);
    progressWindowPort().setProgress(25);
    if (cancelRequested<Ch>()) return cancelSeenWithoutSession<Ch>();
    if (cells.areaBeyondRange) {
        // The office's paste has the same area, which the capture there cannot place.
        runState<Ch>().captureStage = kCaptureReadingCells;
        return kMergeBeyondRange;
    }

    CellGrid<Ch>& grid = cellGrid<Ch>();
    grid.rows = cells.rows;
    grid.columns = cells.columns;
    if (AllocateCellGrid<Ch>() != kOk) {
        ReleaseCellGrid<Ch>();
        return kNoMemory;
    }
    progressWindowPort().setProgress(30);
    if (cancelRequested<Ch>()) return cancelSeenWithoutSession<Ch>();
    const int32_t step = 60000 / grid.rows;
    for (int32_t row = 0; row < grid.rows; ++row) {
        for (int32_t column = 0; column < grid.columns; ++column) {
            const PackageCell& from = cells.at(column, row);
            CellRecord<Ch>& cell = grid.at(column, row);
            const StatusCode stored = storeCellText(cell, cells.text(from), from.textLength);
            if (stored != kOk) {
                ReleaseCellGrid<Ch>();
                return stored;
            }
            applyCellFormat(cell, cells.format(from));
            // A single cell has no area (the readings see to that, as the office's capture never
            // asks a single cell for one).
            if (cell.mergePosition == kNotMerged && (from.columnSpan > 1 || from.rowSpan > 1))
                markMergedArea<Ch>(column, column + from.columnSpan - 1, row, row + from.rowSpan - 1);
        }
        if (cancelRequested<Ch>()) return cancelSeenWithoutSession<Ch>();
        progressWindowPort().setProgress(30 + (row * step) / 1000);
    }
    progressWindowPort().setProgress(90);
    return kOk;
}

}  // namespace

template <class Ch>
StatusCode captureFromPackage(const uint8_t* package, size_t packageSize, const uint8_t* link, size_t linkSize,
                              bool& filled) {
    filled = false;
    LinkedRange range;
    PackageCells cells;
    if (!readCalcLink(link, linkSize, range) || readCalcPackage(package, packageSize, range, cells) != PackageResult::ok)
        return kOk;
    filled = true;
    return fillGrid<Ch>(cells);
}

template <class Ch>
StatusCode captureFromHtml(const uint8_t* html, size_t size, bool& filled) {
    filled = false;
    PackageCells cells;
    if (readHtmlTable(html, size, cells) != PackageResult::ok) return kOk;
    filled = true;
    return fillGrid<Ch>(cells);
}

template <class Ch>
StatusCode captureFromClipboard(bool& filled) {
    filled = false;
    static const char* const names[] = {CALC_PACKAGE_FORMAT, CALC_LINK_FORMAT};
    OwnedBytes contents[2];
    // Calc's copy is read from its package, or by the office where the package is not taken: its
    // HTML says less. The HTML of Excel, of a sheet in a browser or of a web page comes next.
    if (readNamedFormats<Ch>(names, contents, 2, kLargestPackage))
        return captureFromPackage<Ch>(contents[0].data(), contents[0].size(), contents[1].data(), contents[1].size(),
                                      filled);
    static const char* const html[] = {HTML_FORMAT};
    OwnedBytes bytes;
    if (!readNamedFormats<Ch>(html, &bytes, 1, kLargestHtml)) return kOk;
    return captureFromHtml<Ch>(bytes.data(), bytes.size(), filled);
}

template StatusCode captureFromClipboard<char>(bool&);
template StatusCode captureFromClipboard<char16_t>(bool&);
template StatusCode captureFromPackage<char>(const uint8_t*, size_t, const uint8_t*, size_t, bool&);
template StatusCode captureFromPackage<char16_t>(const uint8_t*, size_t, const uint8_t*, size_t, bool&);
template StatusCode captureFromHtml<char>(const uint8_t*, size_t, bool&);
template StatusCode captureFromHtml<char16_t>(const uint8_t*, size_t, bool&);

}  // namespace grid
