// Allocation failures on demand, for tests of what the SDK does when memory
// runs out. A test binary that links failing_alloc.cpp interposes calloc,
// strdup and the plain operator new/delete; they behave normally except for
// the calls armed here. Only calls made by the SDK library itself count.
#ifndef RV_TESTS_SUPPORT_FAILING_ALLOC_H
#define RV_TESTS_SUPPORT_FAILING_ALLOC_H

#include <cstddef>

namespace rv::test {

enum class Alloc { Calloc, Strdup };
// Which threads an armed failure applies to: answers are built on the
// transport's threads, while the caller's thread copies the request.
enum class On { AnyThread, OtherThreads };

// The next `count` calls of `kind` that the SDK library itself makes (from any
// thread) for exactly `bytes` bytes (calloc: count times size; strdup: the
// length plus the terminator) return null. Calls from elsewhere, or of other
// sizes, are untouched; with On::OtherThreads, so are the calls of the thread
// that arms. Re-arming replaces the previous setting.
void fail_sdk_allocations(Alloc kind, size_t bytes, int count = 1, On on = On::AnyThread);
// Armed failures of `kind` that have not happened yet.
int pending_failures(Alloc kind);
// From now on, the `n`th allocation the SDK library makes (calloc, strdup or
// operator new, from any thread; n >= 1) fails: null, or std::bad_alloc from
// operator new. Later ones succeed. Re-arming restarts the count.
void fail_nth_sdk_allocation(long n);
// Whether the armed nth allocation has happened (and failed).
bool nth_allocation_failed();
// Disarms everything.
void stop_failing_allocations();

}  // namespace rv::test

#endif
