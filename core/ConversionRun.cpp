#include "core/ConversionRun.h"

#include "capture/AutoWrap.h"
#include "capture/CalcCapture.h"
#include "capture/DirectCapture.h"
#include "clipboard/Clipboard.h"
#include "clipboard/PlainText.h"
#include "core/Assert.h"
#include "core/CellGrid.h"
#include "core/Messages.h"
#include "core/Normalise.h"
#include "core/Program.h"
#include "core/RunState.h"
#include "platform/Window.h"

namespace grid {

std::optional<MessageCode> captureFailureMessage(int32_t stage) {
    switch (stage) {
        case kCaptureStartingCom: return std::nullopt;
        case kCaptureFindingCalc: return kMessageCalcNotStarted;
        case kCaptureCreatingServiceManager: return kMessageCalcNotFound;
        case kCapturePasting: return kMessageClipboardDataNotProcessed;
        default: return kMessageConversionFailed;
    }
}

namespace {

// The program's own writer, which its entry installed; without one the run fails as it does for
// any unexpected result.
template <class Ch>
[[nodiscard]] StatusCode writeMarkup() {
    const auto write = programParts<Ch>().writeMarkup;
    GRID_ASSERT(write);
    return write ? write() : kAutomationFailed;
}

template <class Ch>
[[nodiscard]] StatusCode capture() {
    RunState<Ch>& run = runState<Ch>();
    ClearRunOwnership<Ch>();
    resetCalcSession();
    run.captureStage = kCaptureStartingCom;
    if (cancelRequested<Ch>()) {
        showMessage<Ch>(kMessageCancelled);
        run.cancelState.store(kCancelSeen);
        return kCancelled;
    }
    const int32_t kind = probeClipboard<Ch>();
    if (kind == kNoMemory || kind == kFailedReported) return kind;
    run.clipboardKind = kind;
    if (kind == kNothingUsable) return kFailedReported;
    if (directCaptureOn<Ch>()) {
        // A spreadsheet's copy, or a web page's table, read from the clipboard itself.
        bool filled = false;
        const StatusCode direct = captureFromClipboard<Ch>(filled);
        if (filled) {
            run.clipboardKind = kSpreadsheetData;  // a sheet's cells, whatever else the clipboard holds
            return direct;
        }
    }
    if (kind == kSpreadsheetData) return RunCalcCapture<Ch>();
    return capturePlainText<Ch>();
}

}  // namespace

template <class Ch>
StatusCode capturePlainText() {
    RunState<Ch>& run = runState<Ch>();
    if (showMessage<Ch>(kQuestionBordersOnAllCells) != kAnswerOk) {
        showMessage<Ch>(kMessageCancelled);
        return kCancelled;
    }
    run.bordersAccepted = 1;
    return buildPlainTextGrid<Ch>();
}

template <class Ch>
StatusCode runConversion() {
    RunState<Ch>& run = runState<Ch>();
    const StatusCode captured = capture<Ch>();
    if (captured == kNoMemory || captured == kCancelled || captured == kFailedReported) return kFailedReported;
    if (captured != kOk) {
        if (const auto message = captureFailureMessage(run.captureStage)) showMessage<Ch>(*message);
        ReleaseCellGrid<Ch>();
        return kFailedReported;
    }

    clockPort().sleep(500);
    const StatusCode normalised = normaliseGrid<Ch>();
    if (normalised != kOk) return normalised;

    const StatusCode written = writeMarkup<Ch>();
    ReleaseSpentBuffers<Ch>();  // the markup is written
    if (written != kOk) {
        if (written == kNoMemory) showMessage<Ch>(kMessageMemoryExhausted);
        else if (written != kCancelled && written != kFailedReported) showMessage<Ch>(kMessageConversionFailed);
        // The storage would go with the process, which ends after the run; it is freed all the
        // same, so that nothing is left behind.
        ReleaseCellGrid<Ch>();
        return kFailedReported;
    }

    if (cancelRequested<Ch>()) {
        showMessage<Ch>(kMessageCancelled);
        ReleaseCellGrid<Ch>();
        run.cancelState.store(kCancelSeen);
        return kCancelled;
    }
    const StatusCode published = writeClipboard<Ch>(runBuffers<Ch>().outputBuffer.data);
    clockPort().sleep(200);
    ReleaseCellGrid<Ch>();
    if (published != kOk) return kFailedReported;

    progressWindowPort().setProgress(100);
    if (run.showElapsedTime == 1) {
        run.runEndTime = clockPort().localTime();
        elapsedTime(run.runStartTime, run.runEndTime, run.elapsedMinutes, run.elapsedSeconds);
        showMessage<Ch>(kMessageFinishedWithTime);
    } else {
        showMessage<Ch>(kMessageFinished);
    }
    return kOk;
}

template <class Ch>
void workerMain() {
    runState<Ch>().runStartTime = clockPort().localTime();
    (void)runConversion<Ch>();  // the run has told the user how it went
    clockPort().sleep(200);
    progressWindowPort().close();
}

void elapsedTime(const LocalTime& start, const LocalTime& end, int32_t& minutes, int32_t& seconds) {
    int32_t total = ((int32_t(end.hour) - start.hour) * 60 + int32_t(end.minute) - start.minute) * 60 +
                    int32_t(end.second) - start.second;
    if (end.day != start.day) total += 86400;
    minutes = total / 60;
    seconds = total - 60 * minutes;
}

template void workerMain<char>();
template void workerMain<char16_t>();
template StatusCode runConversion<char>();
template StatusCode runConversion<char16_t>();
template StatusCode capturePlainText<char>();
template StatusCode capturePlainText<char16_t>();

}  // namespace grid
