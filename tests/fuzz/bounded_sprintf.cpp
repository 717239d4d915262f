// BoundedSprintf with formats from outside: any format, up to three arguments of any kind, into a
// destination of any size. It must never read an argument it was not given, nor write past the
// destination (both checked by AddressSanitizer), and a sixth "%" ends the process (caught here).
#include <vector>

#include "core/TextBuffer.h"
#include "tests/fuzz/FuzzSupport.h"

namespace {

template <class Ch>
void format(grid::fuzz::Input& input) {
    const int32_t size = input.byte() % 64;
    const int count = input.byte() % 4;
    std::vector<std::basic_string<Ch>> strings;
    std::vector<grid::SprintfArg<Ch>> arguments;
    strings.reserve(3);
    for (int i = 0; i < count; ++i) {
        if (input.byte() & 1) {
            strings.push_back(input.text<Ch>(40));
            arguments.push_back(grid::SprintfArg<Ch>(strings.back().c_str()));
        } else {
            arguments.push_back(grid::SprintfArg<Ch>(input.integer()));
        }
    }
    const std::basic_string<Ch> pattern = input.rest<Ch>();
    std::vector<Ch> destination(size_t(size) + 1, Ch(0x55));
    try {
        switch (count) {
            case 0: grid::BoundedSprintf<Ch>(destination.data(), size, pattern.c_str()); break;
            case 1: grid::BoundedSprintf<Ch>(destination.data(), size, pattern.c_str(), {arguments[0]}); break;
            case 2:
                grid::BoundedSprintf<Ch>(destination.data(), size, pattern.c_str(), {arguments[0], arguments[1]});
                break;
            default:
                grid::BoundedSprintf<Ch>(destination.data(), size, pattern.c_str(),
                                         {arguments[0], arguments[1], arguments[2]});
        }
    } catch (const grid::ProcessExitRequested&) {
        return;
    }
    if (destination[size_t(size)] != Ch(0x55)) __builtin_trap();  // one past the destination
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    grid::fuzz::installQuietPorts();
    grid::fuzz::Input input(data, size);
    if (input.byte() & 1) format<char16_t>(input);
    else format<char>(input);
    return 0;
}
