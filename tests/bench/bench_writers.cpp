// The writers on large grids: HTML5 with every option on, 20-character texts, once with three
// styles in turn and once with a background colour of its own in every cell.
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "core/Allocation.h"
#include "core/CellGrid.h"
#include "core/Settings.h"
#include "html/HtmlWriter.h"
#include "wiki/WikiWriter.h"

namespace {

// 100 x 10, 1,000 x 100 and 2,000 x 100 cells, without and then with the benchmark's third argument.
void threeSizesEachWay(benchmark::internal::Benchmark* benchmark) {
    for (int64_t third : {0, 1})
        for (const auto& [rows, columns] : {std::pair<int64_t, int64_t>{100, 10}, {1000, 100}, {2000, 100}})
            benchmark->Args({rows, columns, third});
}

using namespace grid;

void everyHtmlOption() {
    Settings<char16_t>& s = settings<char16_t>();
    resetSettings<char16_t>();
    s.htmlversion[0] = u'5';
    for (char16_t* flag : {s.line_color_yn, s.line_width_yn, s.back_color_yn, s.font_color_yn, s.font_size_yn,
                           s.font_bold_yn, s.font_underline_yn, s.font_italic_yn, s.font_strikethrough_yn,
                           s.cell_posh_yn, s.cell_posv_yn}) {
        flag[0] = u'O', flag[1] = u'N', flag[2] = 0;
    }
}

void makeGrid(int32_t rows, int32_t columns, bool distinctColours) {
    CellGrid<char16_t>& grid = cellGrid<char16_t>();
    ClearRunOwnership<char16_t>();
    grid.rows = rows;
    grid.columns = columns;
    if (AllocateCellGrid<char16_t>() != kOk) std::abort();
    const std::u16string text = u"text of cell & <20>";
    for (int64_t i = 0; i < int64_t(rows) * columns; ++i) {
        CellRecord<char16_t>& cell = grid.cells[i];
        if (InitTextBuffer(cell.text, 20) != kOk || AppendText(cell.text, text.c_str()) != kOk) std::abort();
        cell.charHeight = 10 + int32_t(i % 3);
        cell.bold = uint8_t(i % 3 == 0), cell.underline = int32_t(i % 3 == 1), cell.horiJustify = int32_t(i % 3) + 1;
        cell.backColor = distinctColours ? int32_t(i & 0xFFFFFF) : int32_t(0x101010 * (i % 3));
        for (int side = 0; side < 4; ++side) cell.border[side] = 1;
    }
}

// Frees what the writer allocated, keeping the grid for the next round.
void releaseWriterBuffers() {
    RunBuffers<char16_t>& owned = runBuffers<char16_t>();
    FreeTextBuffer(owned.outputBuffer);
    FreeTextBuffer(owned.workBuffer);
    releaseArray(owned.fontClassTable);
    releaseArray(owned.cellClassTable);
    owned.outputBufferOwned = owned.workBufferOwned = owned.fontClassTableOwned = owned.cellClassTableOwned = 0;
}

void WriteHtmlTableEveryOption(benchmark::State& state) {
    everyHtmlOption();
    makeGrid(int32_t(state.range(0)), int32_t(state.range(1)), state.range(2) != 0);
    int64_t characters = 0;
    for (auto _ : state) {
        if (WriteHtmlTable() != kOk) state.SkipWithError("the writer failed");
        characters = runBuffers<char16_t>().outputBuffer.length;
        releaseWriterBuffers();
    }
    state.counters["cells"] = double(state.range(0) * state.range(1));
    state.counters["output_chars"] = double(characters);
    ReleaseCellGrid<char16_t>();
}
// rows, columns, one colour per cell
BENCHMARK(WriteHtmlTableEveryOption)
    ->ArgNames({"rows", "columns", "distinct"})
    ->Apply(threeSizesEachWay)
    ->Unit(benchmark::kMillisecond);

// Every template set, five substitution entries (one wrapping "all" entry among them).
void everyWikiTemplate() {
    Settings<char>& s = settings<char>();
    resetSettings<char>();
    std::strcpy(s.cntl_char, "@");
    const std::pair<MarkupTemplate*, const char*> templates[] = {
        {&s.line_color, "{|style=\"border-color:%s\"@|}"}, {&s.line_width, "border=%d@"},
        {&s.back_color, "BGCOLOR(%s):@"}, {&s.font_color, "COLOR(%s):@"}, {&s.font_size, "SIZE(%d):@"},
        {&s.font_bold, "''@''"}, {&s.font_underline, "%%%@%%%"}, {&s.font_italic, "'''@'''"},
        {&s.font_strikethrough, "%%@%%"}, {&s.cell_poshr, "RIGHT:@"}, {&s.cell_poshc, "CENTER:@"},
        {&s.cell_poshl, "LEFT:@"}, {&s.cell_posvt, "@"}, {&s.cell_posvc, "@"}, {&s.cell_posvb, "@"},
        {&s.cell_sep, "|"}, {&s.cell_mrgh, ">"}, {&s.cell_mrgv, "~"},
    };
    const char* const substitutions[5][3] = {
        {"|", "&#124;", ""}, {"&", "&amp;", ""}, {"<", "&lt;", ""}, {"~", "&#126;", ""}, {"20", "''", "all"},
    };
    s.substitutionCount = 5;
    for (int n = 0; n < 5; ++n) {
        std::strcpy(s.substitutions[n].pattern.text, substitutions[n][0]);
        std::strcpy(s.substitutions[n].replacement.text, substitutions[n][1]);
        std::strcpy(s.substitutions[n].mode.text, substitutions[n][2]);
    }
    for (const auto& [markup, text] : templates) std::strcpy(markup->text, text);
}

// The table's structure on top: lines of their own, row frames, a header row, the rule line, span
// counts, covered cells with markers, line breaks and escapes.
void everyStructureKey() {
    Settings<char>& s = settings<char>();
    std::strcpy(s.newline_code, "\\n");
    std::strcpy(s.cover_cells, "last");
    std::strcpy(s.escape_chars, "*_[");
    const std::pair<MarkupTemplate*, const char*> templates[] = {
        {&s.table_begin, "{| class=\"wikitable\"\\n|+ %d columns"}, {&s.table_end, "|}"}, {&s.row_line, "|-"},
        {&s.row_frame, "|@|"}, {&s.head_frame, "!@!h"}, {&s.head_sep, "!!"}, {&s.head_cell, "_@"},
        {&s.rule_poshl, "---"}, {&s.rule_poshc, ":-:"}, {&s.rule_poshr, "--:"}, {&s.cell_span, "@+"},
        {&s.cell_colspan, "colspan=%d "}, {&s.cell_rowspan, "rowspan=%d "}, {&s.cover_row, ">"},
        {&s.cover_column, "~"}, {&s.cover_other, ">"}, {&s.cell_break, "<br>"}, {&s.escape_code, "&#%d;"},
    };
    for (const auto& [markup, text] : templates) std::strcpy(markup->text, text);
}

// With merged areas: a 2 x 2 area at every fifth column of every third row pair.
void makeWikiGrid(int32_t rows, int32_t columns, bool mergedAreas = false) {
    CellGrid<char>& grid = cellGrid<char>();
    ClearRunOwnership<char>();
    grid.rows = rows;
    grid.columns = columns;
    if (AllocateCellGrid<char>() != kOk) std::abort();
    for (int64_t i = 0; i < int64_t(rows) * columns; ++i) {
        CellRecord<char>& cell = grid.cells[i];
        if (InitTextBuffer(cell.text, 20) != kOk || AppendText(cell.text, "text | of cell & <20") != kOk) std::abort();
        cell.charHeight = 10 + int32_t(i % 3);
        cell.bold = uint8_t(i % 3 == 0), cell.underline = int32_t(i % 3 == 1), cell.horiJustify = int32_t(i % 4);
        cell.backColor = int32_t(i & 0xFFFFFF);
        for (int side = 0; side < 4; ++side) cell.border[side] = 1;
    }    if (!mergedAreas) return;
    for (int32_t row = 0; row + 1 < rows; row += 3)
        for (int32_t column = 0; column + 1 < columns; column += 5) markMergedArea<char>(column, column + 1, row, row + 1);
}

// Arguments: rows, columns, and 1 for the structure keys and merged areas on top.
void WriteWikiTableEveryTemplate(benchmark::State& state) {
    const bool structure = state.range(2) != 0;
    makeWikiGrid(int32_t(state.range(0)), int32_t(state.range(1)), structure);
    int64_t bytes = 0;
    for (auto _ : state) {
        // The writer cuts the templates where it parses them, so each round starts from the settings.
        state.PauseTiming();
        everyWikiTemplate();
        if (structure) everyStructureKey();
        state.ResumeTiming();
        if (WriteWikiTable() != kOk) state.SkipWithError("the writer failed");
        RunBuffers<char>& owned = runBuffers<char>();
        bytes = owned.outputBuffer.length;
        FreeTextBuffer(owned.outputBuffer);
        FreeTextBuffer(owned.workBuffer);
        owned.outputBufferOwned = owned.workBufferOwned = 0;
    }
    state.counters["cells"] = double(state.range(0) * state.range(1));
    state.counters["output_bytes"] = double(bytes);
    ReleaseCellGrid<char>();
}
BENCHMARK(WriteWikiTableEveryTemplate)
    ->ArgNames({"rows", "columns", "structure"})
    ->Apply(threeSizesEachWay)
    ->Unit(benchmark::kMillisecond);

}  // namespace

// Large blocks are kept by the allocator between rounds instead of being handed back to the system
// and faulted in afresh, as bench_core does: each round then measures the writer, not the kernel.
// With GRID_BENCH_COLD set every round pays for fresh memory, as one run of a program does.
int main(int argc, char** argv) {
    if (!std::getenv("GRID_BENCH_COLD")) {
        mallopt(M_MMAP_THRESHOLD, 1 << 30);
        mallopt(M_TRIM_THRESHOLD, 1 << 30);
        mallopt(M_TOP_PAD, 1 << 30);
    }
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
