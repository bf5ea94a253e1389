#include "event_thread.h"

namespace orv {

void EventThread::set_callback(orv_event_fn cb) {
    std::lock_guard lock(callback_mu_);
    source_callback_.store(nullptr);
    callback_.store(cb);
}

void EventThread::set_source_callback(orv_source_event_fn cb) {
    std::lock_guard lock(callback_mu_);
    callback_.store(nullptr);
    source_callback_.store(cb);
}

void EventThread::post(std::uint64_t generation, int what, int arg1, int arg2) {
    push(Event{generation, what, arg1, arg2, std::nullopt});
}

void EventThread::post(std::uint64_t generation, NowPlaying now) {
    push(Event{generation, 0, 0, 0, std::move(now)});
}

void EventThread::push(Event event) {
    std::lock_guard lock(mu_);
    if (!thread_.joinable()) {
        thread_ = std::thread([this, run_id = run_id_] { run(run_id); });
    }
    queue_.push_back(std::move(event));
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
        const Event ev = std::move(queue_.front());
        queue_.pop_front();
        lock.unlock();
        if (ev.generation == generation_.load()) {
            if (!ev.now) {
                if (orv_source_event_fn cb = source_callback_.load()) {
                    cb(ev.generation, ev.what, ev.arg1, ev.arg2);
                } else if (orv_event_fn plain = callback_.load()) {
                    plain(ev.what, ev.arg1, ev.arg2);
                }
            } else if (orv_metadata_fn cb = metadata_callback_.load()) {
                cb(ev.now->title.c_str(), ev.now->artist.c_str(), ev.now->url.c_str());
            }
        }
        lock.lock();
    }
}

}  // namespace orv
