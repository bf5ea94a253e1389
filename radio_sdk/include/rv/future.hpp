/** @file
 * The radio SDK for C++20 (radio_sdk.hpp): rv::Future, the value a data call
 * returns when given no callable, and the waiting under it.
 *
 * Own types over POSIX threads rather than `<future>`, `<mutex>`,
 * `<condition_variable>` and `<chrono>`: with GCC 12 and C++20 those cost a
 * compile more than the rest of the header; `<pthread.h>` and `<atomic>` come
 * with radio_sdk.h already (bench/README.md).
 */
#ifndef RV_FUTURE_HPP
#define RV_FUTURE_HPP

#include <errno.h>
#include <pthread.h>
#include <time.h>

#include <atomic>
#include <cstdint>
#include <optional>
#include <type_traits>
#include <utility>

#include "error.hpp"
#include "function.hpp"

namespace rv {

/// Anything with count() and a period, as std::chrono::duration; the face
/// takes durations this way so that it need not include `<chrono>`.
template <class D>
concept Duration = requires(const D &d) {
    d.count();
    D::period::num;
    D::period::den;
};

/// A length of time in whole milliseconds (Config::start_timeout); made from
/// any std::chrono::duration (rounded down), or explicitly from a count.
class Milliseconds {
  public:
    /// `count` milliseconds.
    constexpr explicit Milliseconds(int64_t count = 0) noexcept : count_(count) {}
    /// `d` (a std::chrono::duration), rounded down; below 0 counts as 0.
    template <Duration D>
    constexpr Milliseconds(const D &d) noexcept;
    /// The number of milliseconds.
    constexpr int64_t count() const noexcept { return count_; }

  private:
    int64_t count_;
};

/// What rv::Future::wait_for found: the outcome is there, or the time ran out.
enum class FutureStatus {
    ready,   ///< the value or the error is there
    timeout  ///< not yet
};

namespace detail {

constexpr int64_t kNsPerSecond = 1'000'000'000;

// `d` in nanoseconds, clamped to 0 .. about 30 years.
template <Duration D>
constexpr int64_t nanoseconds(const D &d) noexcept {
    using P = typename D::period;
    const long double ns = static_cast<long double>(d.count()) * P::num * kNsPerSecond / P::den;
    constexpr int64_t kCap = kNsPerSecond * 1'000'000'000;
    return ns <= 0 ? 0 : ns >= kCap ? kCap : static_cast<int64_t>(ns);
}

inline int64_t now_ns() noexcept {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return t.tv_sec * kNsPerSecond + t.tv_nsec;
}

// A pthread mutex. Not recursive; never copied.
class Mutex {
  public:
    Mutex() = default;
    Mutex(const Mutex &) = delete;
    Mutex &operator=(const Mutex &) = delete;
    ~Mutex() { pthread_mutex_destroy(&mutex_); }
    void lock() noexcept { pthread_mutex_lock(&mutex_); }
    void unlock() noexcept { pthread_mutex_unlock(&mutex_); }

  private:
    friend class Signal;
    pthread_mutex_t mutex_ = PTHREAD_MUTEX_INITIALIZER;
};

// Holds a Mutex for its scope.
class Lock {
  public:
    explicit Lock(Mutex &mutex) noexcept : mutex_(mutex) { mutex_.lock(); }
    Lock(const Lock &) = delete;
    Lock &operator=(const Lock &) = delete;
    ~Lock() { mutex_.unlock(); }

  private:
    Mutex &mutex_;
};

// A condition variable on the monotonic clock with its mutex: wait and
// wait_until are called with mutex() held (through a Lock).
class Signal {
  public:
    Signal() noexcept {
        pthread_condattr_t attr;
        pthread_condattr_init(&attr);
        pthread_condattr_setclock(&attr, CLOCK_MONOTONIC);
        pthread_cond_init(&cond_, &attr);
        pthread_condattr_destroy(&attr);
    }
    Signal(const Signal &) = delete;
    Signal &operator=(const Signal &) = delete;
    ~Signal() { pthread_cond_destroy(&cond_); }

    Mutex &mutex() noexcept { return mutex_; }
    void notify_all() noexcept { pthread_cond_broadcast(&cond_); }
    void wait() noexcept { pthread_cond_wait(&cond_, &mutex_.mutex_); }
    // False once `deadline` (now_ns) has passed.
    bool wait_until(int64_t deadline) noexcept {
        timespec t{};
        t.tv_sec = deadline / kNsPerSecond;
        t.tv_nsec = deadline % kNsPerSecond;
        return pthread_cond_timedwait(&cond_, &mutex_.mutex_, &t) != ETIMEDOUT;
    }

