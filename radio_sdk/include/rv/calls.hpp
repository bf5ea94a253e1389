/*
 * The radio SDK for C++20 (radio_sdk.hpp): how a C data call becomes a
 * callable or a std::future. Internal to the header; nothing here is API.
 */
#ifndef RV_CALLS_HPP
#define RV_CALLS_HPP

#include <chrono>
#include <condition_variable>
#include <exception>
#include <future>
#include <memory>
#include <mutex>
#include <optional>
#include <tuple>
#include <type_traits>
#include <utility>

#include "error.hpp"
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

// How a value waits in a call: Nothing for calls without data.
struct Nothing {};
template <class T>
using Stored = std::conditional_t<std::is_void_v<T>, Nothing, T>;

// The callable behind the future form of a call.
template <class T>
class Promise {
  public:
    void operator()() requires std::is_void_v<T> { promise_.set_value(); }
    void operator()(Stored<T> &&value) requires(!std::is_void_v<T>) {
        promise_.set_value(std::move(value));
    }
    void operator()(const Error &error) { promise_.set_exception(std::make_exception_ptr(error)); }
    std::future<T> future() { return promise_.get_future(); }

  private:
    std::promise<T> promise_;
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
        std::unique_ptr<Pending> self(static_cast<Pending *>(user));
        std::unique_ptr<typename Shape::CType, void (*)(typename Shape::CType *)> owned(
            static_cast<typename Shape::CType *>(data), &Shape::del);
        using Value = typename Shape::Value;
        std::optional<Stored<Value>> value;
        if (code == RVE_OK) {
            try {
                if constexpr (std::is_void_v<Value>) {
                    value.emplace();
                } else {
                    value.emplace(Shape::value(owned.get()));
                }
            } catch (const Error &e) {
                code = e.code();
            } catch (...) {
                code = RVE_NO_MEMORY;
            }
        }
        owned.reset();
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

// Starts the C data function `fn` with `args` followed by the result callback
// and its user pointer. With a callable, that callable gets the value or an
// rv::Error; without one, the value arrives through the returned future.
template <class Shape, class CFn, class Args, class... F>
auto call(const char *name, CFn fn, Args args, F &&...on_done) {
    static_assert(sizeof...(F) <= 1, "pass one callable, or none for a std::future");
    using Value = typename Shape::Value;
    const auto start = [&]<class G>(G &&g) {
        using Call = Pending<Shape, std::decay_t<G>>;
        auto pending = std::make_unique<Call>(std::forward<G>(g), name);
        std::apply([&](auto... a) { fn(a..., &Call::deliver, pending.release()); }, args);
    };
    if constexpr (sizeof...(F) == 0) {
        Promise<Value> promise;
        std::future<Value> future = promise.future();
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
class InitWait {
  public:
    static void deliver(int code, void *, int, void *user) noexcept {
        std::unique_ptr<std::shared_ptr<InitWait>> self(
            static_cast<std::shared_ptr<InitWait> *>(user));
        std::lock_guard lock((*self)->mutex_);
        try {
            (*self)->service_message_ = rv_lastServiceMessage();
        } catch (...) {
            // The code alone still ends the wait.
        }
        (*self)->code_ = code;
        (*self)->done_.notify_all();
    }
    // The service's message with the outcome (rv_lastServiceMessage); "" before it.
    std::string service_message() {
        std::lock_guard lock(mutex_);
        return service_message_;
    }
    // With `pump`, runs the callbacks queued for the application's loop while
    // it waits: with a dispatcher the init callback is one of them.
    std::optional<int> wait_for(std::chrono::milliseconds timeout, bool pump = false) {
        const auto until = std::chrono::steady_clock::now() + timeout;
        std::unique_lock lock(mutex_);
        while (!code_ && std::chrono::steady_clock::now() < until) {
            if (pump) {
                lock.unlock();
                rv_runCallbacks();
                lock.lock();
            }
            const auto step =
                pump ? std::chrono::steady_clock::now() + std::chrono::milliseconds(20) : until;
            done_.wait_until(lock, step < until ? step : until,
                             [this] { return code_.has_value(); });
        }
        return code_;
    }

  private:
    // Guards code_ and service_message_; written by the init callback (calling or
    // worker thread).
    std::mutex mutex_;
    std::condition_variable done_;
    std::optional<int> code_;
    std::string service_message_;
};

}  // namespace detail

}  // namespace rv

#endif
