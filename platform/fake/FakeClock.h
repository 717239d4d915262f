#pragma once
// A clock for tests: the local times it tells, in turn, and a record of every sleep.
#include <deque>
#include <vector>

#include "platform/Clock.h"

namespace grid {

struct FakeClock final : ClockPort {
    FakeClock() { setClockPort(this); }
    ~FakeClock() override { setClockPort(nullptr); }
    FakeClock(const FakeClock&) = delete;
    FakeClock& operator=(const FakeClock&) = delete;

    std::deque<LocalTime> times;  // told in turn; the last one stays
    std::vector<uint32_t> sleeps;

    LocalTime localTime() override;
    void sleep(uint32_t milliseconds) override { sleeps.push_back(milliseconds); }
};

}  // namespace grid
