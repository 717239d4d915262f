#include "html/InlineStyle.h"

#include "core/Allocation.h"
#include "core/CellGrid.h"
#include "core/Settings.h"
#include "html/HtmlOptions.h"
#include "html/HtmlText.h"

namespace grid {
namespace {

TextBuffer<char16_t>& output() { return runBuffers<char16_t>().outputBuffer; }

[[nodiscard]] StatusCode append(const char16_t* text) { return AppendText(output(), text); }

// The declarations of one style attribute, built apart so that an element without any gets no
// attribute. The longest (four different sides, every kind of formatting) holds some 300
// characters.
class Declarations {
public:
    void add(const char16_t* property, const char16_t* value) {
        if (length_ > 0) put(u";");
        put(property);
        put(u":");
        put(value);
    }
    void addColour(const char16_t* property, int32_t colour) {
        char16_t code[8];
        FormatColourCode(colour, code);
        add(property, code);
    }
    void addNumber(const char16_t* property, const char16_t* format, int32_t value) {
        char16_t text[32];
        BoundedSprintf<char16_t>(text, 32, format, {value});
        add(property, text);
    }
    bool empty() const { return length_ == 0; }
    const char16_t* text() const { return text_; }

private:
    void put(const char16_t* piece) {
        for (; *piece != 0 && length_ + 1 < kCapacity; ++piece) text_[length_++] = *piece;
        text_[length_] = 0;
    }
    static constexpr size_t kCapacity = 512;
    char16_t text_[kCapacity] = {};
    size_t length_ = 0;
};

[[nodiscard]] StatusCode writeStyleAttribute(const Declarations& declarations) {
    if (declarations.empty()) return kOk;
    APPEND(append(u" style=\""));
    APPEND(append(declarations.text()));
    return append(u"\"");
}

// What the table declares for every cell: the first cell's text colour and size (inherited by
// every cell) and background (seen through every cell that has none of its own). A cell
// declares only what differs.
struct TableDefaults {
    int32_t charColor, charHeight, backColor;
};

bool equalsIgnoringCase(const char16_t* text, const char16_t* lower) {
    for (; *text != 0 && *lower != 0; ++text, ++lower) {
        const char16_t c = *text >= u'A' && *text <= u'Z' ? char16_t(*text - u'A' + u'a') : *text;
        if (c != *lower) return false;
    }
    return *text == 0 && *lower == 0;
}

// table_posh as CSS: a centred or right-aligned table by its margins; "left" and any other value
// leave the table where the page puts it.
void addTablePosition(Declarations& table, const char16_t* position) {
    if (equalsIgnoringCase(position, u"center")) {
        table.add(u"margin-left", u"auto");
        table.add(u"margin-right", u"auto");
    } else if (equalsIgnoringCase(position, u"right")) {
        table.add(u"margin-left", u"auto");
    }
}

// One side's line: its width (thin 1px, thick 2px; 1px when widths are off) and its colour
// (left to the text colour when colours are off).
void lineValue(const HtmlFlags& o, int32_t kind, int32_t colour, char16_t (&value)[40]) {
    char16_t code[8];
    FormatColourCode(colour, code);
    BoundedSprintf<char16_t>(value, 40, o.lineColour ? u"%dpx solid %s" : u"%dpx solid",
                             {o.lineWidth ? kind : int32_t(kThinLine), static_cast<const char16_t*>(code)});
}

// The four sides of what a cell element shows: a merged area's outline lies in its edge cells
// (its right line in the last column, its bottom line in the last row).
struct Outline {
    int32_t kind[4];
    int32_t colour[4];
};

void addLines(Declarations& style, const HtmlFlags& o, const Outline& cell) {
    if (!o.lineWidth && !o.lineColour) return;  // a line shows when either line flag is on
    bool allSame = true;
    for (int side = kRight; side <= kBottom; ++side)
        allSame = allSame && cell.kind[side] == cell.kind[kLeft] &&
                  (!o.lineColour || cell.colour[side] == cell.colour[kLeft]);
    char16_t value[40];
    if (allSame) {
        if (cell.kind[kLeft] == kNoLine) return;
        lineValue(o, cell.kind[kLeft], cell.colour[kLeft], value);
        style.add(u"border", value);
        return;
    }
    static constexpr const char16_t* kSideProperty[4] = {u"border-left", u"border-right", u"border-top",
                                                         u"border-bottom"};
    for (int side = kLeft; side <= kBottom; ++side) {
        if (cell.kind[side] == kNoLine) continue;
        lineValue(o, cell.kind[side], cell.colour[side], value);
        style.add(kSideProperty[side], value);
    }
}

const char16_t* textAlign(int32_t horiJustify) {
    switch (horiJustify) {
        case kHoriCenter: return u"center";
        case kHoriRight: return u"right";
        case kHoriBlock: return u"justify";
        default: return nullptr;  // left, as the table's cells start
    }
}

const char16_t* cellVerticalAlign(int32_t vertJustify) {
    switch (vertJustify) {
        case kVertTop: return u"top";
        case kVertCenter: return u"middle";
        default: return nullptr;  // bottom, as the row declares: Calc's standard
    }
}

Declarations cellStyle(const HtmlFlags& o, const TableDefaults& table, const CellRecord<char16_t>& cell,
                       const Outline& outline) {
    Declarations style;
    if (o.background && cell.backColor != table.backColor) style.addColour(u"background", cell.backColor);
    if (o.fontColour && cell.charColor != table.charColor) style.addColour(u"color", cell.charColor);
    // A size below 1 point (a grid no capture gives) is no size CSS takes: it is left out.
    if (o.fontSize && cell.charHeight > 0 && cell.charHeight != table.charHeight)
        style.addNumber(u"font-size", u"%dpt", cell.charHeight);
    if (o.bold && cell.bold != 0) style.add(u"font-weight", u"bold");
    if (o.italic && cell.italic != 0) style.add(u"font-style", u"italic");
    const bool underline = o.underline && cell.underline != 0, strike = o.strike && cell.strikeout != 0;
    if (underline || strike)
        style.add(u"text-decoration", underline && strike ? u"underline line-through" : underline ? u"underline" : u"line-through");
    if (o.alignH) {
        if (const char16_t* align = textAlign(cell.horiJustify)) style.add(u"text-align", align);
    }
    if (o.alignV) {
        if (const char16_t* align = cellVerticalAlign(cell.vertJustify)) style.add(u"vertical-align", align);
    }
    addLines(style, o, outline);
    return style;
}

// The escaped text as the other styles write it, with lower-case line breaks.
[[nodiscard]] StatusCode writeText(const CellRecord<char16_t>& cell) {
    if (cell.text.capacity <= 0 || !cell.text.data) return kOk;
    TextBuffer<char16_t>& escaped = runBuffers<char16_t>().workBuffer;
    APPEND(EscapeHtmlText(escaped, cell.text.data));
    // The text's own "<" is escaped, so every "<BR>" left is a line break.
    for (int32_t i = 0; i + 3 < escaped.length; ++i)
        if (escaped.data[i] == u'<' && escaped.data[i + 1] == u'B' && escaped.data[i + 2] == u'R' &&
            escaped.data[i + 3] == u'>')
            escaped.data[i + 1] = u'b', escaped.data[i + 2] = u'r';
    return AppendText(output(), escaped.data, escaped.length);
}

// HTML's table model wants a cell to begin in every row and every column. Where merged areas
// cover a whole row or column of the sheet, that row is left out and the spans across it or that
// column count one less; the table looks the same. Counted once per table: how many rows and
// columns before each one have a cell beginning in them.
class LiveLines {
public:
    ~LiveLines() { releaseArray(before_); }
    [[nodiscard]] StatusCode count(const CellGrid<char16_t>& grid) {
        rows_ = grid.rows;
        AllocationFailure failure = AllocationFailure::none;
        before_ = static_cast<int32_t*>(allocateArray(size_t(grid.rows) + size_t(grid.columns) + 2, sizeof(int32_t), failure));
        if (!before_) return kNoMemory;
        int32_t* rowsBefore = before_;
        int32_t* columnsBefore = before_ + grid.rows + 1;
        rowsBefore[0] = columnsBefore[0] = 0;
        for (int32_t row = 0; row < grid.rows; ++row) {
            bool begins = false;
            for (int32_t column = 0; column < grid.columns && !begins; ++column)
                begins = !isCoveredByAnchor(grid.at(column, row));
            rowsBefore[row + 1] = rowsBefore[row] + (begins ? 1 : 0);
        }
        for (int32_t column = 0; column < grid.columns; ++column) {
            bool begins = false;
            for (int32_t row = 0; row < grid.rows && !begins; ++row) begins = !isCoveredByAnchor(grid.at(column, row));
            columnsBefore[column + 1] = columnsBefore[column] + (begins ? 1 : 0);
        }
        columns_ = grid.columns;
        return kOk;
    }
    bool rowLives(int32_t row) const { return before_[row + 1] > before_[row]; }
    int32_t rowSpan(int32_t row, int32_t span) const { return within(before_, rows_, row, span); }
    int32_t columnSpan(int32_t column, int32_t span) const {
        return within(before_ + rows_ + 1, columns_, column, span);
    }

private:
    // A span below 1 (an area whose rectangle a faulty capture left backwards) counts nothing.
    static int32_t within(const int32_t* before, int32_t lines, int32_t first, int32_t span) {
        const int32_t last = span < 1 ? first : int64_t(first) + span < lines ? first + span : lines;
        return before[last] - before[first];
    }
    int32_t* before_ = nullptr;
    int32_t rows_ = 0, columns_ = 0;
};

Outline outlineOf(const CellRecord<char16_t>& cell, int32_t column, int32_t row) {
    Outline outline{};
    for (int side = kLeft; side <= kBottom; ++side) outline.kind[side] = cell.border[side], outline.colour[side] = cell.borderColor[side];
    if (cell.mergePosition != kMergeAnchor) return outline;
    // The area's last column and row, inside the grid (and never before the cell, for an area
    // that a faulty capture left backwards).
    const CellGrid<char16_t>& grid = cellGrid<char16_t>();
    auto lastOf = [](int32_t first, int32_t span, int32_t lines) {
        const int64_t last = int64_t(first) + (span > 1 ? span : 1) - 1;
        return last < lines ? int32_t(last) : lines - 1;
    };
    const int32_t lastColumn = lastOf(column, cell.columnSpan, grid.columns);
    const int32_t lastRow = lastOf(row, cell.rowSpan, grid.rows);
    const CellRecord<char16_t>& right = grid.at(lastColumn, row);
    const CellRecord<char16_t>& bottom = grid.at(column, lastRow);
    outline.kind[kRight] = right.border[kRight], outline.colour[kRight] = right.borderColor[kRight];
    outline.kind[kBottom] = bottom.border[kBottom], outline.colour[kBottom] = bottom.borderColor[kBottom];
    return outline;
}

[[nodiscard]] StatusCode writeCell(const HtmlFlags& o, const TableDefaults& table, const LiveLines& lines,
                                   const CellRecord<char16_t>& cell, int32_t column, int32_t row) {
    APPEND(append(u"\r\n<td"));
    char16_t span[32];
    const bool anchor = cell.mergePosition == kMergeAnchor;
    const int32_t columnSpan = anchor ? lines.columnSpan(column, cell.columnSpan) : 1;
    const int32_t rowSpan = anchor ? lines.rowSpan(row, cell.rowSpan) : 1;
    if (columnSpan >= 2) {
        BoundedSprintf<char16_t>(span, 32, u" colspan=\"%d\"", {columnSpan});
        APPEND(append(span));
    }
    if (rowSpan >= 2) {
        BoundedSprintf<char16_t>(span, 32, u" rowspan=\"%d\"", {rowSpan});
        APPEND(append(span));
    }
    APPEND(writeStyleAttribute(cellStyle(o, table, cell, outlineOf(cell, column, row))));
    APPEND(append(u">"));
    APPEND(writeText(cell));
    return append(u"</td>");
}

}  // namespace

StatusCode WriteInlineStyleTable() {
    CellGrid<char16_t>& grid = cellGrid<char16_t>();
    const Settings<char16_t>& s = settings<char16_t>();
    const HtmlFlags o = currentHtmlFlags();
    const CellRecord<char16_t>& first = grid.at(0, 0);
    const TableDefaults defaults{first.charColor, first.charHeight, first.backColor};
    LiveLines lines;
    if (lines.count(grid) != kOk) return kNoMemory;

    Declarations table;
    table.add(u"border-collapse", u"collapse");
    table.add(u"white-space", u"nowrap");
    addTablePosition(table, s.table_posh);
    if (o.background) table.addColour(u"background", defaults.backColor);
    if (o.fontColour) table.addColour(u"color", defaults.charColor);
    if (o.fontSize && defaults.charHeight > 0) table.addNumber(u"font-size", u"%dpt", defaults.charHeight);
    APPEND(append(u"<table"));
    APPEND(writeStyleAttribute(table));
    APPEND(append(u">"));

    // Rows declare Calc's standard vertical alignment, bottom, which the cells inherit.
    const char16_t* rowStart = o.alignV ? u"\r\n<tr style=\"vertical-align:bottom\">" : u"\r\n<tr>";
    for (int32_t row = 0; row < grid.rows; ++row) {
        if (!lines.rowLives(row)) continue;
        APPEND(append(rowStart));
        for (int32_t column = 0; column < grid.columns; ++column) {
            const CellRecord<char16_t>& cell = grid.at(column, row);
            if (isCoveredByAnchor(cell)) continue;  // covered by an area written at its anchor
            APPEND(writeCell(o, defaults, lines, cell, column, row));
        }
        APPEND(append(u"\r\n</tr>"));
        if (row == 0 && grid.rows > 1) ReserveForRows(output(), output().length, grid.rows);
    }
    return append(u"\r\n</table>");
}

}  // namespace grid
