#pragma once
// The Calc path of a run: Calc pastes the clipboard and the cells are read from it into the grid.
// It sets captureStage as it goes and returns 0, 2, 101, 102, 109 or 120.
#include "core/Status.h"

namespace grid {

struct CalcCapturePort {
    virtual ~CalcCapturePort() = default;
    // For Gridweave (UTF-16) when `wide`, else for Gridquill.
    [[nodiscard]] virtual StatusCode runCalcCapture(bool wide) = 0;
};

// The port in use. Without a Calc backend, Calc counts as not installed: stage 1, result 109.
CalcCapturePort& calcCapturePort();
void setCalcCapturePort(CalcCapturePort* port);

template <class Ch> [[nodiscard]] StatusCode RunCalcCapture();

// How the last capture through automation read the cells: not at all (it ended before), one by
// one, or in the office at once (capture/FastCapture.h).
enum class CaptureWay { none, perCell, inOffice, fromClipboard };
CaptureWay lastCaptureWay();
void noteCaptureWay(CaptureWay way);

}  // namespace grid
