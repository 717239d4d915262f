#pragma once
// GRID_ASSERT(condition): an invariant the code relies on. In the checked builds (the sanitizer and
// fuzz builds define GRID_CHECKED) a condition that does not hold stops the program at once, with
// the condition and its place on standard error; the programs users run leave the test out.
namespace grid {

[[noreturn]] void assertionFailed(const char* condition, const char* file, int line);

}  // namespace grid

#ifdef GRID_CHECKED
#define GRID_ASSERT(condition) ((condition) ? void(0) : ::grid::assertionFailed(#condition, __FILE__, __LINE__))
#else
#define GRID_ASSERT(condition) ((void)0)
#endif