  private:
    Mutex mutex_;
    pthread_cond_t cond_{};
};

// The count of Ref<S>: a shared object derives from it.
struct Counted {
    std::atomic<int> refs{1};
};

// Shared ownership of a Counted object, as std::shared_ptr; the last Ref
// destroys it. Copies may live on different threads.
template <class S>
class Ref {
  public:
    Ref() = default;
    static Ref make() { return Ref(Box<S>::make().release()); }
    // Takes over a reference handed out by share().
    static Ref adopt(S *shared) noexcept { return Ref(shared); }
    Ref(const Ref &other) noexcept : p_(other.share()) {}
    Ref(Ref &&other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
    Ref &operator=(Ref other) noexcept {
        std::swap(p_, other.p_);
        return *this;
    }
    ~Ref() {
        if (p_ != nullptr && p_->refs.fetch_sub(1, std::memory_order_acq_rel) == 1) {
            Box<S> gone(p_);
        }
    }

    // A new reference for a C user pointer, to be taken back with adopt().
    S *share() const noexcept {
        if (p_ != nullptr) {
            p_->refs.fetch_add(1, std::memory_order_relaxed);
        }
        return p_;
    }
    S *operator->() const noexcept { return p_; }
    S &operator*() const noexcept { return *p_; }
    explicit operator bool() const noexcept { return p_ != nullptr; }

  private:
    explicit Ref(S *adopted) noexcept : p_(adopted) {}
    S *p_ = nullptr;
};

// How a value waits in a call: Nothing for calls without data.
struct Nothing {};
template <class T>
using Stored = std::conditional_t<std::is_void_v<T>, Nothing, T>;

// What a Future and its Promise share; value and error guarded by the
// signal's mutex, set once.
template <class T>
struct FutureState : Counted {
    Signal signal;
    bool done = false;
    std::optional<Stored<T>> value;
    std::optional<Error> error;
};

template <class T>
class Promise;

}  // namespace detail

/// The outcome of a data call started without a callable, as std::future:
/// get() waits and returns the value or throws the rv::Error; once it has
/// returned, valid() is false. Move-only. One thread at a time may use one
/// rv::Future; the SDK's thread that answers may be another. Wait on it from the
/// application's own threads only, never from an SDK callback.
template <class T>
class Future {
  public:
    /// An empty future: valid() is false.
    Future() noexcept = default;
    Future(Future &&) noexcept = default;  ///< takes `other`'s outcome; `other` is left empty
    /// Takes `other`'s outcome, leaving `other` empty; its own is dropped.
    Future &operator=(Future &&) noexcept = default;
    Future(const Future &) = delete;
    Future &operator=(const Future &) = delete;
    ~Future() = default;

    /// True until get() has returned or thrown (and not for an empty future).
    bool valid() const noexcept { return static_cast<bool>(state_); }
    /// Waits for the outcome, then returns the value or throws its rv::Error.
    /// rv::Error RVE_BAD_ARGS when not valid().
    T get() {
        wait();
        const detail::Ref<detail::FutureState<T>> state = std::move(state_);
        if (state->error) {
            throw *state->error;
        }
        if constexpr (!std::is_void_v<T>) {
            return std::move(*state->value);
        }
    }
    /// Waits for the outcome. rv::Error RVE_BAD_ARGS when not valid().
    void wait() const {
        detail::Lock lock(state().signal.mutex());
        while (!state_->done) {
            state_->signal.wait();
        }
    }
    /// Waits at most `timeout` (a std::chrono::duration) for the outcome.
    /// rv::Error RVE_BAD_ARGS when not valid().
    template <Duration D>
    FutureStatus wait_for(const D &timeout) const {
        const int64_t deadline = detail::now_ns() + detail::nanoseconds(timeout);
        detail::Lock lock(state().signal.mutex());
        while (!state_->done && state_->signal.wait_until(deadline)) {
        }
        return state_->done ? FutureStatus::ready : FutureStatus::timeout;
    }

  private:
    friend class detail::Promise<T>;
    explicit Future(detail::Ref<detail::FutureState<T>> state) noexcept
        : state_(std::move(state)) {}
    detail::FutureState<T> &state() const {
        if (!state_) {
            throw Error(RVE_BAD_ARGS, "rv::Future: no outcome to wait for");
        }
        return *state_;
    }
    detail::Ref<detail::FutureState<T>> state_;
};

template <Duration D>
constexpr Milliseconds::Milliseconds(const D &d) noexcept
    : count_(detail::nanoseconds(d) / 1'000'000) {}

namespace detail {

// The callable behind the future form of a call. Destroyed unanswered (which
// the SDK's exactly-once answer rules out), it leaves RVE_FAILED rather than a
// future that never becomes ready.
template <class T>
class Promise {
  public:
    Promise() : state_(Ref<FutureState<T>>::make()) {}
    Promise(Promise &&) noexcept = default;
    Promise &operator=(Promise &&) noexcept = default;
    ~Promise() {
        if (state_) {
            finish([](FutureState<T> &s) { s.error.emplace(RVE_FAILED, "no answer"); });
        }
    }

    void operator()() requires std::is_void_v<T> {
        finish([](FutureState<T> &s) { s.value.emplace(); });
    }
    void operator()(Stored<T> &&value) requires(!std::is_void_v<T>) {
        finish([&](FutureState<T> &s) { s.value.emplace(std::move(value)); });
    }
    void operator()(const Error &error) {
        finish([&](FutureState<T> &s) { s.error.emplace(error); });
    }
    Future<T> future() const { return Future<T>(state_); }

  private:
    template <class Set>
    void finish(Set set) {
        FutureState<T> &s = *state_;
        Lock lock(s.signal.mutex());
        if (!s.done) {
            set(s);
            s.done = true;
            s.signal.notify_all();
        }
    }
    Ref<FutureState<T>> state_;
};

}  // namespace detail

}  // namespace rv

#endif
