#include "session_retirer.h"

#include <new>

namespace orv {

SessionRetirer::SessionRetirer() : thread_([this] { run(); }) {}

SessionRetirer::~SessionRetirer() {
    {
        std::lock_guard lock(mu_);
        stop_ = true;
    }
    cv_.notify_all();
    thread_.join();
}

void SessionRetirer::retire(std::unique_ptr<Session> session) {
    if (!session) {
        return;
    }
    // Before the lock: a session waiting in await_idle sees its flag when woken below.
    session->abort();
    {
        std::lock_guard lock(mu_);
        try {
            queue_.push_back(std::move(session));
        } catch (const std::bad_alloc &) {
        }
    }
    cv_.notify_all();
    session.reset();  // only when it could not be queued: ended on this thread
}

void SessionRetirer::await_idle(const std::atomic<bool> &abort) {
    std::unique_lock lock(mu_);
    cv_.wait(lock, [&] { return abort.load() || (queue_.empty() && !ending_); });
}

void SessionRetirer::await_idle() {
    const std::atomic<bool> never{false};
    await_idle(never);
}

void SessionRetirer::run() {
    std::unique_lock lock(mu_);
    for (;;) {
        cv_.wait(lock, [this] { return stop_ || !queue_.empty(); });
        if (queue_.empty()) {
            return;
        }
        std::unique_ptr<Session> session = std::move(queue_.front());
        queue_.pop_front();
        ending_ = true;
        lock.unlock();
        session.reset();
        lock.lock();
        ending_ = false;
        cv_.notify_all();
    }
}

}  // namespace orv
