#include "http/thread_pool.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>
#include <vector>

#include "rv_error.h"
#include "util/debug.h"

namespace {

constexpr const char *kTag = "THREAD_POOL";

std::atomic<int> s_debug_verbose{1};

// V lines of this module, gated by its own switch.
#define POOL_LOGV(...)                                         \
    do {                                                       \
        if (s_debug_verbose.load(std::memory_order_relaxed)) { \
            LOGV(kTag, __VA_ARGS__);                           \
        }                                                      \
    } while (0)

struct Task {
    thread_pool_task function;
    void *argument;
    thread_pool_discard discard;
};

struct Pool {
    std::deque<Task> queue;  // waiting tasks; a task taken by a worker has left it
    std::vector<std::thread> threads;
    int queue_limit = 0;
    bool shutdown = false;
};

// Guards s_thread_pool and every field of the pool it points to. Taken by the
// workers, by every thread that adds a task, and by init/final.
std::mutex s_lock;
// Signalled once per queued task, broadcast at shut-down.
std::condition_variable s_wake;
std::unique_ptr<Pool> s_thread_pool;

thread_local bool t_on_worker = false;

void worker_main(Pool *pool, int index) {
    t_on_worker = true;
    POOL_LOGV("thread[%d] is started \n", index);
    std::unique_lock<std::mutex> lock(s_lock);
    for (;;) {
        while (pool->queue.empty() && !pool->shutdown) {
            POOL_LOGV("thread[%d] is waiting \n", index);
            s_wake.wait(lock);
        }
        if (pool->shutdown) {
            POOL_LOGV("thread[%d] will exit \n", index);
            return;
        }
        Task task = pool->queue.front();
        pool->queue.pop_front();
        lock.unlock();
        POOL_LOGV("thread[%d] is working \n", index);
        task.function(task.argument);
        lock.lock();
    }
}

// Stops and joins the workers of a pool that was never published.
void abandon(Pool &pool) {
    {
        std::lock_guard<std::mutex> lock(s_lock);
        pool.shutdown = true;
    }
    s_wake.notify_all();
    for (std::thread &t : pool.threads) {
        t.join();
    }
}

}  // namespace

extern "C" int thread_pool_init(int max_thread_num, int max_queue_size) {
    POOL_LOGV("thread pool init now: max_thread_num = %d, max_queue_size = %d \n", max_thread_num,
              max_queue_size);
    if (max_thread_num < 1) {
        return RVE_BAD_ARGS;  // a pool without workers would never run a task
    }
    {
        std::lock_guard<std::mutex> lock(s_lock);
        if (s_thread_pool) {
            return RVE_NOT_READY;
        }
    }
    std::unique_ptr<Pool> pool;
    try {
        pool = std::make_unique<Pool>();
        pool->queue_limit = max_queue_size;
        pool->threads.reserve(static_cast<size_t>(max_thread_num));
    } catch (const std::bad_alloc &) {
        return RVE_NO_MEMORY;
    }
    // Workers wait on a pool nobody can reach yet; it is published only once all started.
    for (int i = 0; i < max_thread_num; ++i) {
        try {
            pool->threads.emplace_back(worker_main, pool.get(), i);
        } catch (const std::system_error &e) {
            LOGE(kTag, "thread pool create thread[%d] failed: %s \n", i, e.what());
            abandon(*pool);
            return RVE_FAILED;
        } catch (const std::bad_alloc &) {
            // The workers already started must be joined before the pool goes.
            LOGE(kTag, "thread pool create thread[%d] failed: out of memory \n", i);
            abandon(*pool);
            return RVE_NO_MEMORY;
        }
    }
    {
        std::lock_guard<std::mutex> lock(s_lock);
        s_thread_pool = std::move(pool);
    }
    POOL_LOGV("thread pool init over\n");
    return RVE_OK;
}

extern "C" int thread_pool_add_task_ex(thread_pool_task function, void *argument,
                                       thread_pool_discard discard) {
    {
        std::lock_guard<std::mutex> lock(s_lock);
        if (!s_thread_pool || s_thread_pool->shutdown) {
            return RVE_NOT_READY;
        }
        if (function == nullptr) {
            return RVE_BAD_ARGS;
        }
        std::deque<Task> &queue = s_thread_pool->queue;
        if (static_cast<int64_t>(queue.size()) >= s_thread_pool->queue_limit) {
            LOGW(kTag, "current queue size up to the max queue size!\n");
            return RVE_QUEUE_FULL;
        }
        try {
            queue.push_back(Task{function, argument, discard});
        } catch (const std::bad_alloc &) {
            return RVE_NO_MEMORY;
        }
        POOL_LOGV("thread poll add task: left %d task waiting \n", static_cast<int>(queue.size()));
    }
    s_wake.notify_one();
    return RVE_OK;
}

extern "C" int thread_pool_set_queue_limit(int max_queue_size) {
    std::lock_guard<std::mutex> lock(s_lock);
    if (!s_thread_pool) {
        return RVE_NOT_READY;
    }
    s_thread_pool->queue_limit = max_queue_size;
    return RVE_OK;
}

extern "C" int thread_pool_add_task(thread_pool_task function, void *argument) {
    return thread_pool_add_task_ex(function, argument, nullptr);
}

extern "C" int thread_pool_final_ex(thread_pool_interrupt interrupt) {
    if (t_on_worker) {
        LOGE(kTag, "thread pool final called on a worker thread, refused \n");
        return RVE_NOT_READY;
    }
    std::vector<std::thread> threads;
    {
        std::lock_guard<std::mutex> lock(s_lock);
        if (!s_thread_pool || s_thread_pool->shutdown) {
            return RVE_NOT_READY;
        }
        s_thread_pool->shutdown = true;
        threads = std::move(s_thread_pool->threads);
        POOL_LOGV("thread pool shutdown: left %d task ignored\n",
                  static_cast<int>(s_thread_pool->queue.size()));
    }
    s_wake.notify_all();
    if (interrupt != nullptr) {
        interrupt();
    }
    for (std::thread &t : threads) {
        t.join();
    }
    std::deque<Task> dropped;
    {
        std::lock_guard<std::mutex> lock(s_lock);
        dropped.swap(s_thread_pool->queue);
        s_thread_pool.reset();
    }
    for (const Task &task : dropped) {
        if (task.discard != nullptr) {
            task.discard(task.argument);
        }
    }
    POOL_LOGV("thread pool shutdown over\n");
    return RVE_OK;
}

extern "C" int thread_pool_is_worker(void) {
    return t_on_worker ? 1 : 0;
}

extern "C" int thread_pool_final(void) {
    return thread_pool_final_ex(nullptr);
}

extern "C" void thread_pool_verbose(int on) {
    s_debug_verbose.store(on, std::memory_order_relaxed);
}
