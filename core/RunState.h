#pragma once
// Values that one conversion run shares between its steps and with the window thread.
#include <atomic>
#include <cstdint>

#include "platform/Clock.h"
#include "platform/Ports.h"

namespace grid {

// cancelState: the window thread moves it from "not requested" to "requested", the worker, at its
// next cancel check, on to "seen".
inline constexpr int32_t kCancelNotRequested = 0;
inline constexpr int32_t kCancelRequested = 1;
inline constexpr int32_t kCancelSeen = 2;

// captureStage: the step of the Calc session under way, which picks the message of a failure.
inline constexpr int32_t kCaptureStartingCom = 0;             // before the automation library is up
inline constexpr int32_t kCaptureFindingCalc = 1;             // looking up Calc's ProgID
inline constexpr int32_t kCaptureCreatingServiceManager = 2;  // starting Calc's service manager
inline constexpr int32_t kCaptureOpeningDocument = 3;         // the desktop, the hidden document, cell $A$1
inline constexpr int32_t kCapturePasting = 4;                 // pasting the clipboard into the document
inline constexpr int32_t kCaptureReadingCells = 5;            // reading the pasted selection and its cells

template <class Ch>
struct RunState {
    std::atomic<int32_t> cancelState{kCancelNotRequested};
    int32_t bordersAccepted = 0;  // 1 once the user consented to borders on all cells
    int32_t clipboardKind = 0;    // 0 nothing usable, 1/2 plain text, 3 spreadsheet data
    int32_t captureStage = kCaptureStartingCom;
    LocalTime runStartTime, runEndTime;
    int32_t elapsedMinutes = 0, elapsedSeconds = 0;
    int32_t showElapsedTime = 1;
};

template <class Ch>
inline RunState<Ch> theRunState;

template <class Ch>
RunState<Ch>& runState() {
    return theRunState<Ch>;
}

// The user asked to cancel and the worker has not seen it yet.
template <class Ch>
bool cancelRequested() {
    return theRunState<Ch>.cancelState.load() == kCancelRequested;
}

template <class Ch>
void resetRunState() {
    RunState<Ch>& state = theRunState<Ch>;
    state.cancelState.store(kCancelNotRequested);
    state.bordersAccepted = state.clipboardKind = 0;
    state.captureStage = kCaptureStartingCom;
    state.runStartTime = state.runEndTime = LocalTime{};
    state.elapsedMinutes = state.elapsedSeconds = 0;
    state.showElapsedTime = 1;
}

// The progress window: owner of every message box and clipboard opening; none before it exists.
inline WindowHandle mainWindow = nullptr;

}  // namespace grid
