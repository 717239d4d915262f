#include "wiki/WikiWriter.h"

#include "core/CellGrid.h"
#include "core/Settings.h"
#include "wiki/MarkupTemplate.h"
#include "wiki/TextSubstitution.h"

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

void parseAll(Settings<char>& s) {
    MarkupTemplate* templates[] = {
        &s.line_color, &s.line_width, &s.back_color, &s.font_color, &s.font_size, &s.font_bold,
        &s.font_underline, &s.font_italic, &s.font_strikethrough, &s.cell_poshr, &s.cell_poshc, &s.cell_poshl,
        &s.cell_posvt, &s.cell_posvc, &s.cell_posvb, &s.cell_sep, &s.cell_mrgh, &s.cell_mrgv,
    };
    for (MarkupTemplate* markup : templates) ParseTemplate(*markup, s.cntl_char);
    for (int32_t n = 0; n < s.substitutionCount && n < 5; ++n) {
        ParseTemplate(s.substitutions[n].pattern, s.cntl_char);
        ParseTemplate(s.substitutions[n].replacement, s.cntl_char);
        ParseTemplate(s.substitutions[n].mode, s.cntl_char);
    }
}

[[nodiscard]] StatusCode writeCell(const Settings<char>& s, const CellRecord<char>& cell) {
    APPEND(AppendText(output(), s.cell_sep.text));
    const bool anchor = cell.mergePosition == kMergeAnchor;
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
        APPEND(AppendText(output(), rewritten.data, rewritten.length));
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
    return kOk;
}

}  // namespace

StatusCode WriteWikiTable() {
    Settings<char>& s = settings<char>();
    CellGrid<char>& grid = cellGrid<char>();
    parseAll(s);
    computeSpans<char>();
    if (InitWriterBuffers<char>(kBufferCapacity) != kOk) return kNoMemory;

    // The frame reads the first cell; a grid always has one (the cell array has at least one record).
    const CellRecord<char>& first = grid.at(0, 0);
    APPEND(open(s.line_color, kColourValue, first.borderColor[kTop]));
    if (first.border[kTop] != 0) APPEND(open(s.line_width, kIntegerValue, first.border[kTop]));
    for (int32_t row = 0; row < grid.rows; ++row) {
        for (int32_t column = 0; column < grid.columns; ++column) {
            const CellRecord<char>& cell = grid.at(column, row);
            if (isCoveredByAnchor(cell)) continue;  // covered: written at its anchor
            APPEND(writeCell(s, cell));
        }
        APPEND(AppendText(output(), s.cell_sep.text));
        APPEND(AppendText(output(), "\r\n"));
        if (row == 0 && grid.rows > 1) {
            // The first row tells how long the table will be: room for it all at once spares the
            // copies of growing step by step. Room never written costs no memory, and without the
            // room the buffer grows as usual.
            ReserveForRows(output(), output().length, grid.rows);
        }
    }
    if (first.border[kTop] != 0) APPEND(close(s.line_width, kIntegerValue, first.border[kTop]));
    APPEND(close(s.line_color, kColourValue, first.borderColor[kTop]));
    return kOk;
}

}  // namespace grid
