#include "util/callback_dispatch.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>

namespace rv::dispatch {

namespace {

// Guards the queue, the dispatcher and the eventfd. Taken by every thread
// that queues a call (workers, the engine's event thread, the programme clock,
// application threads), by the loop taking one, and by the setters; never
// held while the application's code (dispatcher or callback) runs.
std::mutex s_mutex;
std::deque<Job> s_queue;
rv_dispatch_post s_post = nullptr;
void *s_user = nullptr;
int s_eventfd = -1;  // made once, never closed: the application may still poll it
// Mirrors s_post != nullptr, for the path without a dispatcher.
std::atomic<bool> s_active{false};

void signal_eventfd(void (*)(void *), void *, void *) {
    const uint64_t one = 1;
    // Only fails when the counter is saturated: it is readable then anyway.
    [[maybe_unused]] const ssize_t written = write(s_eventfd, &one, sizeof one);
}

// One handed-out run: makes the oldest queued call, if any is left.
bool run_oldest() {
    std::optional<Job> job;
    {
        std::lock_guard lock(s_mutex);
        if (s_queue.empty()) {
            return false;
        }
        job.emplace(std::move(s_queue.front()));
        s_queue.pop_front();
    }
    (*job)();
    return true;
}

void run_one(void *) {
    run_oldest();
}

}  // namespace

bool active() {
    return s_active.load(std::memory_order_acquire);
}

bool enqueue(Job job) {
    rv_dispatch_post post;
    void *user;
    {
        std::lock_guard lock(s_mutex);
        if (s_post == nullptr) {
            return false;
        }
        s_queue.push_back(std::move(job));
        post = s_post;
        user = s_user;
    }
    post(run_one, nullptr, user);
    return true;
}

void run_all() {
    while (run_oldest()) {
    }
}

void set_dispatcher(rv_dispatch_post post, void *user) {
    std::lock_guard lock(s_mutex);
    s_post = post;
    s_user = user;
    s_active.store(post != nullptr, std::memory_order_release);
}

int use_eventfd() {
    std::lock_guard lock(s_mutex);
    if (s_eventfd < 0) {
        s_eventfd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
        if (s_eventfd < 0) {
            return -1;
        }
    }
    s_post = signal_eventfd;
    s_user = nullptr;
    s_active.store(true, std::memory_order_release);
    return s_eventfd;
}

int run_pending() {
    size_t waiting;
    {
        std::lock_guard lock(s_mutex);
        if (s_eventfd >= 0) {
            uint64_t count;
            [[maybe_unused]] const ssize_t got = read(s_eventfd, &count, sizeof count);
        }
        waiting = s_queue.size();
    }
    int ran = 0;
    // Only what was queued on entry: callbacks that queue more do not keep the loop here.
    while (waiting-- > 0 && run_oldest()) {
        ++ran;
    }
    return ran;
}

}  // namespace rv::dispatch
