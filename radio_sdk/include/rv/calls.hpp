/*
 * The radio SDK for C++20 (radio_sdk.hpp): how a C data call becomes a
 * callable or an rv::Future. Internal to the header; nothing here is API.
 */
#ifndef RV_CALLS_HPP
#define RV_CALLS_HPP

#include <cstdint>
#include <optional>
#include <string>
#include <type_traits>
#include <utility>

#include "error.hpp"
#include "function.hpp"
#include "future.hpp"
#include "values.hpp"

namespace rv {

namespace detail {

// What a data call delivers: one record of type C (count 1), which the
// receiver frees unless the SDK keeps it (`Owned` false: an item of the play
// list) ...
template <class C, bool Owned = true>
struct One {
    using CType = C;
    using Value = decltype(Record<C>::value(std::declval<const C &>()));
    static void del(C *record) {
        if constexpr (Owned) {
            Record<C>::del(record);
        }
    }
    static Value value(const C *record) {
        if (record == nullptr) {
            throw Error(RVE_BAD_RESPONSE, "no record delivered");
        }
        return Record<C>::value(*record);
    }
};

// ... or a bare List of records of type C.
template <class C>
struct ListOf {
    using CType = List;
    using Value = decltype(values<C>(nullptr));
    static void del(List *list) { ListFree(list); }
    static Value value(const List *list) { return values<C>(list); }
};

// ... or nothing: the call only succeeds or fails.
struct NoData {
    using CType = void;
    using Value = void;
    static void del(void *) {}
};

// The logger's logout() (rv_logout.h) under another name, so that this header
// still compiles beside <utmp.h>, which declares a different logout().
extern "C" void sdk_logout(int level, int color, const char *letter, const char *tag,
                           const char *fmt, ...) __asm__("logout")
    __attribute__((format(printf, 5, 6)));

inline void log_dropped_exception(const char *where) noexcept {
    sdk_logout(2, 2, "E", "RADIO_SDK_HPP", "%s: the application's callable threw; dropped\n",
               where);
}

// One call in flight: the application's callable, reclaimed by the SDK's
// result callback (which runs exactly once) and destroyed after it has run.
template <class Shape, class F>
class Pending {
  public:
    Pending(F fn, const char *name) : fn_(std::move(fn)), name_(name) {}

    static void deliver(int code, void *data, int, void *user) noexcept {
        const Box<Pending> self(static_cast<Pending *>(user));
        auto *owned = static_cast<typename Shape::CType *>(data);
        using Value = typename Shape::Value;
        std::optional<Stored<Value>> value;
        if (code == RVE_OK) {
            try {
                if constexpr (std::is_void_v<Value>) {
                    value.emplace();
                } else {
                    value.emplace(Shape::value(owned));
                }
            } catch (const Error &e) {
                code = e.code();
            } catch (...) {
                code = RVE_NO_MEMORY;
            }
        }
        Shape::del(owned);  // every failure of Shape::value is caught above
        try {
            if (!value) {
                self->fn_(Error(code, self->name_, rv_lastServiceMessage()));
            } else if constexpr (std::is_void_v<Value>) {
                self->fn_();
            } else {
                self->fn_(std::move(*value));
            }
        } catch (...) {
            log_dropped_exception(self->name_);
        }
    }

  private:
    F fn_;
    const char *name_;
};

// A data call's leading arguments, kept for the call: args(a...)(fn, done, user)
// calls fn(a..., done, user).
template <class... A>
auto args(A... a) {
    return [a...](auto fn, rv_result_callback done, void *user) { fn(a..., done, user); };
}

// Starts the C data function `fn` with `args` (made by args()) followed by the
// result callback and its user pointer. With a callable, that callable gets the
// value or an rv::Error; without one, the value arrives through the returned
// rv::Future.
template <class Shape, class CFn, class Args, class... F>
auto call(const char *name, CFn fn, Args args, F &&...on_done) {
    static_assert(sizeof...(F) <= 1, "pass one callable, or none for an rv::Future");
    using Value = typename Shape::Value;
    const auto start = [&]<class G>(G &&g) {
        using Call = Pending<Shape, std::decay_t<G>>;
        auto pending = Box<Call>::make(std::forward<G>(g), name);
        args(fn, &Call::deliver, pending.release());
    };
    if constexpr (sizeof...(F) == 0) {
        Promise<Value> promise;
        Future<Value> future = promise.future();
        start(std::move(promise));
        return future;
    } else {
        if constexpr (std::is_void_v<Value>) {
            static_assert((std::is_invocable_v<std::decay_t<F> &> && ...),
                          "the callable must accept no argument (success)");
        } else {
            static_assert((std::is_invocable_v<std::decay_t<F> &, Value &&> && ...),
                          "the callable must accept the call's value");
        }
        static_assert((std::is_invocable_v<std::decay_t<F> &, const Error &> && ...),
                      "the callable must accept an rv::Error");
        (start(std::forward<F>(on_done)), ...);
    }
}

inline const char *c_str(const std::optional<std::string> &s) {
    return s ? s->c_str() : nullptr;
}

// The init callback's outcome, shared by the constructor and the callback
// (which may come late, after a timed-out constructor has given up).
class InitWait : public Counted {
  public:
    // `user` is a reference made by Ref<InitWait>::share().
    static void deliver(int code, void *, int, void *user) noexcept {
        const Ref<InitWait> self = Ref<InitWait>::adopt(static_cast<InitWait *>(user));
        Lock lock(self->signal_.mutex());
        try {
            self->service_message_ = rv_lastServiceMessage();
        } catch (...) {
            // The code alone still ends the wait.
        }
        self->code_ = code;
        self->signal_.notify_all();
    }
    // The service's message with the outcome (rv_lastServiceMessage); "" before it.
    std::string service_message() {
        Lock lock(signal_.mutex());
        return service_message_;
    }
    // With `pump`, runs the callbacks queued for the application's loop while
    // it waits: with a dispatcher the init callback is one of them.
    std::optional<int> wait_for(Milliseconds timeout, bool pump = false) {
        constexpr int64_t kPumpStep = 20'000'000;
        const int64_t until = now_ns() + timeout.count() * 1'000'000;
        for (;;) {
            if (pump) {
                rv_runCallbacks();
            }
            const int64_t step = pump ? now_ns() + kPumpStep : until;
            Lock lock(signal_.mutex());
            while (!code_ && signal_.wait_until(step < until ? step : until)) {
            }
            if (code_ || now_ns() >= until) {
                return code_;
            }
        }
    }

  private:
    // Guards code_ and service_message_; written by the init callback (calling or
    // worker thread).
    Signal signal_;
    std::optional<int> code_;
    std::string service_message_;
};

}  // namespace detail

}  // namespace rv

#endif
