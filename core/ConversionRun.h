#pragma once
// One conversion run: the cells on the clipboard become markup on the clipboard, and the user is
// told how it went. It runs once, on the worker thread of the progress window.
#include <cstdint>
#include <optional>

#include "core/Messages.h"
#include "core/Status.h"
#include "platform/Clock.h"

namespace grid {

// The worker thread's body: notes the start time, runs the conversion, then closes the window.
template <class Ch> void workerMain();
// The run itself: 0 done, 102 cancelled, 120 failed.
template <class Ch> [[nodiscard]] StatusCode runConversion();
// The plain-text path: asks whether to put borders on all cells, then builds the grid from the
// clipboard text. 0, 101, 102 or 120.
template <class Ch> [[nodiscard]] StatusCode capturePlainText();

// The message for a Calc capture that failed, by how far the session got (none before COM).
std::optional<MessageCode> captureFailureMessage(int32_t stage);

// Whole seconds between two local times, across one midnight at most.
void elapsedTime(const LocalTime& start, const LocalTime& end, int32_t& minutes, int32_t& seconds);

}  // namespace grid
