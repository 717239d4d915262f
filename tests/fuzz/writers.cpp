// Both writers on a grid decoded from the input: any size up to 12 x 12, any field values, any
// merged areas (overlapping ones and ones reaching outside the grid too), normalised first as a
// run does. Gridweave's grid and Gridquill's hold the same cells.
#include <cstring>

#include "core/CellGrid.h"
#include "core/Normalise.h"
#include "core/RunState.h"
#include "core/Settings.h"
#include "html/HtmlWriter.h"
#include "wiki/WikiWriter.h"
#include "tests/fuzz/FuzzSupport.h"

namespace {

void setTemplate(grid::MarkupTemplate& markup, const char* text) {
    markup = {};
    std::strncpy(markup.text, text, sizeof markup.text - 1);
}

void prepareSettings(grid::fuzz::Input& input) {
    grid::resetSettings<char16_t>();
    grid::resetSettings<char>();
    grid::Settings<char16_t>& weave = grid::settings<char16_t>();
    const uint8_t flags = input.byte();
    std::u16string version = flags & 1 ? u"5" : u"4";
    std::memcpy(weave.htmlversion, version.c_str(), (version.size() + 1) * sizeof(char16_t));
    for (char16_t* flag : {weave.line_color_yn, weave.line_width_yn, weave.back_color_yn, weave.font_color_yn,
                           weave.font_size_yn, weave.font_bold_yn, weave.font_underline_yn, weave.font_italic_yn,
                           weave.font_strikethrough_yn, weave.cell_posh_yn, weave.cell_posv_yn})
        std::memcpy(flag, flags & 2 ? u"ON" : u"", flags & 2 ? 6 : 2);
    grid::Settings<char>& quill = grid::settings<char>();
    std::strcpy(quill.cntl_char, "@");
    setTemplate(quill.cell_sep, "|");
    setTemplate(quill.cell_mrgh, ">");
    setTemplate(quill.cell_mrgv, "~");
    setTemplate(quill.back_color, "BG(%s):@");
    setTemplate(quill.font_color, "C(%s):@");
    setTemplate(quill.font_size, "S(%d):@");
    setTemplate(quill.line_width, "W%x@");
    setTemplate(quill.line_color, "L%s@");
    setTemplate(quill.font_bold, "'@'");
    setTemplate(quill.font_italic, "/@/");
    setTemplate(quill.font_underline, "_@_");
    setTemplate(quill.font_strikethrough, "-@-");
    setTemplate(quill.cell_poshr, "R:@");
    setTemplate(quill.cell_poshc, "C:@");
    setTemplate(quill.cell_poshl, "L:@");
    setTemplate(quill.cell_posvt, "T:@");
    setTemplate(quill.cell_posvc, "M:@");
    setTemplate(quill.cell_posvb, "B:@");
    quill.substitutionCount = 1;
    setTemplate(quill.substitutions[0].pattern, "|");
    setTemplate(quill.substitutions[0].replacement, "&#124;");
    setTemplate(quill.substitutions[0].mode, "");
}

struct Area {
    int32_t firstColumn, lastColumn, firstRow, lastRow;
};

template <class Ch>
bool build(int32_t rows, int32_t columns, const grid::fuzz::Input& description, const Area* areas, int areaCount) {
    grid::fuzz::Input input = description;
    grid::resetRunState<Ch>();
    grid::ClearRunOwnership<Ch>();
    grid::CellGrid<Ch>& grid = grid::cellGrid<Ch>();
    grid.rows = rows, grid.columns = columns;
    if (grid::AllocateCellGrid<Ch>() != grid::kOk) return false;
    grid::runState<Ch>().clipboardKind = 3;
    grid::runState<Ch>().bordersAccepted = 1;
    for (int64_t i = 0; i < int64_t(rows) * columns; ++i) {
        grid::CellRecord<Ch>& cell = grid.cells[i];
        const std::basic_string<Ch> text = input.text<Ch>(12);
        if (!text.empty()) {
            if (grid::InitTextBuffer(cell.text, int32_t(text.size())) != grid::kOk) return false;
            if (grid::AppendText(cell.text, text.c_str()) != grid::kOk) return false;
        }
        for (int side = 0; side < 4; ++side) {
            cell.border[side] = input.byte() % 4;
            cell.borderColor[side] = input.integer();
        }
        cell.horiJustify = input.byte() % 7;
        cell.vertJustify = input.byte() % 5;
        cell.charColor = input.integer();
        cell.charHeight = input.byte();
        cell.bold = input.byte() & 1;
        cell.italic = input.byte() & 1;
        cell.underline = input.byte() % 3;
        cell.strikeout = input.byte() % 3;
        cell.backColor = input.integer();
    }
    for (int a = 0; a < areaCount; ++a) {
        const Area& area = areas[a];
        const bool inside = area.firstColumn >= 0 && area.firstRow >= 0 && area.firstColumn <= area.lastColumn &&
                            area.firstRow <= area.lastRow && area.lastColumn < columns && area.lastRow < rows;
        if (inside) {
            grid::markMergedArea<Ch>(area.firstColumn, area.lastColumn, area.firstRow, area.lastRow);
        } else if (area.firstColumn >= 0 && area.firstColumn < columns && area.firstRow >= 0 && area.firstRow < rows) {
            // An anchor whose area reaches outside, as a faulty capture would leave it.
            grid::CellRecord<Ch>& anchor = grid.at(area.firstColumn, area.firstRow);
            anchor.mergePosition = 1;
            anchor.mergeFirstColumn = area.firstColumn, anchor.mergeLastColumn = area.lastColumn;
            anchor.mergeFirstRow = area.firstRow, anchor.mergeLastRow = area.lastRow;
        }
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    grid::fuzz::installQuietPorts();
    grid::fuzz::Input input(data, size);
    const int32_t rows = 1 + input.byte() % 12, columns = 1 + input.byte() % 12;
    const int areaCount = input.byte() % 4;
    Area areas[4];
    for (int a = 0; a < areaCount; ++a) {
        areas[a].firstColumn = int8_t(input.byte()) % 14, areas[a].lastColumn = int8_t(input.byte()) % 14;
        areas[a].firstRow = int8_t(input.byte()) % 14, areas[a].lastRow = int8_t(input.byte()) % 14;
    }
    prepareSettings(input);
    if (build<char16_t>(rows, columns, input, areas, areaCount) && grid::normaliseGrid<char16_t>() == grid::kOk)
        grid::WriteHtmlTable();
    grid::ReleaseCellGrid<char16_t>();
    if (build<char>(rows, columns, input, areas, areaCount) && grid::normaliseGrid<char>() == grid::kOk)
        grid::WriteWikiTable();
    grid::ReleaseCellGrid<char>();
    return 0;
}
