#include <windows.h>

#include "platform/Clock.h"

namespace grid {
namespace {

struct WindowsClock final : ClockPort {
    LocalTime localTime() override {
        SYSTEMTIME now;
        GetLocalTime(&now);
        return {now.wYear, now.wMonth, now.wDayOfWeek, now.wDay, now.wHour, now.wMinute, now.wSecond,
                now.wMilliseconds};
    }
    void sleep(uint32_t milliseconds) override { Sleep(milliseconds); }
};

}  // namespace

ClockPort& systemClock() {
    static WindowsClock clock;
    return clock;
}

}  // namespace grid
