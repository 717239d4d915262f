// Converts a tab-separated text the way the programs' plain-text path does (the split into cells,
// then the all-borders and merge rules) and prints the resulting grid with each cell's borders.
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

#include "core/CellGrid.h"
#include "core/Normalise.h"
#include "core/RunState.h"

using namespace grid;

namespace {

void printGrid(const char* program) {
    CellGrid<char>& cells = cellGrid<char>();
    std::printf("%s: %d rows x %d columns\n", program, cells.rows, cells.columns);
    for (int32_t r = 0; r < cells.rows; ++r) {
        for (int32_t c = 0; c < cells.columns; ++c) {
            const CellRecord<char>& cell = cells.at(c, r);
            const char* text = cell.text.capacity > 0 ? cell.text.data : "";
            std::printf("  [%d,%d] borders L%d R%d T%d B%d  \"%s\"\n", r, c, cell.border[kLeft], cell.border[kRight],
                        cell.border[kTop], cell.border[kBottom], text);
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: grid-demo TEXT_FILE\n");
        return 2;
    }
    std::ifstream file(argv[1], std::ios::binary);
    if (!file) {
        std::fprintf(stderr, "grid-demo: cannot read %s\n", argv[1]);
        return 1;
    }
    std::string text((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());

    // The user answered OK to "put borders on all cells?" for plain text.
    runState<char>().clipboardKind = 1;
    runState<char>().bordersAccepted = 1;
    ClearRunOwnership<char>();
    if (SplitTextIntoGrid<char>(text.c_str()) != kOk || normaliseGrid<char>() != kOk) {
        std::fprintf(stderr, "grid-demo: the conversion failed\n");
        return 1;
    }
    printGrid("plain-text grid");
    ReleaseCellGrid<char>();
    return 0;
}
