// Both writers on one grid decoded from the input: any size up to 12 x 12, any field values, any
// merged areas (overlapping ones and ones reaching outside the grid too), normalised first as a
// run does. Gridweave's grid and Gridquill's hold the same cells, so both programs must write the
// same cells in the same order, row by row, with the same texts.
#include <algorithm>
#include <array>
#include <cstring>
#include <string>
#include <vector>

#include "core/CellGrid.h"
#include "core/Normalise.h"
#include "core/RunState.h"
#include "core/Settings.h"
#include "html/HtmlWriter.h"
#include "tests/fuzz/FuzzSupport.h"
#include "wiki/WikiWriter.h"

namespace {

// What the writers wrote: per row, the texts of the cells written, in order.
using WrittenCells = std::vector<std::vector<std::string>>;

void setTemplate(grid::MarkupTemplate& markup, const char* text) {
    markup = {};
    std::strncpy(markup.text, text, sizeof markup.text - 1);
}

// The rewrites that keep Gridquill's cells apart in its markup, and that read back exactly.
const char* const kRewrites[][2] = {{"&", "&#38;"}, {"|", "&#124;"}, {"\r", "&#13;"}, {"\n", "&#10;"}};

void prepareSettings(grid::fuzz::Input& input) {
    grid::resetSettings<char16_t>();
    grid::resetSettings<char>();
    grid::Settings<char16_t>& weave = grid::settings<char16_t>();
    const uint8_t flags = input.byte();
    std::u16string version = flags & 1 ? u"5" : u"4";
    std::memcpy(weave.htmlversion, version.c_str(), (version.size() + 1) * sizeof(char16_t));
    if (flags & 4) std::memcpy(weave.inline_style_yn, u"ON", 6);  // the third style, inline CSS
    for (char16_t* flag : {weave.line_color_yn, weave.line_width_yn, weave.back_color_yn, weave.font_color_yn,
                           weave.font_size_yn, weave.font_bold_yn, weave.font_underline_yn, weave.font_italic_yn,
                           weave.font_strikethrough_yn, weave.cell_posh_yn, weave.cell_posv_yn})
        std::memcpy(flag, flags & 2 ? u"ON" : u"", flags & 2 ? 6 : 2);
}

// Where covered cells go in Gridquill's markup: left out (0), or written with the content in the
// first (1) or the last (2) column of an area.
const char* const kCoverModes[] = {"", "first", "last"};

// Every template of Gridquill's vocabulary, for the writer's first run.
void everyTemplate(int coverMode) {
    grid::Settings<char>& quill = grid::settings<char>();
    quill = {};
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
    std::strcpy(quill.newline_code, "~");
    setTemplate(quill.table_begin, "{%d~cols@");
    setTemplate(quill.table_end, "}%x");
    setTemplate(quill.row_line, "-~-");
    setTemplate(quill.row_frame, "[@]");
    setTemplate(quill.head_frame, "!@!~");
    setTemplate(quill.head_sep, "!!");
    setTemplate(quill.head_cell, "h@H");
    setTemplate(quill.rule_poshl, ":--");
    setTemplate(quill.rule_poshc, ":-:");
    setTemplate(quill.rule_poshr, "%d-:");
    setTemplate(quill.cell_span, "<@>");
    setTemplate(quill.cell_colspan, "c%d");
    setTemplate(quill.cell_rowspan, "r%d%d");
    std::strcpy(quill.cover_cells, kCoverModes[coverMode]);
    setTemplate(quill.cover_row, ">");
    setTemplate(quill.cover_column, "^~");
    setTemplate(quill.cover_other, "");
    setTemplate(quill.cell_break, "<br>~");
    std::strcpy(quill.escape_chars, "<>%");
    setTemplate(quill.escape_code, "&#%d;");
}

// A separator and the rewrites alone, for the second run, whose markup is read back; with covered
// cells written, their markers.
const char kCoveredMarker[] = "&C;";  // no cell text gives it: its "&" is rewritten

void separatorOnly(int coverMode) {
    grid::Settings<char>& quill = grid::settings<char>();
    quill = {};
    std::strcpy(quill.cntl_char, "@");
    setTemplate(quill.cell_sep, "|");
    quill.substitutionCount = 4;
    for (int n = 0; n < 4; ++n) {
        setTemplate(quill.substitutions[n].pattern, kRewrites[n][0]);
        setTemplate(quill.substitutions[n].replacement, kRewrites[n][1]);
    }
    std::strcpy(quill.cover_cells, kCoverModes[coverMode]);
    for (grid::MarkupTemplate* marker : {&quill.cover_row, &quill.cover_column, &quill.cover_other})
        setTemplate(*marker, kCoveredMarker);
}

struct Area {
    int32_t firstColumn, lastColumn, firstRow, lastRow;
};

struct CellFacts {
    std::string text;  // bytes; Gridweave's units are made of them one to one
    int32_t border[4], borderColor[4];
    int32_t horiJustify, vertJustify, charColor, charHeight, bold, italic, underline, strikeout, backColor;
};

// One UTF-16 unit for each byte, the other way round too: ASCII stays, the rest become Japanese
// characters, lone surrogates of both halves and full-width forms.
char16_t wideUnit(unsigned char byte) {
    if (byte < 0x80) return byte;
    if (byte < 0xC0) return char16_t(0x3000 + (byte - 0x80));
    if (byte < 0xE0) return char16_t(0xD800 + (byte - 0xC0));
    if (byte < 0xF0) return char16_t(0xDC00 + (byte - 0xE0));
    return char16_t(0xFF00 + (byte - 0xF0));
}

std::string bytesOfUnits(const std::u16string& units) {
    // The byte of each unit wideUnit gives, -1 for the others: made once, looked up for every unit.
    static const std::array<int16_t, 0x10000> byteOf = [] {
        std::array<int16_t, 0x10000> table;
        table.fill(-1);
        for (int b = 0; b < 256; ++b) table[wideUnit(static_cast<unsigned char>(b))] = int16_t(b);
        return table;
    }();
    std::string bytes;
    for (char16_t unit : units) {
        if (byteOf[unit] < 0) grid::fuzz::fail();  // Gridweave wrote a character no cell holds
        bytes.push_back(char(byteOf[unit]));
    }
    return bytes;
}

std::vector<CellFacts> decodeCells(grid::fuzz::Input& input, int64_t count) {
    std::vector<CellFacts> cells(static_cast<size_t>(count));
    for (CellFacts& cell : cells) {
        cell.text = input.text<char>(12);
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
    return cells;
}

template <class Ch>
bool build(int32_t rows, int32_t columns, const std::vector<CellFacts>& facts, const Area* areas, int areaCount) {
    grid::resetRunState<Ch>();
    grid::ClearRunOwnership<Ch>();
    grid::CellGrid<Ch>& grid = grid::cellGrid<Ch>();
    grid.rows = rows, grid.columns = columns;
    if (grid::AllocateCellGrid<Ch>() != grid::kOk) return false;
    grid::runState<Ch>().clipboardKind = 3;
    grid::runState<Ch>().bordersAccepted = 1;
    for (size_t i = 0; i < facts.size(); ++i) {
        const CellFacts& from = facts[i];
        grid::CellRecord<Ch>& cell = grid.cells[i];
        if (!from.text.empty()) {
            std::basic_string<Ch> text;
            for (char byte : from.text) text.push_back(sizeof(Ch) == 1 ? Ch(byte) : Ch(wideUnit(byte)));
            if (grid::InitTextBuffer(cell.text, int32_t(text.size())) != grid::kOk) return false;
            if (grid::AppendText(cell.text, text.c_str()) != grid::kOk) return false;
        }
        for (int side = 0; side < 4; ++side) {
            cell.border[side] = from.border[side];
            cell.borderColor[side] = from.borderColor[side];
        }
        cell.horiJustify = from.horiJustify;
        cell.vertJustify = from.vertJustify;
        cell.charColor = from.charColor;
        cell.charHeight = from.charHeight;
        cell.bold = from.bold;
        cell.italic = from.italic;
        cell.underline = from.underline;
        cell.strikeout = from.strikeout;
        cell.backColor = from.backColor;
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

// The inline style's table with the tags of the other styles, which its text cannot hold: every
// "<" of a text is escaped.
std::u16string withUpperCaseTags(std::u16string html) {
    const std::pair<std::u16string, std::u16string> tags[] = {
        {u"<tr style=\"vertical-align:bottom\">", u"<TR>"}, {u"<tr>", u"<TR>"}, {u"</tr>", u"</TR>"},
        {u"<td", u"<TD"}, {u"</td>", u"</TD>"}, {u"<br>", u"<BR>"}, {u"</table>", u"</TABLE>"}};
    for (const auto& [lower, upper] : tags)
        for (size_t at = html.find(lower); at != std::u16string::npos; at = html.find(lower, at + upper.size()))
            html.replace(at, lower.size(), upper);
    return html;
}

// The cells of Gridweave's table: the content of each TD element, its formatting tags dropped and
// its text read back.
WrittenCells readHtmlTable(const std::u16string& html) {
    WrittenCells rows;
    const size_t end = html.find(u"\r\n</TABLE>");
    if (end == std::u16string::npos) grid::fuzz::fail();
    for (size_t row = html.find(u"\r\n<TR>"); row < end; row = html.find(u"\r\n<TR>", row + 1)) {
        const size_t rowEnd = html.find(u"\r\n</TR>", row);
        rows.emplace_back();
        for (size_t cell = html.find(u"\r\n<TD", row); cell < rowEnd; cell = html.find(u"\r\n<TD", cell + 1)) {
            const size_t start = html.find(u'>', cell) + 1, stop = html.find(u"</TD>", cell);
            if (stop > rowEnd) grid::fuzz::fail();
            std::u16string content;
            for (size_t at = start; at < stop;) {
                if (html.compare(at, 4, u"<BR>") != 0 && html[at] == u'<') {
                    at = html.find(u'>', at) + 1;  // the writer's own tag
                    continue;
                }
                content.push_back(html[at++]);
            }
            rows.back().push_back(bytesOfUnits(grid::fuzz::unescapeHtmlText(content)));
        }
    }
    return rows;
}

// The cells of Gridquill's table written with a separator and the rewrites alone: one line a row,
// the cells between the separators, each rewrite read back.
WrittenCells readWikiTable(const std::string& markup) {
    WrittenCells rows;
    for (size_t line = 0; line < markup.size();) {
        const size_t end = markup.find("\r\n", line);
        if (end == std::string::npos || markup[line] != '|' || markup[end - 1] != '|') grid::fuzz::fail();
        rows.emplace_back();
        for (size_t cell = line + 1; cell < end; cell = markup.find('|', cell) + 1) {
            const size_t stop = markup.find('|', cell);
            std::string text;
            for (size_t at = cell; at < stop;) {
                bool rewritten = false;
                for (const auto& rewrite : kRewrites) {
                    const size_t length = std::strlen(rewrite[1]);
                    if (markup.compare(at, length, rewrite[1]) == 0) {
                        text += rewrite[0];
                        at += length;
                        rewritten = true;
                        break;
                    }
                }
                if (!rewritten) text.push_back(markup[at++]);
            }
            rows.back().push_back(text);
        }
        line = end + 2;
    }
    return rows;
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
    const std::vector<CellFacts> cells = decodeCells(input, int64_t(rows) * columns);
    const int coverMode = input.byte() % 3;
    // Values of the structure keys as a user may write them (empty: the fixed ones below).
    const std::string userValues[] = {input.text<char>(100), input.text<char>(100), input.text<char>(100),
                                      input.text<char>(100)};

    WrittenCells html, wiki;
    bool htmlWritten = false, wikiWritten = false;
    if (build<char16_t>(rows, columns, cells, areas, areaCount) && grid::normaliseGrid<char16_t>() == grid::kOk &&
        grid::WriteHtmlTable() == grid::kOk) {
        const grid::TextBuffer<char16_t>& out = grid::runBuffers<char16_t>().outputBuffer;
        const std::u16string markup(out.data, size_t(out.length));
        html = readHtmlTable(grid::flagIsOn(grid::settings<char16_t>().inline_style_yn) ? withUpperCaseTags(markup) : markup);
        htmlWritten = true;
    }
    grid::ReleaseCellGrid<char16_t>();
    if (build<char>(rows, columns, cells, areas, areaCount) && grid::normaliseGrid<char>() == grid::kOk) {
        everyTemplate(coverMode);
        grid::Settings<char>& quill = grid::settings<char>();
        grid::MarkupTemplate* const userKeys[] = {&quill.table_begin, &quill.cell_colspan, &quill.escape_code};
        for (int n = 0; n < 3; ++n)
            if (!userValues[n].empty()) setTemplate(*userKeys[n], userValues[n].c_str());
        if (!userValues[3].empty()) std::strcpy(quill.newline_code, userValues[3].c_str());
        if (grid::WriteWikiTable() == grid::kOk) {
            grid::ReleaseCellGrid<char>();
            // The same grid once more, for the markup that can be read back.
            if (build<char>(rows, columns, cells, areas, areaCount) && grid::normaliseGrid<char>() == grid::kOk) {
                separatorOnly(0);
                if (grid::WriteWikiTable() == grid::kOk) {
                    const grid::TextBuffer<char>& out = grid::runBuffers<char>().outputBuffer;
                    wiki = readWikiTable(std::string(out.data, size_t(out.length)));
                    wikiWritten = true;
                }
            }
        }
    }
    grid::ReleaseCellGrid<char>();
    // The inline style leaves out the rows in which no cell begins, which the others write empty.
    if (grid::flagIsOn(grid::settings<char16_t>().inline_style_yn))
        wiki.erase(std::remove_if(wiki.begin(), wiki.end(), [](const auto& row) { return row.empty(); }), wiki.end());
    if (htmlWritten != wikiWritten || html != wiki) grid::fuzz::fail();

    // With covered cells written, every row has a cell for every column: a cell outside any merged
    // area holds its own text, one inside an area its content or a marker.
    if (coverMode != 0 && build<char>(rows, columns, cells, areas, areaCount) &&
        grid::normaliseGrid<char>() == grid::kOk) {
        separatorOnly(coverMode);
        if (grid::WriteWikiTable() == grid::kOk) {
            const grid::TextBuffer<char>& out = grid::runBuffers<char>().outputBuffer;
            const WrittenCells written = readWikiTable(std::string(out.data, size_t(out.length)));
            if (written.size() != size_t(rows)) grid::fuzz::fail();
            for (int32_t row = 0; row < rows; ++row) {
                if (written[size_t(row)].size() != size_t(columns)) grid::fuzz::fail();
                for (int32_t column = 0; column < columns; ++column) {
                    const grid::CellRecord<char>& cell = grid::cellGrid<char>().at(column, row);
                    const std::string& text = written[size_t(row)][size_t(column)];
                    if (cell.mergePosition == grid::kNotMerged &&
                        text != cells[size_t(row) * size_t(columns) + size_t(column)].text)
                        grid::fuzz::fail();
                }
            }
        }
    }
    grid::ReleaseCellGrid<char>();
    return 0;
}
