// The worker pool: queue limit, FIFO order, shut-down that drops waiting tasks and waits
// for running ones, and refusal outside its lifetime.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <fstream>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

#include "http/test_support.h"
#include "http/thread_pool.h"
#include "rv_error.h"

namespace {

// Tasks that report when they start and block until the test opens their gate.
struct Gates {
    // Guards every field; tasks run on the pool's workers.
    std::mutex lock;
    std::condition_variable changed;
    std::vector<int> started;
    std::set<int> open;
    bool open_all = false;
    int finished = 0;

    bool wait_started(size_t n) {
        std::unique_lock<std::mutex> guard(lock);
        return changed.wait_for(guard, std::chrono::seconds(30),
                                [&] { return started.size() >= n; });
    }
    void release(int id) {
        std::lock_guard<std::mutex> guard(lock);
        open.insert(id);
        changed.notify_all();
    }
    void release_all() {
        std::lock_guard<std::mutex> guard(lock);
        open_all = true;
        changed.notify_all();
    }
};

struct Job {
    Gates *gates;
    int id;
};

void *gated_job(void *arg) {
    auto *job = static_cast<Job *>(arg);
    Gates &g = *job->gates;
    std::unique_lock<std::mutex> guard(g.lock);
    g.started.push_back(job->id);
    g.changed.notify_all();
    g.changed.wait(guard, [&] { return g.open_all || g.open.count(job->id) != 0; });
    ++g.finished;
    g.changed.notify_all();
    return nullptr;
}

bool wait_for_log(rv::test::LogCapture &log, const std::string &prefix) {
    for (int i = 0; i < 3000; ++i) {
        if (!log.messages("THREAD_POOL", prefix).empty()) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
}

TEST(ThreadPool, RefusesThe31stWaitingTaskAndShutsDownWithoutRunningWaitingOnes) {
    rv::test::LogCapture log;
    Gates gates;
    std::vector<Job> jobs;
    for (int i = 0; i < 40; ++i) {
        jobs.push_back(Job{&gates, i});
    }
    ASSERT_EQ(RVE_OK, thread_pool_init(3, 30));
    for (int i = 0; i < 3; ++i) {
        ASSERT_EQ(RVE_OK, thread_pool_add_task(gated_job, &jobs[i]));
    }
    ASSERT_TRUE(gates.wait_started(3));
    for (int i = 3; i < 33; ++i) {
        ASSERT_EQ(RVE_OK, thread_pool_add_task(gated_job, &jobs[i])) << i;
    }
    EXPECT_EQ(RVE_QUEUE_FULL, thread_pool_add_task(gated_job, &jobs[33]));
    EXPECT_EQ(1u,
              log.messages("THREAD_POOL", "current queue size up to the max queue size!").size());

    // One worker moves on: it takes the oldest waiting task, which frees one place.
    gates.release(gates.started[0]);
    ASSERT_TRUE(gates.wait_started(4));
    {
        std::lock_guard<std::mutex> guard(gates.lock);
        EXPECT_EQ(3, gates.started[3]);
    }
    EXPECT_EQ(RVE_OK, thread_pool_add_task(gated_job, &jobs[33]));
    EXPECT_EQ(RVE_QUEUE_FULL, thread_pool_add_task(gated_job, &jobs[34]));
    // The limit moves while the pool runs; a lower one drops nothing that waits.
    ASSERT_EQ(RVE_OK, thread_pool_set_queue_limit(31));
    EXPECT_EQ(RVE_OK, thread_pool_add_task(gated_job, &jobs[34]));
    EXPECT_EQ(RVE_QUEUE_FULL, thread_pool_add_task(gated_job, &jobs[35]));
    ASSERT_EQ(RVE_OK, thread_pool_set_queue_limit(10));
    EXPECT_EQ(RVE_QUEUE_FULL, thread_pool_add_task(gated_job, &jobs[35]));

    std::atomic<bool> final_returned{false};
    int final_rc = -1;
    std::thread stopper([&] {
        final_rc = thread_pool_final();
        final_returned = true;
    });
    ASSERT_TRUE(wait_for_log(log, "thread pool shutdown: left 31 task ignored"));
    EXPECT_FALSE(final_returned.load()) << "final must wait for the running tasks";
    gates.release_all();
    stopper.join();
    EXPECT_EQ(RVE_OK, final_rc);
    std::lock_guard<std::mutex> guard(gates.lock);
    EXPECT_EQ(4u, gates.started.size()) << "no waiting task may run after shut-down began";
    EXPECT_EQ(4, gates.finished);
}

void *no_op(void *) {
    return nullptr;
}

TEST(ThreadPool, RefusesOutsideItsLifetimeAndBadArguments) {
    int dummy = 0;
    EXPECT_EQ(RVE_NOT_READY, thread_pool_add_task(no_op, &dummy));
    EXPECT_EQ(RVE_NOT_READY, thread_pool_final());
    EXPECT_EQ(RVE_NOT_READY, thread_pool_set_queue_limit(5));
    EXPECT_EQ(RVE_BAD_ARGS, thread_pool_init(0, 30));  // no worker would ever run a task
    EXPECT_EQ(RVE_NOT_READY, thread_pool_add_task(no_op, &dummy));
    ASSERT_EQ(RVE_OK, thread_pool_init(2, -1));  // no room: every task is refused
    EXPECT_EQ(RVE_QUEUE_FULL, thread_pool_add_task(no_op, &dummy));
    ASSERT_EQ(RVE_OK, thread_pool_final());
    ASSERT_EQ(RVE_OK, thread_pool_init(2, 5));
    EXPECT_EQ(RVE_NOT_READY, thread_pool_init(2, 5));
    EXPECT_EQ(RVE_BAD_ARGS, thread_pool_add_task(nullptr, &dummy));
    EXPECT_EQ(RVE_OK, thread_pool_final());
    EXPECT_EQ(RVE_NOT_READY, thread_pool_final());
    EXPECT_EQ(RVE_NOT_READY, thread_pool_add_task(no_op, &dummy));
}

// Records the order tasks run in; the last one may queue a follow-up from its worker.
struct Ordered {
    // Guards order and follow_up_rc; written on the worker.
    std::mutex lock;
    std::condition_variable changed;
    std::vector<int> order;
    int follow_up_rc = -1;
};
struct OrderedJob {
    Ordered *state;
    int id;
    OrderedJob *follow_up;
};

void *ordered_job(void *arg) {
    auto *job = static_cast<OrderedJob *>(arg);
    int rc = -1;
    if (job->follow_up != nullptr) {
        rc = thread_pool_add_task(ordered_job, job->follow_up);
    }
    std::lock_guard<std::mutex> guard(job->state->lock);
    job->state->order.push_back(job->id);
    if (job->follow_up != nullptr) {
        job->state->follow_up_rc = rc;
    }
    job->state->changed.notify_all();
    return nullptr;
}

TEST(ThreadPool, RunsTasksInQueueOrderAndAcceptsFollowUpsFromAWorker) {
    Ordered state;
    OrderedJob follow_up{&state, 100, nullptr};
    std::vector<OrderedJob> jobs;
    for (int i = 0; i < 10; ++i) {
        jobs.push_back(OrderedJob{&state, i, i == 9 ? &follow_up : nullptr});
    }
    ASSERT_EQ(RVE_OK, thread_pool_init(1, 30));
    for (OrderedJob &job : jobs) {
        ASSERT_EQ(RVE_OK, thread_pool_add_task(ordered_job, &job));
    }
    {
        std::unique_lock<std::mutex> guard(state.lock);
        ASSERT_TRUE(state.changed.wait_for(guard, std::chrono::seconds(30),
                                           [&] { return state.order.size() == 11; }));
        EXPECT_EQ((std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 100}), state.order);
        EXPECT_EQ(RVE_OK, state.follow_up_rc);
    }
    EXPECT_EQ(RVE_OK, thread_pool_final());
}

void *refuse_final(void *arg) {
    *static_cast<std::atomic<int> *>(arg) = thread_pool_final();
    return nullptr;
}

TEST(ThreadPool, FinalFromAWorkerIsRefusedInsteadOfDeadlocking) {
    std::atomic<int> rc{-1};
    ASSERT_EQ(RVE_OK, thread_pool_init(1, 1));
    ASSERT_EQ(RVE_OK, thread_pool_add_task(refuse_final, &rc));
    for (int i = 0; i < 3000 && rc.load() == -1; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_EQ(RVE_NOT_READY, rc.load());
    EXPECT_EQ(RVE_OK, thread_pool_final());
}

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kSanitized = true;
#else
constexpr bool kSanitized = false;
#endif

// The child's exit code when the address-space cap did not take hold: qemu-user
// accepts setrlimit(RLIMIT_AS) but keeps the limit to itself.
constexpr int kCapIgnored = 20;

// In a child process whose address space is capped, so that worker stacks run out.
int start_with_capped_memory() {
    long pages = 0;
    std::ifstream("/proc/self/statm") >> pages;
    const rlim_t in_use = static_cast<rlim_t>(pages) * static_cast<rlim_t>(sysconf(_SC_PAGESIZE));
    rlimit cap{in_use + (48u << 20), RLIM_INFINITY};
    if (setrlimit(RLIMIT_AS, &cap) != 0) {
        return 10;
    }
    rlimit now{};
    if (getrlimit(RLIMIT_AS, &now) != 0 || now.rlim_cur != cap.rlim_cur) {
        return kCapIgnored;
    }
    if (thread_pool_init(64, 30) != RVE_FAILED) {
        return 11;
    }
    if (thread_pool_add_task(no_op, nullptr) != RVE_NOT_READY) {
        return 12;
    }
    if (thread_pool_init(2, 30) != RVE_OK || thread_pool_final() != RVE_OK) {
        return 13;
    }
    return 0;
}

// Death tests run before every other suite, so the fork is taken from a process
// without threads; the default style also needs no re-run of the binary, which an
// emulator without a binfmt handler cannot do.
TEST(ThreadPoolDeathTest, AWorkerThatCannotStartFailsInitAndLeavesNoPool) {
    if (kSanitized) {
        GTEST_SKIP() << "sanitizers reserve address space; the cap cannot be applied";
    }
    int code = -1;
    EXPECT_EXIT(
        std::exit(start_with_capped_memory()),
        [&code](int status) {
            code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            return true;
        },
        "");
    if (code == kCapIgnored) {
        GTEST_SKIP() << "the address-space cap is not applied here (an emulator keeps it)";
    }
    EXPECT_EQ(0, code);
}

}  // namespace
