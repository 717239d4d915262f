#include "html/HtmlWriter.h"

#include "core/CellGrid.h"
#include "core/Settings.h"
#include "html/HtmlOptions.h"
#include "html/HtmlText.h"
#include "html/InlineStyle.h"
#include "html/StyleClasses.h"

namespace grid {
namespace {

constexpr int32_t kBufferCapacity = 10000;

TextBuffer<char16_t>& output() { return runBuffers<char16_t>().outputBuffer; }

[[nodiscard]] StatusCode append(const char16_t* text) { return AppendText(output(), text); }

[[nodiscard]] StatusCode appendFormatted(const char16_t* format, int32_t value) {
    char16_t piece[64];
    BoundedSprintf<char16_t>(piece, 64, format, {value});
    return append(piece);
}

[[nodiscard]] StatusCode appendColour(int32_t colour) {
    char16_t code[8];
    FormatColourCode(colour, code);
    return append(code);
}

const char16_t* paragraphStart(int32_t horiJustify) {
    switch (horiJustify) {
        case kHoriLeft: return u"<P ALIGN=\"LEFT\"";
        case kHoriCenter: return u"<P ALIGN=\"CENTER\"";
        case kHoriRight: return u"<P ALIGN=\"RIGHT\"";
        default: return nullptr;
    }
}

const char16_t* verticalAlignment(int32_t vertJustify) {
    switch (vertJustify) {
        case kVertTop: return u" VALIGN=\"TOP\"";
        case kVertBottom: return u" VALIGN=\"BOTTOM\"";
        default: return nullptr;
    }
}

[[nodiscard]] StatusCode writeCell(const HtmlFlags& o, const CellRecord<char16_t>& cell) {
    const StyleClassState& classes = styleClasses();
    APPEND(append(u"\r\n<TD"));
    if (cell.mergePosition == kMergeAnchor && cell.columnSpan >= 2) APPEND(appendFormatted(u" COLSPAN=%d", cell.columnSpan));
    if (cell.mergePosition == kMergeAnchor && cell.rowSpan >= 2) APPEND(appendFormatted(u" ROWSPAN=%d", cell.rowSpan));
    APPEND(append(u" NOWRAP"));
    if (o.alignV) {
        if (const char16_t* valign = verticalAlignment(cell.vertJustify)) APPEND(append(valign));
    }
    if (o.background) {
        if (o.html5) {
            APPEND(appendFormatted(u" class=\"gweaveC%d\"", classes.cellClass));
        } else {
            APPEND(append(u" BGCOLOR="));
            APPEND(appendColour(cell.backColor));
        }
    }
    APPEND(append(u">"));

    const bool sized = o.fontSize && cell.charHeight != 0;
    const bool span = o.fontColour || sized;
    if (span) {
        APPEND(append(u"<SPAN STYLE=\""));
        if (sized) APPEND(appendFormatted(u"FONT-SIZE:%dpt", cell.charHeight));
        APPEND(append(u";"));
        if (o.fontColour) {
            APPEND(append(u"COLOR:"));
            APPEND(appendColour(cell.charColor));
        }
        APPEND(append(u"\">"));
    }

    bool paragraph = false;
    if (o.alignH) {
        if (const char16_t* start = paragraphStart(cell.horiJustify)) {
            APPEND(append(start));
            paragraph = true;
        }
    }
    if (classes.fontClass != -1) {
        if (!paragraph) APPEND(append(u"<P"));
        APPEND(appendFormatted(u" class=\"gweaveF%d\"", classes.fontClass));
        paragraph = true;
    }
    if (paragraph) APPEND(append(u">"));

    const bool bold = o.bold && cell.bold != 0;
    const bool underline = o.underline && cell.underline != 0 && !o.html5;
    const bool italic = o.italic && cell.italic != 0;
    const bool strike = o.strike && cell.strikeout != 0;
    if (bold) APPEND(append(u"<B>"));
    if (underline) APPEND(append(u"<U>"));
    if (italic) APPEND(append(u"<I>"));
    if (strike) APPEND(append(u"<S>"));
    if (cell.text.capacity > 0 && cell.text.data) {
        TextBuffer<char16_t>& escaped = runBuffers<char16_t>().workBuffer;
        APPEND(EscapeHtmlText(escaped, cell.text.data));
        APPEND(AppendText(output(), escaped.data, escaped.length));
    }
    if (strike) APPEND(append(u"</S>"));
    if (italic) APPEND(append(u"</I>"));
    if (underline) APPEND(append(u"</U>"));
    if (bold) APPEND(append(u"</B>"));
    if (paragraph) APPEND(append(u"</P>"));
    if (span) APPEND(append(u"</SPAN>"));
    return append(u"</TD>");
}

}  // namespace

StatusCode WriteHtmlTable() {
    CellGrid<char16_t>& grid = cellGrid<char16_t>();
    const Settings<char16_t>& s = settings<char16_t>();
    computeSpans<char16_t>();
    if (InitWriterBuffers<char16_t>(kBufferCapacity) != kOk) return kNoMemory;
    if (flagIsOn(s.inline_style_yn)) return WriteInlineStyleTable();

    const HtmlFlags o = currentHtmlFlags();
    const CellRecord<char16_t>& first = grid.at(0, 0);
    if (s.table_posh[0] != 0) {
        APPEND(append(u"<"));
        APPEND(append(s.table_posh));
        APPEND(append(u">"));
    }
    APPEND(append(u"<TABLE"));
    if (o.html5) {
        if (o.lineWidth || o.lineColour) APPEND(append(u" CLASS=\"gweaveT\""));
    } else {
        if (o.lineWidth) {
            APPEND(appendFormatted(u" BORDER CELLSPACING=%d", first.border[kTop]));
        } else {
            APPEND(append(u" BORDER"));
        }
        if (o.lineColour) {
            APPEND(append(u" BORDERCOLOR="));
            APPEND(appendColour(first.borderColor[kTop]));
        }
    }
    APPEND(append(u">"));

    if (AllocateClassTables() != kOk) return kNoMemory;
    for (int32_t row = 0; row < grid.rows; ++row) {
        APPEND(append(u"\r\n<TR>"));
        for (int32_t column = 0; column < grid.columns; ++column) {
            CollectCellClasses(row, column);
            const CellRecord<char16_t>& cell = grid.at(column, row);
            if (isCoveredByAnchor(cell)) continue;  // covered by an area written at its anchor
            APPEND(writeCell(o, cell));
        }
        APPEND(append(u"\r\n</TR>"));
        if (row == 0 && grid.rows > 1) {
            // The first row tells how long the table and its style rules will be: room for it all
            // at once spares the copies of growing step by step. Room that is never written costs
            // no memory, and without the room the buffer grows as usual.
            ReserveForRows(output(), output().length + (styleClasses().cellClassLast + 2) * int64_t(96), grid.rows);
        }
    }
    APPEND(append(u"\r\n</TABLE>"));
    return o.html5 ? WriteStyleBlock() : kOk;
}

}  // namespace grid
