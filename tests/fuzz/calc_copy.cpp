// The direct capture on any copy: the package's bytes and the link as they come, or parts of the
// package (content.xml, styles.xml) as they come inside a sound ZIP. Every outcome must be a grid
// that the writers take (areas inside it, every text within its buffer), or the quiet fallback:
// nothing shown, nothing allocated.
#include <string>

#include "capture/DirectCapture.h"
#include "core/Settings.h"
#include "platform/fake/FakeAllocation.h"
#include "platform/fake/FakeMessageBox.h"
#include "tests/calc/PackageMaker.h"
#include "tests/fuzz/DirectCaptureCheck.h"

namespace {

template <class Ch>
void capture(const std::string& package, const std::string& link, grid::FakeMessageBox& boxes) {
    grid::fuzz::checkDirectCapture<Ch>(
        [&](bool& filled) {
            return grid::captureFromPackage<Ch>(reinterpret_cast<const uint8_t*>(package.data()), package.size(),
                                                reinterpret_cast<const uint8_t*>(link.data()), link.size(), filled);
        },
        boxes);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    grid::fuzz::installQuietPorts();
    static grid::FakeAllocation allocator;  // counts what is left
    grid::FakeMessageBox boxes;
    // A mode byte, the link's item up to a NUL, then the package's bytes, or content.xml and
    // styles.xml separated by a NUL.
    const uint8_t mode = size ? data[0] : 0;
    size_t at = size ? 1 : 0;
    const auto field = [&](bool toEnd) {
        size_t end = at;
        while (end < size && (toEnd || data[end] != 0)) ++end;
        std::string bytes(reinterpret_cast<const char*>(data) + at, end - at);
        at = end < size ? end + 1 : end;
        return bytes;
    };
    const std::string link = grid::test::linkOf(field(false));
    std::string package;
    if (mode & 2) {
        const std::string content = field(false);
        package = grid::test::zipOf({{"content.xml", content}, {"styles.xml", field(true)}});
    } else {
        package = field(true);
    }
    if (mode & 1) capture<char16_t>(package, link, boxes);
    else capture<char>(package, link, boxes);
    if (allocator.liveBlocks() != 0) grid::fuzz::fail();
    return 0;
}
