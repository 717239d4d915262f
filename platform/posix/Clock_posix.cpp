#include <time.h>

#include "platform/Clipboard.h"
#include "platform/Clock.h"

namespace grid {
namespace {

struct PosixClock final : ClockPort {
    LocalTime localTime() override {
        timespec now{};
        clock_gettime(CLOCK_REALTIME, &now);
        tm parts{};
        localtime_r(&now.tv_sec, &parts);
        LocalTime t;
        t.year = uint16_t(parts.tm_year + 1900), t.month = uint16_t(parts.tm_mon + 1);
        t.dayOfWeek = uint16_t(parts.tm_wday), t.day = uint16_t(parts.tm_mday);
        t.hour = uint16_t(parts.tm_hour), t.minute = uint16_t(parts.tm_min), t.second = uint16_t(parts.tm_sec);
        t.milliseconds = uint16_t(now.tv_nsec / 1000000);
        return t;
    }
    void sleep(uint32_t milliseconds) override {
        timespec wait{time_t(milliseconds / 1000), long(milliseconds % 1000) * 1000000L};
        while (nanosleep(&wait, &wait) != 0) {
        }
    }
};

}  // namespace

ClockPort& systemClock() {
    static PosixClock clock;
    return clock;
}

// The desktop clipboard of Linux comes with the GTK shell.
ClipboardPort* systemClipboard() { return nullptr; }

}  // namespace grid
