// SplitTextIntoGrid on arbitrary text of both character types: the first byte picks the type.
#include <string>

#include "core/CellGrid.h"
#include "core/RunState.h"
#include "tests/fuzz/FuzzSupport.h"

namespace {

template <class Ch>
void split(grid::fuzz::Input& input) {
    const std::basic_string<Ch> text = input.rest<Ch>();
    grid::resetRunState<Ch>();
    grid::ClearRunOwnership<Ch>();
    if (grid::SplitTextIntoGrid<Ch>(text.c_str()) == grid::kOk) {
        const grid::CellGrid<Ch>& grid = grid::cellGrid<Ch>();
        for (int64_t i = 0; i < int64_t(grid.rows) * grid.columns; ++i) {
            const auto& cell = grid.cells[i].text;
            // A text never holds more than its capacity.
            if (cell.live() && int64_t(std::char_traits<Ch>::length(cell.data)) > cell.capacity) __builtin_trap();
        }
    }
    grid::ReleaseCellGrid<Ch>();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    grid::fuzz::installQuietPorts();
    grid::fuzz::Input input(data, size);
    if (input.byte() & 1) split<char16_t>(input);
    else split<char>(input);
    return 0;
}
