#include "platform/fake/FakeClock.h"

namespace grid {

LocalTime FakeClock::localTime() {
    if (times.empty()) return LocalTime{};
    LocalTime now = times.front();
    if (times.size() > 1) times.pop_front();
    return now;
}

}  // namespace grid
