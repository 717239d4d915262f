// Reads the range on the clipboard from real LibreOffice Calc both ways, one request per value and
// in the office at once, and compares the two grids field by field. Needs an office that accepts
// on the programs' pipe (the Calc end-to-end tests start one). Prints one line: the cells compared
// and the time of each way, or the first differences; exits 0 only when the grids are the same
// and the fast way did read them.
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "capture/AutoWrap.h"
#include "capture/CalcCapture.h"
#include "core/CellGrid.h"
#include "core/Program.h"
#include "core/RunState.h"
#include "core/Settings.h"
#include "html/HtmlProgram.h"
#include "platform/fake/FakeMessageBox.h"
#include "platform/uno/CalcConnection_uno.h"
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

}  // namespace

int main() {
    if (!grid::serveCalcThroughUno()) {
        std::printf("capture-compare: no LibreOffice found\n");
        return 1;
    }
    grid::setProgramParts(grid::kGridweaveParts);
    grid::FakeMessageBox boxes;
    std::vector<CellFields> perCell, inOffice;
    int32_t columns = 0, fastColumns = 0;
    double perCellSeconds = 0, fastSeconds = 0;
    grid::StatusCode perCellStatus = grid::kOk, fastStatus = grid::kOk;
    const bool captured = capture(false, perCellStatus, perCell, columns, perCellSeconds) &&
                          capture(true, fastStatus, inOffice, fastColumns, fastSeconds);
    grid::endCalcConnection();
    if (!captured) return 1;
    if (perCellStatus != fastStatus) {
        std::printf("capture-compare: the capture ended with %d one by one, %d in the office\n", perCellStatus,
                    fastStatus);
        return 1;
    }
    if (perCellStatus != grid::kOk) {
        std::printf("capture-compare: both ways ended with %d (one by one %.2f s, in the office %.2f s)\n",
                    perCellStatus, perCellSeconds, fastSeconds);
        return 0;
    }
    int differences = 0;
    if (perCell.size() != inOffice.size() || columns != fastColumns) {
        std::printf("capture-compare: %zu cells one by one, %zu in the office\n", perCell.size(), inOffice.size());
        return 1;
    }
    for (size_t i = 0; i < perCell.size(); ++i) {
        const int column = int(i % size_t(columns)), row = int(i / size_t(columns));
        if (perCell[i].text != inOffice[i].text && ++differences <= 10)
            std::printf("    cell (%d, %d): the texts differ\n", column, row);
        for (size_t f = 0; f < perCell[i].fields.size(); ++f)
            if (perCell[i].fields[f] != inOffice[i].fields[f] && ++differences <= 10)
                std::printf("    cell (%d, %d) %s: %d one by one, %d in the office\n", column, row,
                            grid::test::kCapturedFieldNames[f], perCell[i].fields[f], inOffice[i].fields[f]);
    }
    if (differences) {
        std::printf("capture-compare: %d differences in %zu cells\n", differences, perCell.size());
        return 1;
    }
    std::printf("capture-compare: %zu cells the same both ways (one by one %.2f s, in the office %.2f s)\n",
                perCell.size(), perCellSeconds, fastSeconds);
    return 0;
}
