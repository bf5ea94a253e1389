#include "http/delay_queue.h"

#include <new>
#include <system_error>

#include "rv_error.h"

namespace rv::http {

int DelayQueue::start() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (running_) {
        return RVE_NOT_READY;
    }
    try {
        thread_ = std::thread(&DelayQueue::run, this);
    } catch (const std::system_error &) {
        return RVE_FAILED;
    } catch (const std::bad_alloc &) {
        // Caught here so that the client's start-up undoes the pool it made.
        return RVE_NO_MEMORY;
    }
    running_ = true;
    return RVE_OK;
}

int DelayQueue::add(std::chrono::milliseconds delay, thread_pool_task task, void *argument) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!running_) {
        return RVE_NOT_READY;
    }
    try {
        waiting_.emplace(Clock::now() + delay, Waiting{task, argument});
    } catch (const std::bad_alloc &) {
        return RVE_NO_MEMORY;
    }
    wake_.notify_one();
    return RVE_OK;
}

void DelayQueue::stop() {
    std::multimap<Clock::time_point, Waiting> left;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        running_ = false;
        wake_.notify_one();
    }
    if (thread_.joinable()) {
        thread_.join();
    }
    {
        std::lock_guard<std::mutex> lock(mutex_);
        left.swap(waiting_);
    }
    for (auto &entry : left) {
        end_(entry.second.argument, RVE_NOT_READY);
    }
}

void DelayQueue::run() {
    std::unique_lock<std::mutex> lock(mutex_);
    while (running_) {
        if (waiting_.empty()) {
            wake_.wait(lock);
            continue;
        }
        auto first = waiting_.begin();
        if (first->first > Clock::now()) {
            wake_.wait_until(lock, first->first);
            continue;
        }
        const Waiting due = first->second;
        waiting_.erase(first);
        lock.unlock();  // the pool's lock is never taken under ours
        if (int rc = thread_pool_add_task_ex(due.task, due.argument, discard_); rc != RVE_OK) {
            end_(due.argument, rc);
        }
        lock.lock();
    }
}

}  // namespace rv::http
