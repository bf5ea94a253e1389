#include "support/failing_alloc.h"

#include <dlfcn.h>

#include <atomic>
#include <cerrno>
#include <cstring>

namespace {

struct Armed {
    std::atomic<int> left{0};
    std::atomic<size_t> bytes{0};
};

Armed s_armed[2];

Armed &armed(rv::test::Alloc kind) {
    return s_armed[kind == rv::test::Alloc::Calloc ? 0 : 1];
}

bool from_sdk(void *caller) {
    Dl_info info{};
    return dladdr(caller, &info) != 0 && info.dli_fname != nullptr &&
           strstr(info.dli_fname, "libradio_sdk") != nullptr;
}

// True when this call is one of the armed failures (and uses it up).
bool take(rv::test::Alloc kind, size_t bytes, void *caller) {
    Armed &a = armed(kind);
    if (a.left.load() <= 0 || bytes != a.bytes.load() || !from_sdk(caller)) {
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

void fail_sdk_allocations(Alloc kind, size_t bytes, int count) {
    armed(kind).bytes = bytes;
    armed(kind).left = count;
}

int pending_failures(Alloc kind) {
    return armed(kind).left.load();
}

void stop_failing_allocations() {
    for (Armed &a : s_armed) {
        a.left = 0;
    }
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
