#include "core/Assert.h"

#include <cstdio>
#include <cstdlib>

namespace grid {

void assertionFailed(const char* condition, const char* file, int line) {
    std::fprintf(stderr, "%s:%d: assertion failed: %s\n", file, line, condition);
    std::fflush(stderr);
    std::abort();
}

}  // namespace grid
