// Lets delayed answers and endless streams end promptly when the service stops.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace rvmock {

class StopSignal {
  public:
    // Sleeps up to `duration`; false as soon as the service is stopping.
    template <class Rep, class Period>
    bool sleep_for(std::chrono::duration<Rep, Period> duration) {
        std::unique_lock lock(mutex_);
        return !cv_.wait_for(lock, duration, [this] { return stopping_; });
    }
    bool stopping() const {
        std::lock_guard lock(mutex_);
        return stopping_;
    }
    void trigger() {
        {
            std::lock_guard lock(mutex_);
            stopping_ = true;
        }
        cv_.notify_all();
    }

  private:
    mutable std::mutex mutex_;  // guards stopping_; handler threads wait on cv_
    std::condition_variable cv_;
    bool stopping_ = false;
};

}  // namespace rvmock
