#pragma once

namespace grid {

// How a fault made in a test double repeats: the n-th call alone fails, or every call from the
// n-th on (a system that stays out of memory, a clipboard that another program keeps).
enum class FaultRepeat { once, fromThenOn };

}  // namespace grid
