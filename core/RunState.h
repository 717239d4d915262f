#pragma once
// Values that one conversion run shares between its steps and with the window thread.
#include <atomic>
#include <cstdint>

#include "platform/Clock.h"
#include "platform/Ports.h"

namespace grid {

template <class Ch>
struct RunState {
    // 0 running; 1 the user asked to cancel (window thread); 2 the worker has seen it.
    std::atomic<int32_t> cancelState{0};
    int32_t bordersAccepted = 0;  // 1 once the user consented to borders on all cells
    int32_t clipboardKind = 0;    // 0 nothing usable, 1/2 plain text, 3 spreadsheet data
    int32_t captureStage = 0;     // how far the Calc session got, 0 to 5
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
    return theRunState<Ch>.cancelState.load() == 1;
}

template <class Ch>
void resetRunState() {
    RunState<Ch>& state = theRunState<Ch>;
    state.cancelState.store(0);
    state.bordersAccepted = state.clipboardKind = state.captureStage = 0;
    state.runStartTime = state.runEndTime = LocalTime{};
    state.elapsedMinutes = state.elapsedSeconds = 0;
    state.showElapsedTime = 1;
}

// The progress window: owner of every message box and clipboard opening; none before it exists.
inline WindowHandle mainWindow = nullptr;

}  // namespace grid
