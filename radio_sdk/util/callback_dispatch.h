// The queue behind rv_dispatch.h: application callbacks handed to the
// application's dispatcher instead of being run on the SDK's threads.
#ifndef RV_UTIL_CALLBACK_DISPATCH_H
#define RV_UTIL_CALLBACK_DISPATCH_H

#include <functional>
#include <new>

#include "rv_dispatch.h"

namespace rv::dispatch {

// One call into the application.
using Job = std::function<void()>;

// True while a dispatcher is set. Any thread, no lock.
bool active();
// Queues `job` and hands one run to the dispatcher; false (nothing queued)
// when no dispatcher is set. Throws std::bad_alloc.
bool enqueue(Job job);

// Makes the call into the application: on this thread now without a
// dispatcher (or when memory is short to queue it), else through the
// dispatcher. Call with no SDK lock held.
template <class Run>
void deliver(Run &&run) {
    if (active()) {
        try {
            if (enqueue(Job(run))) {
                return;
            }
        } catch (const std::bad_alloc &) {
            // Made here and now rather than lost.
        }
    }
    run();
}

// Shut-down, last step: every call still queued is made now, on this thread,
// in order; runs handed out earlier find nothing.
void run_all();

// The setters behind rv_setCallbackDispatcher and rv_getCallbackFd, for the
// caller that checked the SDK is stopped.
void set_dispatcher(rv_dispatch_post post, void *user);
int use_eventfd();
// rv_runCallbacks.
int run_pending();

}  // namespace rv::dispatch

#endif
