#include "clipboard/PlainText.h"

#include "clipboard/Clipboard.h"
#include "core/CellGrid.h"
#include "platform/Window.h"

namespace grid {

template <class Ch>
StatusCode buildPlainTextGrid() {
    Ch* text = nullptr;
    if (readClipboardText<Ch>(&text) != kOk) {
        ReleaseCellGrid<Ch>();
        return kFailedReported;
    }
    RunBuffers<Ch>& owned = runBuffers<Ch>();
    owned.clipboardText = text;
    owned.clipboardTextOwned = 1;
    if (SplitTextIntoGrid<Ch>(text) != kOk) {
        ReleaseCellGrid<Ch>();
        return kNoMemory;
    }
    ReleaseSpentBuffers<Ch>();  // the cells hold the text now
    progressWindowPort().setProgress(90);
    return kOk;
}

template StatusCode buildPlainTextGrid<char>();
template StatusCode buildPlainTextGrid<char16_t>();

}  // namespace grid
