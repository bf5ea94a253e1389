// Tasks that go to the worker pool only once their time has come: the waits between
// attempts of a request. One timer thread holds them, so a wait never occupies a
// worker (three workers waiting a second each would stall every other request).
//
// Ownership: an added argument belongs to the queue until it is handed to the pool or
// to the end function, exactly once.
//
// Threading: add from any thread, workers included; start and stop from the thread
// that starts and stops the HTTP client.
#ifndef RV_HTTP_DELAY_QUEUE_H
#define RV_HTTP_DELAY_QUEUE_H

#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <thread>

#include "http/thread_pool.h"

namespace rv::http {

class DelayQueue {
  public:
    // Ends a task that will not run: its argument and the result to report.
    using End = void (*)(void *argument, int result);

    // `discard` is handed to the pool with each task (see thread_pool_add_task_ex).
    DelayQueue(thread_pool_discard discard, End end) : discard_(discard), end_(end) {}
    ~DelayQueue() { stop(); }
    DelayQueue(const DelayQueue &) = delete;
    DelayQueue &operator=(const DelayQueue &) = delete;

    // Starts the timer thread. Returns 0, or 2 when the thread cannot be made.
    int start();
    // Queues `task` on the pool after `delay`. Returns 0; 3 when stopped; 5 when memory
    // is short (the caller then keeps the argument). When the pool refuses the task at
    // its time, the end function gets the pool's code on the timer thread.
    int add(std::chrono::milliseconds delay, thread_pool_task task, void *argument);
    // Joins the timer thread, then ends every waiting task with 3 on this thread.
    void stop();

  private:
    struct Waiting {
        thread_pool_task task;
        void *argument;
    };
    using Clock = std::chrono::steady_clock;

    void run();

    const thread_pool_discard discard_;
    const End end_;
    // Guards waiting_ and running_ (adders on any thread, the timer thread, stop).
    std::mutex mutex_;
    std::condition_variable wake_;
    std::multimap<Clock::time_point, Waiting> waiting_;  // earliest first; ties in order
    bool running_ = false;
    std::thread thread_;
};

}  // namespace rv::http

#endif
