// The direct capture on any clipboard HTML (a mode byte, then the bytes as the clipboard holds
// them: Windows' header and document, or HTML in UTF-8 or UTF-16). Every outcome must be a grid
// that the writers take (areas inside it, every text within its buffer), or the quiet fallback:
// nothing shown, nothing allocated.
#include "capture/DirectCapture.h"
#include "platform/fake/FakeAllocation.h"
#include "platform/fake/FakeMessageBox.h"
#include "tests/fuzz/DirectCaptureCheck.h"

namespace {

template <class Ch>
void capture(const uint8_t* html, size_t size, grid::FakeMessageBox& boxes) {
    grid::fuzz::checkDirectCapture<Ch>(
        [&](bool& filled) { return grid::captureFromHtml<Ch>(html, size, filled); }, boxes);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    grid::fuzz::installQuietPorts();
    static grid::FakeAllocation allocator;  // counts what is left
    grid::FakeMessageBox boxes;
    if (size && (data[0] & 1)) capture<char16_t>(data + 1, size - 1, boxes);
    else capture<char>(size ? data + 1 : data, size ? size - 1 : 0, boxes);
    if (allocator.liveBlocks() != 0) grid::fuzz::fail();
    return 0;
}
