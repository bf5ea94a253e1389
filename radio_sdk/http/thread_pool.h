// The worker pool under the HTTP transport: a fixed set of threads running queued tasks
// (a function and one pointer) in first-in, first-out order.
//
// Ownership: the pool never owns a task's argument. On any non-zero result of an add
// function the caller keeps the argument and releases it. A task added with a discard
// function and dropped at shut-down is handed to that function exactly once.
//
// Threading: add functions may be called from any thread, workers included. Tasks run
// on the workers with no pool lock held. init and final are called from one thread,
// never from a worker.
#ifndef RV_HTTP_THREAD_POOL_H
#define RV_HTTP_THREAD_POOL_H

#include "rv_export.h"

RV_BEGIN_DECLS

// A task body; its return value is ignored.
typedef void *(*thread_pool_task)(void *argument);
// Receives the argument of a task that was dropped unrun at shut-down.
typedef void (*thread_pool_discard)(void *argument);
// Called once by thread_pool_final_ex between telling the workers to stop and joining them.
typedef void (*thread_pool_interrupt)(void);

// Starts max_thread_num workers with room for max_queue_size waiting tasks (none
// when it is 0 or below: every task is then refused with 7).
// Returns 0; 4 for a thread count below 1; 3 when a pool already exists; 5 when
// memory is short; 2 when a worker thread cannot be created (the workers already
// started are stopped and joined first). Blocks only to join those workers on failure.
RV_API int thread_pool_init(int max_thread_num, int max_queue_size);

// Queues a task. Returns 0 (a worker will run it); 3 when there is no pool or it is
// shutting down; 4 for a null function; 5 when memory is short; 7 when max_queue_size
// tasks are already waiting. Never blocks beyond the pool lock.
RV_API int thread_pool_add_task(thread_pool_task function, void *argument);

// Changes the pool's room for waiting tasks (as thread_pool_init's max_queue_size);
// tasks already waiting stay. Returns 0, or 3 when there is no pool. Never blocks
// beyond the pool lock.
RV_API int thread_pool_set_queue_limit(int max_queue_size);

// Stops the pool: running tasks finish, waiting tasks are dropped unrun, every worker
// is joined. Returns 0, or 3 when there is no pool (or it is already stopping, or the
// caller is a worker). Blocks until the running tasks have returned.
RV_API int thread_pool_final(void);

// 1 (default) shows this module's V lines, 0 hides them. Any thread.
RV_API void thread_pool_verbose(int on);

// As thread_pool_add_task; if the task is still waiting at shut-down, discard (when
// non-null) gets its argument on the thread calling thread_pool_final[_ex].
int thread_pool_add_task_ex(thread_pool_task function, void *argument, thread_pool_discard discard);

// As thread_pool_final; interrupt (when non-null) runs after the workers were told to
// stop and before they are joined, so that running tasks can be cut short. Dropped
// tasks are discarded after the join.
int thread_pool_final_ex(thread_pool_interrupt interrupt);

// 1 when the calling thread is one of the pool's workers, else 0.
int thread_pool_is_worker(void);

RV_END_DECLS

#endif
