#include "html/StyleClasses.h"

#include <cstring>

#include "core/Allocation.h"
#include "core/CellGrid.h"
#include "core/Settings.h"
#include "html/HtmlText.h"

namespace grid {
namespace {

StyleClassState theState;

constexpr int32_t kWhite = 0xFFFFFF;

// The cell class table holds, after the room for the classes, an open-addressing lookup from a
// class's values to its number, so that entering a cell costs the same however many classes
// there are. A slot holds the class number + 1, or 0 when empty; the slots are at least twice the
// cells, so the lookup never fills.
constexpr int64_t kCellClassRoom = 3;  // int32 values per cell for the classes themselves

int64_t cellCount() {
    const CellGrid<char16_t>& grid = cellGrid<char16_t>();
    return int64_t(grid.rows) * grid.columns;
}

uint32_t lookupSlots(int64_t cells) {
    uint64_t slots = 2;
    while (slots < uint64_t(cells) * 2) slots <<= 1;
    return slots > UINT32_MAX ? 0 : static_cast<uint32_t>(slots);
}

CellClassEntry* cellEntries() { return reinterpret_cast<CellClassEntry*>(runBuffers<char16_t>().cellClassTable); }
int32_t* cellLookup() { return runBuffers<char16_t>().cellClassTable + cellCount() * kCellClassRoom; }
FontClassEntry* fontEntries() { return reinterpret_cast<FontClassEntry*>(runBuffers<char16_t>().fontClassTable); }

uint32_t hashOf(const CellClassEntry& entry) {
    uint64_t key = uint64_t(uint32_t(entry.background)) << 32 | uint32_t(entry.lineColor);
    key ^= key >> 33;
    key *= 0xFF51AFD7ED558CCDull;
    key ^= key >> 33;
    return static_cast<uint32_t>(key);
}

// The number of the class equal to the candidate; a new class when there is none.
int32_t cellClassOf(const CellClassEntry& candidate) {
    StyleClassState& s = theState;
    CellClassEntry* entries = cellEntries();
    int32_t* lookup = cellLookup();
    for (uint32_t slot = hashOf(candidate) & s.lookupMask;; slot = (slot + 1) & s.lookupMask) {
        int32_t held = lookup[slot];
        if (held == 0) {
            entries[++s.cellClassLast] = candidate;
            lookup[slot] = s.cellClassLast + 1;
            return s.cellClassLast;
        }
        const CellClassEntry& entry = entries[held - 1];
        if (entry.background == candidate.background && entry.lineColor == candidate.lineColor) return held - 1;
    }
}

int32_t fontClassOf(const FontClassEntry& candidate) {
    StyleClassState& s = theState;
    bool empty = true;
    for (int32_t value : candidate.slot) empty = empty && value == 0;
    if (empty) return -1;
    FontClassEntry* entries = fontEntries();
    // At most one paragraph class can exist (only underlining fills a slot): the search is short.
    for (int32_t n = 0; n <= s.fontClassLast; ++n)
        if (std::memcmp(entries[n].slot, candidate.slot, sizeof candidate.slot) == 0) return n;
    entries[++s.fontClassLast] = candidate;
    return s.fontClassLast;
}

bool on(const char16_t* value) { return flagIsOn(value); }

template <size_t N>
[[nodiscard]] StatusCode appendFormatted(const char16_t* format, int32_t value) {
    char16_t piece[N];
    BoundedSprintf<char16_t>(piece, N, format, {value});
    return AppendText(runBuffers<char16_t>().outputBuffer, piece);
}

[[nodiscard]] StatusCode appendColour(int32_t colour) {
    char16_t code[8];
    FormatColourCode(colour, code);
    return AppendText(runBuffers<char16_t>().outputBuffer, code);
}

[[nodiscard]] StatusCode append(const char16_t* text) { return AppendText(runBuffers<char16_t>().outputBuffer, text); }

}  // namespace

StyleClassState& styleClasses() { return theState; }
void resetStyleClasses() { theState = StyleClassState{}; }

StatusCode AllocateClassTables() {
    RunBuffers<char16_t>& owned = runBuffers<char16_t>();
    int64_t cells = cellCount();
    if (cells < 1) cells = 1;
    AllocationFailure failure = AllocationFailure::none;
    void* fonts = allocateArray(size_t(cells) * 7, sizeof(int32_t), failure);
    if (!fonts) return kNoMemory;
    owned.fontClassTable = static_cast<int32_t*>(fonts);
    owned.fontClassTableOwned = 1;
    theState.fontClassLast = -1;
    std::memset(fonts, 0, size_t(cells) * 7 * sizeof(int32_t));

    uint32_t slots = lookupSlots(cells);
    int64_t values = cells * kCellClassRoom + slots;
    void* classes = slots == 0 ? nullptr : allocateArray(size_t(values), sizeof(int32_t), failure);
    if (!classes) return kNoMemory;
    owned.cellClassTable = static_cast<int32_t*>(classes);
    theState.cellClassLast = -1;
    theState.lookupMask = slots - 1;
    owned.cellClassTableOwned = 1;
    std::memset(classes, 0, size_t(values) * sizeof(int32_t));
    return kOk;
}

void CollectCellClasses(int32_t row, int32_t column) {
    const Settings<char16_t>& s = settings<char16_t>();
    const CellRecord<char16_t>& cell = cellGrid<char16_t>().at(column, row);
    const bool html5 = htmlFiveMode();

    FontClassEntry font = {};
    if (html5 && on(s.font_underline_yn) && cell.underline != 0) font.slot[4] = 1;
    theState.fontClass = fontClassOf(font);

    CellClassEntry entry = {0, 0};
    if (html5 && on(s.back_color_yn)) {
        entry.background = cell.backColor;
        entry.lineColor = cell.border[kTop] == 0 ? kWhite : cell.borderColor[kTop];
    }
    theState.cellClass = cellClassOf(entry);
}

StatusCode WriteStyleBlock() {
    const Settings<char16_t>& s = settings<char16_t>();
    const CellRecord<char16_t>& first = cellGrid<char16_t>().at(0, 0);
    const bool width = on(s.line_width_yn), colour = on(s.line_color_yn), background = on(s.back_color_yn);
    APPEND(append(u"\r\n\r\n\r\n<style type=\"text/css\">\r\n<!--\r\n"));
    if (width || colour) {
        APPEND(append(u"table.gweaveT, td.gweaveT, th.gweaveT { border: "));
        if (width) APPEND(appendFormatted<32>(u"%dpx ", first.border[kTop]));
        if (colour) {
            if (s.table_outline[0] != 0) {
                APPEND(append(s.table_outline));
            } else {
                APPEND(appendColour(first.borderColor[kTop]));
            }
            APPEND(append(u" "));
        }
        APPEND(append(u"solid}\r\n"));
    }

    const FontClassEntry* fonts = fontEntries();
    for (int32_t n = 0; n <= theState.fontClassLast; ++n) {
        APPEND(appendFormatted<64>(u"p.gweaveF%d {", n));
        bool written = false, decoration = false;
        for (int slot = 2; slot <= 5; ++slot) {
            if (fonts[n].slot[slot] != 1) continue;
            if (written) APPEND(append(u";"));
            if (slot >= 4 && !decoration) {
                APPEND(append(u"text-decoration:"));
                decoration = true;
            }
            APPEND(append(cssPropertyTable[slot]));
            written = true;
        }
        if (written) APPEND(append(u"}\r\n"));
    }

    const CellClassEntry* cells = cellEntries();
    for (int32_t n = 0; n <= theState.cellClassLast; ++n) {
        APPEND(appendFormatted<64>(u"td.gweaveC%d {", n));
        if (background) {
            APPEND(append(u"background-color:"));
            APPEND(appendColour(cells[n].background));
        }
        if (width || colour) {
            if (background) APPEND(append(u";"));
            APPEND(append(u" border: "));
            if (width) APPEND(appendFormatted<32>(u"%dpx ", first.border[kTop]));
            if (colour) {
                APPEND(appendColour(cells[n].lineColor));
                APPEND(append(u" "));
            }
            APPEND(append(u"solid}\r\n"));
        } else {
            APPEND(append(u"}\r\n"));
        }
    }
    APPEND(append(u"-->\r\n</style>\r\n"));
#undef APPEND
    return kOk;
}

}  // namespace grid
