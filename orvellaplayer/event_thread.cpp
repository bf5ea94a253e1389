#include "event_thread.h"

namespace orv {

void EventThread::post(std::uint64_t generation, int what, int arg1, int arg2) {
    std::lock_guard lock(mu_);
    if (!thread_.joinable()) {
        thread_ = std::thread([this, run_id = run_id_] { run(run_id); });
    }
    queue_.push_back(Event{generation, what, arg1, arg2});
    cv_.notify_one();
}

void EventThread::stop() {
    std::thread finished;
    {
        std::lock_guard lock(mu_);
        ++run_id_;
        queue_.clear();
        finished = std::move(thread_);
        cv_.notify_one();
    }
    if (!finished.joinable()) {
        return;
    }
    if (finished.get_id() == std::this_thread::get_id()) {
        // A callback finalising the player: this thread ends once the callback returns.
        finished.detach();
    } else {
        finished.join();
    }
}

void EventThread::run(std::uint64_t run_id) {
    std::unique_lock lock(mu_);
    for (;;) {
        cv_.wait(lock, [&] { return run_id != run_id_ || !queue_.empty(); });
        if (run_id != run_id_) {
            return;
        }
        const Event ev = queue_.front();
        queue_.pop_front();
        lock.unlock();
        orv_event_fn cb = callback_.load();
        if (cb != nullptr && ev.generation == generation_.load()) {
            cb(ev.what, ev.arg1, ev.arg2);
        }
        lock.lock();
    }
}

}  // namespace orv
