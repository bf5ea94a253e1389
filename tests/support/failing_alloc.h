// Allocation failures on demand, for tests of what the SDK does when memory
// runs out. A test binary that links failing_alloc.cpp interposes calloc and
// strdup; they behave normally except for the calls armed here.
#ifndef RV_TESTS_SUPPORT_FAILING_ALLOC_H
#define RV_TESTS_SUPPORT_FAILING_ALLOC_H

#include <cstddef>

namespace rv::test {

enum class Alloc { Calloc, Strdup };

// The next `count` calls of `kind` that the SDK library itself makes (from any
// thread) for exactly `bytes` bytes (calloc: count times size; strdup: the
// length plus the terminator) return null. Calls from elsewhere, or of other
// sizes, are untouched. Re-arming replaces the previous setting.
void fail_sdk_allocations(Alloc kind, size_t bytes, int count = 1);
// Armed failures of `kind` that have not happened yet.
int pending_failures(Alloc kind);
// Disarms everything.
void stop_failing_allocations();

}  // namespace rv::test

#endif
