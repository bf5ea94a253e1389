// rv_addPlayerListener and the callback dispatcher: every event reaches every
// listener with its own pointer, an older and shorter record is read no
// further than its size, removals wait for calls elsewhere, and with a
// dispatcher every call runs on the loop, oldest first, none once removed,
// and what is still queued runs inside rv_releaseSdk.
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <functional>
#include <future>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "player/player_state_listener.h"
#include "rv_dispatch.h"
#include "rv_error.h"
#include "rv_sdk.h"

namespace {

using namespace std::chrono_literals;
using Lines = std::vector<std::string>;

std::mutex g_mutex;  // guards g_heard and g_threads
Lines g_heard;
std::vector<std::thread::id> g_threads;
std::function<void()> g_inside;  // set while no event runs; runs inside each call

std::string describe(int64_t v) {
    return std::to_string(v);
}
std::string describe(const dao_play_item *item) {
    return "item " + std::to_string(item->audioId);
}
template <class... A>
void hook(void *user, A... args) {
    std::string text = static_cast<const char *>(user);
    ((text += " " + describe(args)), ...);
    {
        std::lock_guard lock(g_mutex);
        g_heard.push_back(text);
        g_threads.push_back(std::this_thread::get_id());
    }
    if (g_inside) {
        g_inside();
    }
}
Lines take() {
    std::lock_guard lock(g_mutex);
    g_threads.clear();
    return std::exchange(g_heard, {});
}

// Every slot wired today, pointing at the hook.
rv_player_events all_slots() {
    rv_player_events e{};
    e.struct_size = sizeof e;
    e.on_prepare_complete = hook;
    e.on_playing = hook;
    e.on_paused = hook;
    e.on_progress = hook<int32_t, int64_t, int64_t>;
    e.on_error = hook<int32_t, int32_t>;
    e.on_play_end = hook;
    e.on_seek_start = hook;
    e.on_seek_complete = hook;
    e.on_buffering_start = hook;
    e.on_buffering_complete = hook;
    e.on_download_progress = hook<int64_t, int64_t>;
    e.on_live_program_updated = hook<const dao_play_item *>;
    return e;
}

// The record a program built before the download-progress slot hands over.
constexpr std::size_t kTenSlots = offsetof(rv_player_events, on_download_progress);

// Zero-filled bytes at the very end of a page followed by an inaccessible one.
rv_player_events *guarded_tail(std::size_t bytes) {
    const auto page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    auto *base = static_cast<char *>(
        mmap(nullptr, 2 * page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
    EXPECT_EQ(mprotect(base + page, page, PROT_NONE), 0);
    return reinterpret_cast<rv_player_events *>(base + page - bytes);
}

dao_play_item g_item = [] {
    dao_play_item item{};
    item.audioId = 77;
    return item;
}();

struct Row {
    void (*fire)();
    const char *heard;  // the arguments as the hook writes them
    bool in_ten_slots;
};
const Row kRows[] = {
    {setUserPlayerStateListener_OnPrepareComplete, "", true},
    {setUserPlayerStateListener_OnPlaying, "", true},
    {setUserPlayerStateListener_OnPaused, "", true},
    {[] { setUserPlayerStateListener_OnProgress(1, 5000000000, 6000000000); },
     " 1 5000000000 6000000000", true},
    {[] { setUserPlayerStateListener_OnError(RV_ERROR_WHAT_ENGINE, -3); }, " 100 -3", true},
    {setUserPlayerStateListener_OnPlayEnd, "", true},
    {setUserPlayerStateListener_OnSeekStart, "", true},
    {setUserPlayerStateListener_OnSeekComplete, "", true},
    {setUserPlayerStateListener_OnBufferingStart, "", true},
    {setUserPlayerStateListener_OnBufferingComplete, "", true},
    {[] { setUserDownloadProgressListener_OnDownloadProgress(10, 20); }, " 10 20", false},
    {[] { setUserBroadcastListener_OnLiveProgramUpdated(&g_item); }, " item 77", false},
};

rv_listener_id add(const rv_player_events &events, const char *user) {
    rv_listener_id id = 0;
    EXPECT_EQ(rv_addPlayerListener(&events, const_cast<char *>(user), &id), RVE_OK);
    EXPECT_NE(id, 0u);
    return id;
}

TEST(PlayerEvents, EveryEventReachesEveryListenerWithItsOwnPointer) {
    const rv_player_events events = all_slots();
    rv_player_events *older = guarded_tail(kTenSlots);
    std::memcpy(older, &events, kTenSlots);
    older->struct_size = kTenSlots;

    const rv_listener_id a = add(events, "A");
    const rv_listener_id b = add(events, "B");
    const rv_listener_id old = add(*older, "old");
    for (const Row &row : kRows) {
        SCOPED_TRACE(&row - kRows);
        row.fire();
        Lines expected{std::string("A") + row.heard, std::string("B") + row.heard};
        if (row.in_ten_slots) {
            expected.push_back(std::string("old") + row.heard);
        }
        EXPECT_EQ(take(), expected);
    }
    EXPECT_EQ(rv_removePlayerListener(b), RVE_OK);
    EXPECT_EQ(rv_removePlayerListener(b), RVE_BAD_ARGS);
    setUserPlayerStateListener_OnPlaying();
    EXPECT_EQ(take(), (Lines{"A", "old"}));

    rv_player_events no_size = events;
    no_size.struct_size = 0;
    EXPECT_EQ(rv_addPlayerListener(nullptr, nullptr, nullptr), RVE_BAD_ARGS);
    EXPECT_EQ(rv_addPlayerListener(&no_size, nullptr, nullptr), RVE_BAD_ARGS);
    // Sizes no record has: they would copy part of a slot's pointer.
    const size_t slot = sizeof events.on_playing;
    for (const size_t garbage :
         {sizeof(size_t) - 1, kTenSlots + slot / 2, sizeof events - 1, sizeof events + 3}) {
        no_size.struct_size = garbage;
        EXPECT_EQ(rv_addPlayerListener(&no_size, nullptr, nullptr), RVE_BAD_ARGS) << garbage;
    }
    EXPECT_EQ(rv_removePlayerListener(a), RVE_OK);
    EXPECT_EQ(rv_removePlayerListener(old), RVE_OK);
    setUserPlayerStateListener_OnPlaying();
    EXPECT_TRUE(take().empty());
}

TEST(PlayerEvents, RemovalWaitsForACallOnAnotherThreadButNotForItsOwn) {
    rv_listener_id id = add(all_slots(), "A");
    std::promise<void> entered;
    std::atomic<bool> removing{false}, finished{false};
    g_inside = [&] {
        entered.set_value();
        while (!removing) {
            std::this_thread::yield();
        }
        std::this_thread::sleep_for(20ms);  // a removal that does not wait returns meanwhile
        finished = true;
    };
    std::thread event(setUserPlayerStateListener_OnPlaying);
    entered.get_future().wait();
    removing = true;
    EXPECT_EQ(rv_removePlayerListener(id), RVE_OK);
    EXPECT_TRUE(finished);
    event.join();
    EXPECT_EQ(take(), Lines{"A"});

    // From inside its own call (a hang fails by timeout).
    id = add(all_slots(), "A");
    g_inside = [&] { EXPECT_EQ(rv_removePlayerListener(id), RVE_OK); };
    setUserPlayerStateListener_OnPlaying();
    g_inside = nullptr;
    setUserPlayerStateListener_OnPlaying();
    EXPECT_EQ(take(), Lines{"A"});

    // From inside another listener's call, while the removed one runs on another thread:
    // the removal waits for that call (the application frees the listener's data next).
    static std::promise<void> s_entered, s_removed;
    static std::atomic<bool> s_finished{false}, s_waited{false};
    rv_player_events slow{}, remover{};
    slow.struct_size = remover.struct_size = sizeof slow;
    slow.on_playing = [](void *) {
        s_entered.set_value();
        // A removal that does not wait returns meanwhile.
        (void)s_removed.get_future().wait_for(2s);
        s_finished = true;
    };
    remover.on_paused = [](void *user) {
        EXPECT_EQ(rv_removePlayerListener(*static_cast<rv_listener_id *>(user)), RVE_OK);
        s_waited = s_finished.load();
        s_removed.set_value();
    };
    rv_listener_id slow_id = 0, remover_id = 0;
    ASSERT_EQ(rv_addPlayerListener(&slow, nullptr, &slow_id), RVE_OK);
    ASSERT_EQ(rv_addPlayerListener(&remover, &slow_id, &remover_id), RVE_OK);
    std::thread slow_event(setUserPlayerStateListener_OnPlaying);
    s_entered.get_future().wait();
    setUserPlayerStateListener_OnPaused();
    slow_event.join();
    EXPECT_TRUE(s_waited) << "removed from another listener, it still ran on another thread";
    EXPECT_EQ(rv_removePlayerListener(remover_id), RVE_OK);
}

// The application's loop: the runs handed out, run when the test says.
struct Loop {
    std::mutex mutex;  // guards runs
    std::vector<std::pair<void (*)(void *), void *>> runs;

    static void post(void (*run)(void *), void *arg, void *user) {
        auto *loop = static_cast<Loop *>(user);
        std::lock_guard lock(loop->mutex);
        loop->runs.emplace_back(run, arg);
    }
    // Runs what was handed out, newest first: the calls still come oldest first.
    size_t run_backwards() {
        decltype(runs) taken;
        {
            std::lock_guard lock(mutex);
            taken.swap(runs);
        }
        std::reverse(taken.begin(), taken.end());
        for (const auto &[run, arg] : taken) {
            run(arg);
        }
        return taken.size();
    }
};

TEST(Dispatcher, CallsRunOnTheLoopOldestFirstNoneOnceRemovedAndTheRestAtRelease) {
    Loop loop;
    ASSERT_EQ(rv_setCallbackDispatcher(Loop::post, &loop), RVE_OK);
    const rv_listener_id id = add(all_slots(), "A");
    constexpr int kEach = 300;
    std::vector<std::thread> threads;
    for (int kind = 0; kind < 2; ++kind) {
        threads.emplace_back([kind] {
            for (int i = 0; i < kEach; ++i) {
                setUserPlayerStateListener_OnProgress(kind, i, 0);
            }
        });
    }
    setUserBroadcastListener_OnLiveProgramUpdated(&g_item);  // the loop gets its own copy
    g_item.audioId = 78;
    for (std::thread &t : threads) {
        t.join();
    }
    EXPECT_TRUE(take().empty());  // nothing ran on the SDK's threads
    EXPECT_EQ(loop.run_backwards(), 2 * kEach + 1u);
    std::vector<std::thread::id> threads_seen;
    Lines heard;
    {
        std::lock_guard lock(g_mutex);
        threads_seen = g_threads;
        heard = g_heard;
    }
    take();
    ASSERT_EQ(heard.size(), 2 * kEach + 1u);
    EXPECT_EQ(std::count(threads_seen.begin(), threads_seen.end(), std::this_thread::get_id()),
              static_cast<long>(heard.size()));
    // The programme as it was when the event was raised (the loop got a copy).
    EXPECT_EQ(std::count(heard.begin(), heard.end(), "A item 77"), 1);
    g_item.audioId = 77;
    int next[2] = {0, 0};
    for (const std::string &line : heard) {
        int kind = 0, position = 0;
        if (line != "A item 77") {
            ASSERT_EQ(std::sscanf(line.c_str(), "A %d %d", &kind, &position), 2) << line;
            EXPECT_EQ(position, next[kind]++) << "out of order";
        }
    }

    // Queued before the removal: never reaches the removed listener.
    setUserPlayerStateListener_OnPlaying();
    EXPECT_EQ(rv_removePlayerListener(id), RVE_OK);
    EXPECT_EQ(loop.run_backwards(), 1u);
    EXPECT_TRUE(take().empty());

    // Still queued at rv_releaseSdk (safe without a start-up): made by it, on
    // its thread; the runs handed out find nothing afterwards.
    const rv_listener_id b = add(all_slots(), "B");
    setUserPlayerStateListener_OnPaused();
    EXPECT_TRUE(take().empty());
    rv_releaseSdk();
    EXPECT_EQ(take(), Lines{"B"});
    EXPECT_EQ(loop.run_backwards(), 1u);
    EXPECT_TRUE(take().empty());

    // Without a dispatcher: at once, on the thread of the event.
    ASSERT_EQ(rv_setCallbackDispatcher(nullptr, nullptr), RVE_OK);
    setUserPlayerStateListener_OnPaused();
    EXPECT_EQ(take(), Lines{"B"});
    EXPECT_EQ(rv_removePlayerListener(b), RVE_OK);
}

}  // namespace
