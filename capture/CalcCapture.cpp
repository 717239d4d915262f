#include "capture/CalcCapture.h"

#include "core/RunState.h"

namespace grid {
namespace {

struct NoCalc final : CalcCapturePort {
    StatusCode runCalcCapture(bool wide) override {
        if (wide)
            runState<char16_t>().captureStage = 1;
        else
            runState<char>().captureStage = 1;
        return kAutomationFailed;
    }
};

NoCalc noCalc;
CalcCapturePort* currentCalc = &noCalc;

}  // namespace

CalcCapturePort& calcCapturePort() { return *currentCalc; }
void setCalcCapturePort(CalcCapturePort* port) { currentCalc = port ? port : &noCalc; }

template <class Ch>
StatusCode RunCalcCapture() {
    return calcCapturePort().runCalcCapture(sizeof(Ch) == 2);
}

template StatusCode RunCalcCapture<char>();
template StatusCode RunCalcCapture<char16_t>();

}  // namespace grid
