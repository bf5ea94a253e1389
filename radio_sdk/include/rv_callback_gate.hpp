/*
 * C++ only, header only: how the SDK calls into an
 * application callback that another thread may unregister at any time. Not
 * part of the C API; nothing here crosses the library boundary.
 */
#ifndef RV_CALLBACK_GATE_HPP
#define RV_CALLBACK_GATE_HPP

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace rv::detail {

// One registration of an application callback: a record or function pointer
// T kept in an atomic the gate does not own. call() reads the registration
// once and marks the call in flight; set() replaces it and returns only when
// no other thread is inside a call into the previous value, so the caller may
// free that value afterwards. Calls made by the thread that calls set() are
// not waited for: a callback may unregister itself. The gate's lock is held
// only for that bookkeeping, never while the application runs, so a callback
// may take any lock and call back into the SDK.
template <class T>
class CallbackGate {
  public:
    explicit CallbackGate(std::atomic<T> &value) noexcept : value_(value) {}
    CallbackGate(const CallbackGate &) = delete;
    CallbackGate &operator=(const CallbackGate &) = delete;

    // Runs run(value) with the registered value unless none is registered.
    template <class Run>
    void call(Run &&run) {
        Call entry{nullptr, std::this_thread::get_id(), nullptr};
        {
            std::lock_guard lock(mutex_);
            entry.value = value_.load();
            if (entry.value == nullptr) {
                return;
            }
            entry.next = calls_;
            calls_ = &entry;
        }
        const Leave leave{*this, entry};
        run(entry.value);
    }

    // Registers `value` (null: none).
    void set(T value) {
        std::unique_lock lock(mutex_);
        const T old = value_.exchange(value);
        if (old != nullptr && old != value) {
            ended_.wait(lock, [&] { return !called_elsewhere(old); });
        }
    }
    // Registers `value` without waiting: no call starts into the previous
    // value from now on, but one running on another thread may still finish.
    void set_without_waiting(T value) {
        std::lock_guard lock(mutex_);
        value_.store(value);
    }

  private:
    struct Call {
        T value;
        std::thread::id thread;
        Call *next;
    };
    struct Leave {
        CallbackGate &gate;
        Call &entry;
        ~Leave() { gate.leave(entry); }
    };

    bool called_elsewhere(T value) const {
        for (const Call *c = calls_; c != nullptr; c = c->next) {
            if (c->value == value && c->thread != std::this_thread::get_id()) {
                return true;
            }
        }
        return false;
    }
    void leave(Call &entry) {
        std::lock_guard lock(mutex_);
        Call **link = &calls_;
        while (*link != &entry) {
            link = &(*link)->next;
        }
        *link = entry.next;
        ended_.notify_all();
    }

    std::atomic<T> &value_;
    // Guards calls_ (the calls in flight, each on its caller's stack) and
    // every change of value_; taken by calling and registering threads alike,
    // never across application code.
    std::mutex mutex_;
    std::condition_variable ended_;
    Call *calls_ = nullptr;
};

}  // namespace rv::detail

#endif
