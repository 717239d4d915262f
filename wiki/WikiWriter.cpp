#include "wiki/WikiWriter.h"

#include <cstring>

#include "core/CellGrid.h"
#include "core/Settings.h"
#include "wiki/MarkupTemplate.h"
#include "wiki/TextSubstitution.h"
#include "wiki/WholeCharacters.h"

namespace grid {
namespace {

constexpr int32_t kBufferCapacity = 10000;

TextBuffer<char>& output() { return runBuffers<char>().outputBuffer; }

[[nodiscard]] StatusCode open(const MarkupTemplate& markup) { return AppendTemplatePart(markup, output(), kOpeningPart); }
[[nodiscard]] StatusCode close(const MarkupTemplate& markup) { return AppendTemplatePart(markup, output(), kClosingPart); }
[[nodiscard]] StatusCode open(const MarkupTemplate& markup, TemplateValue kind, int32_t value) {
    return AppendFormattedPart(markup, kind, value, output(), kOpeningPart);
}
[[nodiscard]] StatusCode close(const MarkupTemplate& markup, TemplateValue kind, int32_t value) {
    return AppendFormattedPart(markup, kind, value, output(), kClosingPart);
}
[[nodiscard]] StatusCode lineEnd() { return AppendText(output(), "\r\n"); }

// Which of the structure keys the file sets, from their values as read: a value that is only the
// control character counts as set, with both its parts empty (a row frame that writes nothing).
struct Structure {
    bool tableBegin, tableEnd, rowLine, rowFrame, headFrame, headSep, headRow, ruleLine, spans;
    bool coverCells, contentLast, cellBreak;
};

Structure readStructure(const Settings<char>& s) {
    auto set = [](const MarkupTemplate& markup) { return markup.text[0] != 0; };
    Structure structure{};
    structure.tableBegin = set(s.table_begin);
    structure.tableEnd = set(s.table_end);
    structure.rowLine = set(s.row_line);
    structure.rowFrame = set(s.row_frame);
    structure.headFrame = set(s.head_frame);
    structure.headSep = set(s.head_sep);
    structure.headRow = structure.headFrame || structure.headSep || set(s.head_cell);
    structure.ruleLine = set(s.rule_poshl) || set(s.rule_poshc) || set(s.rule_poshr);
    structure.spans = set(s.cell_span) || set(s.cell_colspan) || set(s.cell_rowspan);
    structure.contentLast = std::strcmp(s.cover_cells, "last") == 0;
    structure.coverCells = structure.contentLast || std::strcmp(s.cover_cells, "first") == 0;
    structure.cellBreak = set(s.cell_break);
    return structure;
}

void parseAll(Settings<char>& s) {
    MarkupTemplate* templates[] = {
        &s.line_color, &s.line_width, &s.back_color, &s.font_color, &s.font_size, &s.font_bold,
        &s.font_underline, &s.font_italic, &s.font_strikethrough, &s.cell_poshr, &s.cell_poshc, &s.cell_poshl,
        &s.cell_posvt, &s.cell_posvc, &s.cell_posvb, &s.cell_sep, &s.cell_mrgh, &s.cell_mrgv,
        &s.table_begin, &s.table_end, &s.row_line, &s.row_frame, &s.head_frame, &s.head_sep, &s.head_cell,
        &s.rule_poshl, &s.rule_poshc, &s.rule_poshr, &s.cell_span, &s.cell_colspan, &s.cell_rowspan,
        &s.cover_row, &s.cover_column, &s.cover_other, &s.cell_break, &s.escape_code,
    };
    for (MarkupTemplate* markup : templates) ParseTemplate(*markup, s.cntl_char);
    for (int32_t n = 0; n < s.substitutionCount && n < 5; ++n) {
        ParseTemplate(s.substitutions[n].pattern, s.cntl_char);
        ParseTemplate(s.substitutions[n].replacement, s.cntl_char);
        ParseTemplate(s.substitutions[n].mode, s.cntl_char);
    }
}

// Text of the structure keys: every newline_code in it is written as a line end.
[[nodiscard]] StatusCode appendWithLineEnds(const char* text) {
    const char* code = settings<char>().newline_code;
    const size_t codeLength = std::strlen(code);
    if (codeLength == 0) return AppendText(output(), text);
    const char* run = text;
    for (const char* p = text; *p != 0;) {
        if (matchesWholeCharacters(p, code, codeLength)) {
            APPEND(AppendText(output(), run, static_cast<int32_t>(p - run)));
            APPEND(lineEnd());
            p += codeLength;
            run = p;
        } else {
            p += characterLength(p);
        }
    }
    return AppendText(output(), run);
}

// A part of a structure key, formatted with an integer value where it has the conversion for one.
[[nodiscard]] StatusCode writePart(const MarkupTemplate& markup, TemplatePart part, int32_t value = 0) {
    if ((part == kOpeningPart ? markup.hasOpening : markup.hasClosing) == 0) return kOk;
    char formatted[kFormattedPartSize];
    return appendWithLineEnds(FormattedPartText(markup, kIntegerValue, value, part, formatted));
}

// A line of its own: the key's opening part and a line end, when the key is set.
[[nodiscard]] StatusCode writeLine(bool set, const MarkupTemplate& markup, int32_t value = 0) {
    if (!set) return kOk;
    APPEND(writePart(markup, kOpeningPart, value));
    return lineEnd();
}

// The rewritten text of a cell, each of its line breaks (CR LF, LF or CR) written as cell_break.
[[nodiscard]] StatusCode writeCellText(const TextBuffer<char>& rewritten, bool breaks) {
    if (!breaks) return AppendText(output(), rewritten.data, rewritten.length);
    const char* end = rewritten.data + rewritten.length;
    const char* run = rewritten.data;
    for (const char* p = run; p < end; ++p) {
        if (*p != '\r' && *p != '\n') continue;
        APPEND(AppendText(output(), run, static_cast<int32_t>(p - run)));
        APPEND(writePart(settings<char>().cell_break, kOpeningPart));
        if (*p == '\r' && p + 1 < end && p[1] == '\n') ++p;
        run = p + 1;
    }
    return AppendText(output(), run, static_cast<int32_t>(end - run));
}

// The separators of one row: the header row's where the settings give it its own.
struct RowMarks {
    const MarkupTemplate* frame;  // null: cell_sep before every cell and at the row's end
    const MarkupTemplate* separator;
    bool newKeySeparator;  // head_sep, whose text may hold line ends
};

RowMarks rowMarks(const Settings<char>& s, const Structure& structure, bool headRow) {
    RowMarks marks{nullptr, &s.cell_sep, false};
    if (headRow && structure.headFrame) marks.frame = &s.head_frame;
    else if (structure.rowFrame) marks.frame = &s.row_frame;
    if (headRow && structure.headSep) marks.separator = &s.head_sep, marks.newKeySeparator = true;
    return marks;
}

[[nodiscard]] StatusCode writeSeparator(const RowMarks& marks) {
    return marks.newKeySeparator ? appendWithLineEnds(marks.separator->text)
                                 : AppendText(output(), marks.separator->text);
}

// Before a cell: the separator, but not before a framed row's first cell, which the frame opens.
[[nodiscard]] StatusCode startCell(const RowMarks& marks, bool firstInRow) {
    if (firstInRow && marks.frame) return kOk;
    return writeSeparator(marks);
}

[[nodiscard]] StatusCode startRow(const RowMarks& marks) {
    return marks.frame ? writePart(*marks.frame, kOpeningPart) : kOk;
}

[[nodiscard]] StatusCode endRow(const RowMarks& marks) {
    APPEND(marks.frame ? writePart(*marks.frame, kClosingPart) : writeSeparator(marks));
    return lineEnd();
}

[[nodiscard]] StatusCode writeSpans(const Settings<char>& s, const CellRecord<char>& cell) {
    if (cell.columnSpan <= 1 && cell.rowSpan <= 1) return kOk;
    APPEND(writePart(s.cell_span, kOpeningPart));
    if (cell.columnSpan > 1) APPEND(writePart(s.cell_colspan, kOpeningPart, cell.columnSpan));
    if (cell.rowSpan > 1) APPEND(writePart(s.cell_rowspan, kOpeningPart, cell.rowSpan));
    return writePart(s.cell_span, kClosingPart);
}

// One cell's templates and text, after its separator.
[[nodiscard]] StatusCode writeCell(const Settings<char>& s, const Structure& structure, const CellRecord<char>& cell,
                                   bool headRow) {
    const bool anchor = cell.mergePosition == kMergeAnchor;
    if (headRow) APPEND(writePart(s.head_cell, kOpeningPart));
    if (anchor && structure.spans) APPEND(writeSpans(s, cell));
    if (anchor) {
        for (int32_t i = 0; i < cell.rowSpan; ++i) APPEND(open(s.cell_mrgv));
        for (int32_t i = 0; i < cell.columnSpan; ++i) APPEND(open(s.cell_mrgh));
    }
    APPEND(open(cell.vertJustify == kVertTop ? s.cell_posvt : cell.vertJustify == kVertCenter ? s.cell_posvc : s.cell_posvb));
    APPEND(open(s.back_color, kColourValue, cell.backColor));
    APPEND(open(s.font_color, kColourValue, cell.charColor));
    APPEND(open(s.font_size, kIntegerValue, cell.charHeight));
    APPEND(open(cell.horiJustify == kHoriRight ? s.cell_poshr : cell.horiJustify == kHoriCenter ? s.cell_poshc : s.cell_poshl));
    if (cell.bold) APPEND(open(s.font_bold));
    if (cell.underline != 0) APPEND(open(s.font_underline));
    if (cell.italic) APPEND(open(s.font_italic));
    if (cell.strikeout != 0) APPEND(open(s.font_strikethrough));
    if (cell.text.capacity > 0 && cell.text.data) {
        TextBuffer<char>& rewritten = runBuffers<char>().workBuffer;
        APPEND(RewriteCellText(rewritten, cell.text.data));
        APPEND(writeCellText(rewritten, structure.cellBreak));
    }
    if (cell.strikeout != 0) APPEND(close(s.font_strikethrough));
    if (cell.italic) APPEND(close(s.font_italic));
    if (cell.underline != 0) APPEND(close(s.font_underline));
    if (cell.bold) APPEND(close(s.font_bold));
    // For the values without a template of their own, opening and closing differ: left opens,
    // right closes; bottom opens, top closes.
    APPEND(close(cell.horiJustify == kHoriLeft ? s.cell_poshl : cell.horiJustify == kHoriCenter ? s.cell_poshc : s.cell_poshr));
    APPEND(close(s.font_size, kIntegerValue, cell.charHeight));
    APPEND(close(s.font_color, kColourValue, cell.charColor));
    APPEND(close(s.back_color, kColourValue, cell.backColor));
    APPEND(close(cell.vertJustify == kVertBottom ? s.cell_posvb : cell.vertJustify == kVertCenter ? s.cell_posvc : s.cell_posvt));
    if (anchor) {
        for (int32_t i = 0; i < cell.columnSpan; ++i) APPEND(close(s.cell_mrgh));
        for (int32_t i = 0; i < cell.rowSpan; ++i) APPEND(close(s.cell_mrgv));
    }
    if (headRow) APPEND(writePart(s.head_cell, kClosingPart));
    return kOk;
}

// Covered cells are told apart by their mergePosition code: the column part (first 1, between 2,
// last 3), plus 3 in the area's rows between and 6 in its last row.
bool inAreasFirstRow(int32_t code) { return code <= 3; }
bool inAreasFirstColumn(int32_t code) { return code == 1 || code == 4 || code == 7; }
bool rightOfFirstColumn(int32_t code) { return !inAreasFirstColumn(code); }

// Whether the cell right of (column, row) lies in the same merged area: a cell of an area that is
// not in its first column has its area's cells on its left, so the areas cannot differ.
bool areaGoesOnRight(const CellGrid<char>& grid, int32_t column, int32_t row) {
    if (column + 1 >= grid.columns) return false;
    const int32_t code = grid.at(column + 1, row).mergePosition;
    return code > kNotMerged && rightOfFirstColumn(code);
}

// What a merged area's cell at (column, row) writes when covered cells are written: the area's
// content (from its anchor), or one of the three markers.
struct CoveredPlace {
    const CellRecord<char>* content;  // the anchor, where this place carries the content
    const MarkupTemplate* marker;
};

CoveredPlace coveredPlace(const Settings<char>& s, const Structure& structure, const CellGrid<char>& grid,
                          int32_t column, int32_t row) {
    const int32_t code = grid.at(column, row).mergePosition;
    const bool contentColumn = structure.contentLast ? !areaGoesOnRight(grid, column, row) : inAreasFirstColumn(code);
    if (!inAreasFirstRow(code)) return {nullptr, contentColumn ? &s.cover_column : &s.cover_other};
    if (!contentColumn) return {nullptr, &s.cover_row};
    // The content's place in the area's first row: its anchor lies on the left.
    int32_t anchorColumn = column;
    while (anchorColumn > 0 && rightOfFirstColumn(grid.at(anchorColumn, row).mergePosition)) --anchorColumn;
    const CellRecord<char>& anchor = grid.at(anchorColumn, row);
    if (anchor.mergePosition != kMergeAnchor) return {nullptr, &s.cover_row};  // areas that overlap
    return {&anchor, nullptr};
}

// The rule line's template for a column: the alignment that most of the column's written cells
// below the first row have (the first row's in a table of one row); ties go to left, then centre.
const MarkupTemplate& ruleFor(const Settings<char>& s, const CellGrid<char>& grid, int32_t column) {
    int32_t left = 0, centre = 0, right = 0;
    for (int32_t row = grid.rows > 1 ? 1 : 0; row < grid.rows; ++row) {
        const CellRecord<char>& cell = grid.at(column, row);
        if (isCoveredByAnchor(cell)) continue;
        (cell.horiJustify == kHoriRight ? right : cell.horiJustify == kHoriCenter ? centre : left) += 1;
    }
    if (right > left && right > centre) return s.rule_poshr;
    if (centre > left) return s.rule_poshc;
    return s.rule_poshl;
}

[[nodiscard]] StatusCode writeRuleLine(const Settings<char>& s, const Structure& structure, const CellGrid<char>& grid) {
    const RowMarks marks = rowMarks(s, structure, false);
    APPEND(startRow(marks));
    for (int32_t column = 0; column < grid.columns; ++column) {
        APPEND(startCell(marks, column == 0));
        APPEND(writePart(ruleFor(s, grid, column), kOpeningPart));
    }
    return endRow(marks);
}

[[nodiscard]] StatusCode writeRow(const Settings<char>& s, const Structure& structure, const CellGrid<char>& grid,
                                  int32_t row) {
    const bool headRow = row == 0 && structure.headRow;
    const RowMarks marks = rowMarks(s, structure, headRow);
    APPEND(startRow(marks));
    bool firstInRow = true;
    for (int32_t column = 0; column < grid.columns; ++column) {
        const CellRecord<char>& cell = grid.at(column, row);
        const bool merged = cell.mergePosition != kNotMerged;
        if (!structure.coverCells || !merged) {
            if (isCoveredByAnchor(cell)) continue;  // covered: written at its anchor
            APPEND(startCell(marks, firstInRow));
            APPEND(writeCell(s, structure, cell, headRow));
        } else {
            const CoveredPlace place = coveredPlace(s, structure, grid, column, row);
            APPEND(startCell(marks, firstInRow));
            APPEND(place.content ? writeCell(s, structure, *place.content, headRow)
                                 : writePart(*place.marker, kOpeningPart));
        }
        firstInRow = false;
    }
    return endRow(marks);
}

}  // namespace

StatusCode WriteWikiTable() {
    Settings<char>& s = settings<char>();
    CellGrid<char>& grid = cellGrid<char>();
    loadLeadBytes();
    const Structure structure = readStructure(s);
    parseAll(s);
    computeSpans<char>();
    if (InitWriterBuffers<char>(kBufferCapacity) != kOk) return kNoMemory;

    // The frame reads the first cell; a grid always has one (the cell array has at least one record).
    const CellRecord<char>& first = grid.at(0, 0);
    APPEND(open(s.line_color, kColourValue, first.borderColor[kTop]));
    if (first.border[kTop] != 0) APPEND(open(s.line_width, kIntegerValue, first.border[kTop]));
    APPEND(writeLine(structure.tableBegin, s.table_begin, grid.columns));
    for (int32_t row = 0; row < grid.rows; ++row) {
        if (row > 0) APPEND(writeLine(structure.rowLine, s.row_line));
        APPEND(writeRow(s, structure, grid, row));
        if (row == 0 && structure.ruleLine) APPEND(writeRuleLine(s, structure, grid));
        if (row == 0 && grid.rows > 1) {
            // The first row tells how long the table will be: room for it all at once spares the
            // copies of growing step by step. Room never written costs no memory, and without the
            // room the buffer grows as usual.
            ReserveForRows(output(), output().length, grid.rows);
        }
    }
    APPEND(writeLine(structure.tableEnd, s.table_end, grid.columns));
    if (first.border[kTop] != 0) APPEND(close(s.line_width, kIntegerValue, first.border[kTop]));
    APPEND(close(s.line_color, kColourValue, first.borderColor[kTop]));
    return kOk;
}

}  // namespace grid
