// The fast capture's reading of the office's answer. A sheet of the Calc stand-in decoded from the
// input (up to 6 x 6 cells, their formats, merged areas, some reaching outside the range), the
// routine's answer then changed by edits from the input: any value set to any number, a list cut
// or lengthened, a text replaced, the tag or the size changed. Whatever the answer, the capture
// must end cleanly, with every automation object released: when the answer is not taken, with the
// grid of the per-cell reads; when it is, with merged areas whole and inside the grid; and without
// edits, with the per-cell reads' grid.
#include <cstdlib>
#include <string>
#include <vector>

#include "capture/AutoWrap.h"
#include "capture/CalcCapture.h"
#include "core/CellGrid.h"
#include "core/RunState.h"
#include "core/Settings.h"
#include "platform/fake/FakeProgressWindow.h"
#include "platform/fake/FakeSettingsFile.h"
#include "tests/calc/CalcStandIn.h"
#include "tests/calc/CapturedFields.h"
#include "tests/fuzz/FuzzSupport.h"

namespace {

using Cells = std::vector<grid::test::CapturedFields>;

struct Outcome {
    grid::StatusCode status;
    grid::CaptureWay way;
    Cells cells;
    std::u16string texts;
};

Outcome capture(bool fast) {
    grid::resetRunState<char16_t>();
    grid::resetCalcSession();
    grid::resetSettings<char16_t>();
    if (fast) std::char_traits<char16_t>::copy(grid::settings<char16_t>().fast_capture_yn, u"ON", 3);
    Outcome outcome{grid::RunCalcCapture<char16_t>(), grid::lastCaptureWay(), {}, {}};
    if (outcome.status != grid::kOk) return outcome;
    const grid::CellGrid<char16_t>& grid = grid::cellGrid<char16_t>();
    for (int32_t i = 0; i < grid.rows * grid.columns; ++i) {
        const grid::CellRecord<char16_t>& c = grid.cells[i];
        outcome.texts += std::u16string(c.text.data, size_t(c.text.length)) + u'\0';
        outcome.cells.push_back(grid::test::capturedFields(c));
        // Merged areas whole and inside the grid, however the answer gave them.
        if (c.mergePosition < grid::kNotMerged || c.mergePosition > grid::kMergeLastCovered) std::abort();
        if (c.mergePosition == grid::kMergeAnchor &&
            (c.mergeFirstColumn < 0 || c.mergeFirstRow < 0 || c.mergeLastColumn >= grid.columns ||
             c.mergeLastRow >= grid.rows || c.mergeLastColumn < c.mergeFirstColumn || c.mergeLastRow < c.mergeFirstRow))
            std::abort();
    }
    grid::ReleaseCellGrid<char16_t>();
    return outcome;
}

int32_t smallNumber(grid::fuzz::Input& input) { return int32_t(int8_t(input.byte())); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    grid::fuzz::installQuietPorts();
    static grid::FakeSettingsFile files;
    static grid::FakeProgressWindow window;
    window.positions.clear();
    grid::fuzz::Input input(data, size);
    grid::test::CalcStandIn calc;
    grid::test::StandInAutomation automation(calc);
    calc.resize(1 + input.byte() % 6, 1 + input.byte() % 6);
    // Merged areas as Calc has them: none overlapping another, each at least two cells; some reach
    // outside the range.
    for (int area = input.byte() % 4; area > 0; --area) {
        const int32_t column = input.byte() % 7, row = input.byte() % 7;
        const grid::test::StandInArea made = {column, column + input.byte() % 3, row, row + input.byte() % 3};
        bool apart = made.lastColumn > made.firstColumn || made.lastRow > made.firstRow;
        for (const grid::test::StandInArea& other : calc.merges)
            apart = apart && (made.lastColumn < other.firstColumn || other.lastColumn < made.firstColumn ||
                              made.lastRow < other.firstRow || other.lastRow < made.firstRow);
        if (apart) calc.merges.push_back(made);
    }
    // Formats from a few values each, so that cells share groups.
    for (grid::test::StandInCell& cell : calc.cells) {
        const uint8_t pick = input.byte();
        cell.text = pick & 1 ? u"a\nb" : pick & 2 ? u"日本" : u"";
        cell.charWeight = pick & 4 ? 150.0f : 100.0f;
        cell.charHeight = pick & 8 ? 10.5f : 10.0f;
        cell.charColor = pick & 16 ? -1 : 0x123456;
        cell.posture = pick & 32 ? 2 : 0;
        cell.lines[pick % 4] = {int16_t(pick & 64 ? 20 : 0), int16_t(pick & 128 ? 88 : 26), pick & 1 ? -1 : 0xFF};
    }

    const Outcome perCell = capture(false);
    // The edits: 0 a value, 1 an area's value, 2 and 3 cut the lists, 4 and 5 lengthen them, 6 a
    // text, 7 the tag, 8 the size, 9 a value beyond 32 bits or with a fraction.
    std::vector<uint8_t> edits;
    while (!input.empty() && edits.size() < 12) edits.push_back(input.byte());
    std::vector<int32_t> values;
    for (size_t i = 0; i < edits.size() * 2; ++i) values.push_back(smallNumber(input));
    calc.alterAnswer = [&](grid::test::StandInAnswer& answer) {
        for (size_t e = 0; e < edits.size(); ++e) {
            const int32_t value = values[2 * e], at = values[2 * e + 1] & 0x7F;
            switch (edits[e] % 10) {
                case 0: if (!answer.described.empty()) answer.described[size_t(at) % answer.described.size()] = value; break;
                case 1: if (!answer.areas.empty()) answer.areas[size_t(at) % answer.areas.size()] = value; break;
                case 2: answer.described.resize(answer.described.size() * size_t(at) / 128); break;
                case 3: answer.areas.resize(answer.areas.size() * size_t(at) / 128); break;
                case 4: answer.described.push_back(value); break;
                case 5: answer.areas.push_back(value); break;
                case 6: if (!answer.texts.empty()) answer.texts[size_t(at) % answer.texts.size()] = u"x"; break;
                case 7: answer.tag = u"grid cells 0"; break;
                case 8: answer.rows = value; break;
                default:  // a real that no integer of 32 bits holds, or one with a fraction
                    if (!answer.described.empty())
                        answer.described[size_t(at) % answer.described.size()] = value < 0 ? value * 1e12 : value + 0.5;
                    break;
            }
        }
    };
    const Outcome fast = capture(true);
    if (calc.objectsAlive != 0 || grid::calcSession().sessionStage != 0) std::abort();
    if (fast.way == grid::CaptureWay::perCell || edits.empty()) {
        if (fast.status != perCell.status || fast.cells != perCell.cells || fast.texts != perCell.texts) std::abort();
    }
    if (edits.empty() && fast.way != grid::CaptureWay::inOffice && perCell.status == grid::kOk) std::abort();
    return 0;
}
