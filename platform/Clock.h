#pragma once
// Local time and sleeping (GetLocalTime, Sleep), so that the waits and the elapsed time of a run
// can be tested without waiting.
#include <cstdint>

namespace grid {

// Local time as GetLocalTime gives it.
struct LocalTime {
    uint16_t year = 0, month = 0, dayOfWeek = 0, day = 0;
    uint16_t hour = 0, minute = 0, second = 0, milliseconds = 0;
};

struct ClockPort {
    virtual ~ClockPort() = default;
    virtual LocalTime localTime() = 0;
    virtual void sleep(uint32_t milliseconds) = 0;
};

// The port in use; the default is the system's own clock.
ClockPort& clockPort();
void setClockPort(ClockPort* port);

}  // namespace grid
