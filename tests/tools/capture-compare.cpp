// Reads the range on the clipboard three ways: from real LibreOffice Calc one request per value and
// in the office at once, and from the copy's own package and link on the display's clipboard
// without the office; compares the grids with the first field by field. With --without-per-cell,
// for ranges too large to read one by one in a test, the direct way's grid is the one compared with. Needs an office that
// accepts on the programs' pipe (the Calc end-to-end tests start one). Prints one line: the cells
// compared and the time of each way, or the first differences; exits 0 only when the grids are the
// same and the fast and the direct way did read them.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "capture/AutoWrap.h"
#include "capture/CalcCapture.h"
#include "capture/DirectCapture.h"
#include "core/CellGrid.h"
#include "core/Program.h"
#include "core/RunState.h"
#include "core/Settings.h"
#include "html/HtmlProgram.h"
#include "platform/fake/FakeMessageBox.h"
#include "platform/uno/CalcConnection_uno.h"
#include "tests/calc/DisplayClipboard.h"
#include "tests/calc/CapturedFields.h"

namespace {

struct CellFields {
    std::u16string text;
    grid::test::CapturedFields fields;
};

std::vector<CellFields> snapshot() {
    const grid::CellGrid<char16_t>& grid = grid::cellGrid<char16_t>();
    std::vector<CellFields> cells;
    for (int32_t i = 0; i < grid.rows * grid.columns; ++i) {
        const grid::CellRecord<char16_t>& c = grid.cells[i];
        cells.push_back({c.text.data ? std::u16string(c.text.data, size_t(c.text.length)) : std::u16string(),
                         grid::test::capturedFields(c)});
    }
    return cells;
}

// One capture of the clipboard's range, the way chosen by the settings: its outcome, and the
// cells when it filled the grid. False when the fast way did not read the cells itself.
bool capture(bool fast, grid::StatusCode& status, std::vector<CellFields>& cells, int32_t& columns,
             double& seconds) {
    grid::resetRunState<char16_t>();
    grid::resetCalcSession();
    grid::resetSettings<char16_t>();
    if (fast) std::char_traits<char16_t>::copy(grid::settings<char16_t>().fast_capture_yn, u"ON", 3);
    const auto start = std::chrono::steady_clock::now();
    status = grid::RunCalcCapture<char16_t>();
    seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (status == grid::kOk) {
        cells = snapshot();
        columns = grid::cellGrid<char16_t>().columns;
        grid::ReleaseCellGrid<char16_t>();
    }
    if (fast && grid::lastCaptureWay() != grid::CaptureWay::inOffice) {
        std::printf("capture-compare: the fast capture read the cells one by one\n");
        return false;
    }
    return true;
}

// The grid from the copy's package and link as the display's clipboard holds them. False when the
// clipboard lacks them or the direct way did not take them.
bool captureDirectly(grid::StatusCode& status, std::vector<CellFields>& cells, int32_t& columns, double& seconds) {
    grid::resetRunState<char16_t>();
    const auto [package, link] = grid::test::copiedFormatsOnDisplay();
    bool filled = false;
    const auto start = std::chrono::steady_clock::now();
    status = grid::captureFromPackage<char16_t>(reinterpret_cast<const uint8_t*>(package.data()), package.size(),
                                                reinterpret_cast<const uint8_t*>(link.data()), link.size(), filled);
    seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (!filled) {
        std::printf("capture-compare: the copy's package (%zu bytes) and link (%zu bytes) were not taken\n",
                    package.size(), link.size());
        return false;
    }
    if (status == grid::kOk) {
        cells = snapshot();
        columns = grid::cellGrid<char16_t>().columns;
        grid::ReleaseCellGrid<char16_t>();
    }
    return true;
}

// The differences of a grid from the per-cell one, the first ten printed.
int differencesOf(const std::vector<CellFields>& perCell, const std::vector<CellFields>& other, int32_t columns,
                  const char* way) {
    int differences = 0;
    for (size_t i = 0; i < perCell.size(); ++i) {
        const int column = int(i % size_t(columns)), row = int(i / size_t(columns));
        if (perCell[i].text != other[i].text && ++differences <= 10)
            std::printf("    cell (%d, %d): the texts differ %s\n", column, row, way);
        for (size_t f = 0; f < perCell[i].fields.size(); ++f)
            if (perCell[i].fields[f] != other[i].fields[f] && ++differences <= 10)
                std::printf("    cell (%d, %d) %s: %d one by one, %d %s\n", column, row,
                            grid::test::kCapturedFieldNames[f], perCell[i].fields[f], other[i].fields[f], way);
    }
    return differences;
}

}  // namespace

