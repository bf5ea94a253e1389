#include "support/failing_alloc.h"

#include <dlfcn.h>
#include <execinfo.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <new>
#include <thread>

namespace {

struct Armed {
    std::atomic<int> left{0};
    std::atomic<size_t> bytes{0};
    // The thread whose calls are spared; a default id spares none.
    std::atomic<std::thread::id> spared{};
};

Armed s_armed[2];

// The countdown to the nth SDK allocation (0: not counting) and whether it came.
std::atomic<long> s_countdown{0};
std::atomic<bool> s_nth_failed{false};

Armed &armed(rv::test::Alloc kind) {
    return s_armed[kind == rv::test::Alloc::Calloc ? 0 : 1];
}

bool from_sdk(void *caller) {
    Dl_info info{};
    return dladdr(caller, &info) != 0 && info.dli_fname != nullptr &&
           strstr(info.dli_fname, "libradio_sdk") != nullptr;
}

// Whether the SDK library asked for this allocation, directly or through the
// C++ runtime, libcurl or libc: walking out from `caller` (the allocator's
// return address), the first frame outside shared system libraries decides.
// The test binary's own code (callbacks, the local service) does not count.
bool sdk_on_stack(void *caller) {
    thread_local bool walking = false;  // backtrace may allocate
    if (walking) {
        return false;
    }
    walking = true;
    void *frames[10];
    const int depth = backtrace(frames, 10);
    int i = 0;
    while (i < depth && frames[i] != caller) {
        ++i;
    }
    bool sdk = i == depth && from_sdk(caller);
    Dl_info first{};
    if (i < depth && dladdr(frames[i], &first) != 0 && first.dli_fname != nullptr &&
        strstr(first.dli_fname, "libc.so") != nullptr) {
        i = depth;  // the C library's own bookkeeping (thread exit handlers, ...)
    }
    for (; i < depth; ++i) {
        Dl_info info{};
        if (dladdr(frames[i], &info) == 0 || info.dli_fname == nullptr) {
            break;
        }
        if (strstr(info.dli_fname, "libradio_sdk") != nullptr) {
            sdk = true;
            break;
        }
        if (strstr(info.dli_fname, ".so") == nullptr) {
            break;
        }
    }
    walking = false;
    return sdk;
}

// True when this SDK allocation is the nth (and counts it).
bool take_nth(void *caller) {
    if (s_countdown.load() <= 0 || !sdk_on_stack(caller)) {
        return false;
    }
    if (s_countdown.fetch_sub(1) != 1) {
        return false;
    }
    s_nth_failed = true;
    return true;
}

// True when this call is one of the armed failures (and uses it up).
bool take(rv::test::Alloc kind, size_t bytes, void *caller) {
    if (take_nth(caller)) {
        return true;
    }
    Armed &a = armed(kind);
    if (a.left.load() <= 0 || bytes != a.bytes.load() ||
        std::this_thread::get_id() == a.spared.load() || !from_sdk(caller)) {
        return false;
    }
    int left = a.left.load();
    while (left > 0 && !a.left.compare_exchange_weak(left, left - 1)) {
    }
    return left > 0;
}

template <class Fn>
Fn next(const char *name) {
    return reinterpret_cast<Fn>(dlsym(RTLD_NEXT, name));
}

}  // namespace

namespace rv::test {

void fail_sdk_allocations(Alloc kind, size_t bytes, int count, On on) {
    armed(kind).spared = on == On::OtherThreads ? std::this_thread::get_id() : std::thread::id{};
    armed(kind).bytes = bytes;
    armed(kind).left = count;
}

int pending_failures(Alloc kind) {
    return armed(kind).left.load();
}

void fail_nth_sdk_allocation(long n) {
    void *warm[1];
    backtrace(warm, 1);  // its first call loads the unwinder
    s_nth_failed = false;
    s_countdown = n;
}

bool nth_allocation_failed() {
    return s_nth_failed.load();
}

void stop_failing_allocations() {
    for (Armed &a : s_armed) {
        a.left = 0;
    }
    s_countdown = 0;
}

}  // namespace rv::test

// Both stay visible to the SDK library whatever the default visibility is.
extern "C" __attribute__((visibility("default"))) void *calloc(size_t count, size_t size) noexcept {
    using Fn = void *(*)(size_t, size_t);
    static Fn real = next<Fn>("calloc");
    if (take(rv::test::Alloc::Calloc, count * size, __builtin_return_address(0))) {
        errno = ENOMEM;
        return nullptr;
    }
    return real(count, size);
}

extern "C" __attribute__((visibility("default"))) char *strdup(const char *text) noexcept {
    using Fn = char *(*)(const char *);
    static Fn real = next<Fn>("strdup");
    if (take(rv::test::Alloc::Strdup, strlen(text) + 1, __builtin_return_address(0))) {
        errno = ENOMEM;
        return nullptr;
    }
    return real(text);
}

// The plain and nothrow operators new and delete over malloc and free (so that
// sanitizers see matching pairs); new fails like the C allocators.
namespace {

void *new_block(size_t size, void *caller) {
    return take_nth(caller) ? nullptr : malloc(size != 0 ? size : 1);
}

void *new_or_throw(size_t size, void *caller) {
    if (void *p = new_block(size, caller)) {
        return p;
    }
    throw std::bad_alloc();
}

}  // namespace

void *operator new(size_t size) {
    return new_or_throw(size, __builtin_return_address(0));
}

void *operator new[](size_t size) {
    return new_or_throw(size, __builtin_return_address(0));
}

void *operator new(size_t size, const std::nothrow_t &) noexcept {
    return new_block(size, __builtin_return_address(0));
}

void *operator new[](size_t size, const std::nothrow_t &) noexcept {
    return new_block(size, __builtin_return_address(0));
}

void operator delete(void *p) noexcept {
    free(p);
}

void operator delete[](void *p) noexcept {
    free(p);
}

void operator delete(void *p, size_t) noexcept {
    free(p);
}

void operator delete[](void *p, size_t) noexcept {
    free(p);
}

void operator delete(void *p, const std::nothrow_t &) noexcept {
    free(p);
}

void operator delete[](void *p, const std::nothrow_t &) noexcept {
    free(p);
}