int main(int argc, char** argv) {
    const bool perCellToo = !(argc == 2 && std::string(argv[1]) == "--without-per-cell");
    if (!grid::serveCalcThroughUno()) {
        std::printf("capture-compare: no LibreOffice found\n");
        return 1;
    }
    grid::setProgramParts(grid::kGridweaveParts);
    grid::FakeMessageBox boxes;
    std::vector<CellFields> perCell, inOffice, direct;
    int32_t columns = 0, fastColumns = 0, directColumns = 0;
    double perCellSeconds = 0, fastSeconds = 0, directSeconds = 0;
    grid::StatusCode perCellStatus = grid::kOk, fastStatus = grid::kOk, directStatus = grid::kOk;
    const bool captured = (!perCellToo || capture(false, perCellStatus, perCell, columns, perCellSeconds)) &&
                          capture(true, fastStatus, inOffice, fastColumns, fastSeconds);
    grid::endCalcConnection();
    if (!captured || !captureDirectly(directStatus, direct, directColumns, directSeconds)) return 1;
    if (!perCellToo) {
        // The direct way stands in for the reads one by one, which the other ranges compare it with.
        const int differences = fastStatus != directStatus || inOffice.size() != direct.size() ||
                                        fastColumns != directColumns
                                    ? -1
                                    : differencesOf(direct, inOffice, directColumns, "in the office");
        if (differences != 0) {
            std::printf("capture-compare: in the office %d (%zu cells), from the copy %d (%zu cells), %d differences\n",
                        fastStatus, inOffice.size(), directStatus, direct.size(), differences);
            return 1;
        }
        std::printf("capture-compare: %zu cells the same in the office and from the copy (%.2f s, %.4f s)\n",
                    direct.size(), fastSeconds, directSeconds);
        return 0;
    }
    if (perCellStatus != fastStatus || perCellStatus != directStatus) {
        std::printf("capture-compare: the capture ended with %d one by one, %d in the office, %d from the copy\n",
                    perCellStatus, fastStatus, directStatus);
        return 1;
    }
    if (perCellStatus != grid::kOk) {
        std::printf("capture-compare: both ways ended with %d (one by one %.2f s, in the office %.2f s)\n",
                    perCellStatus, perCellSeconds, fastSeconds);
        return 0;
    }
    if (perCell.size() != inOffice.size() || columns != fastColumns || perCell.size() != direct.size() ||
        columns != directColumns) {
        std::printf("capture-compare: %zu cells one by one, %zu in the office, %zu from the copy\n", perCell.size(),
                    inOffice.size(), direct.size());
        return 1;
    }
    const int differences =
        differencesOf(perCell, inOffice, columns, "in the office") + differencesOf(perCell, direct, columns, "from the copy");
    if (differences) {
        std::printf("capture-compare: %d differences in %zu cells\n", differences, perCell.size());
        return 1;
    }
    std::printf("capture-compare: %zu cells the same three ways (one by one %.2f s, in the office %.2f s, from the "
                "copy %.4f s)\n",
                perCell.size(), perCellSeconds, fastSeconds, directSeconds);
    return 0;
}
