// playerCb's slots and the player global mutex.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "player/notification_recorder.h"
#include "player/player_manager.h"

namespace {

using Lines = std::vector<std::string>;

void notify_every_slot() {
    notifyOnPrepareComplete();
    notifyOnPlaying(11);
    notifyOnError(100, -2, 3);
    notifyOnProgress(40, 50);
    notifyOnPaused();
    notifyOnStopped();
    notifyOnSeekStart();
    notifyOnSeekComplete();
    notifyOnDownloadProgress(-6, 7);
    notifyOnBufferingStart();
    notifyOnBufferingComplete();
    notifyOnPlayEnd();
}

TEST(PlayerCallbacks, EachNotificationReachesItsOwnSlotWithItsArguments) {
    rv::test::Notifications notes;
    notify_every_slot();
    EXPECT_EQ(notes.take(),
              (Lines{"PrepareComplete", "Playing 11", "Error 100 -2 3", "Progress 40 50", "Paused",
                     "Stopped", "SeekStart", "SeekComplete", "DownloadProgress -6 7",
                     "BufferingStart", "BufferingComplete", "PlayEnd"}));
}

TEST(PlayerCallbacks, UnregisterClearsAllTwelveSlots) {
    rv::test::Notifications notes;
    EXPECT_EQ(unregister_cb_player_status(), 0);
#define RV_EXPECT_CLEARED(Name, params, args) EXPECT_EQ(playerCb.on##Name.load(), nullptr) << #Name;
    RV_PLAYER_CB_SLOTS(RV_EXPECT_CLEARED)
#undef RV_EXPECT_CLEARED
    notify_every_slot();  // dropped silently
    EXPECT_TRUE(notes.take().empty());
}

TEST(PlayerCallbacks, RegisteringReplacesTheHandler) {
    rv::test::Notifications notes;
    register_cb_onPlayEnd([] { rv::test::Notifications::add("second"); });
    notifyOnPlayEnd();
    EXPECT_EQ(notes.take(), Lines{"second"});
}

// Slots are replaced on one thread while another notifies: every notification
// reaches either no handler or a whole one (ThreadSanitizer checks the slots).
std::atomic<int> g_handled{0};
TEST(PlayerCallbacks, RegisteringWhileNotifyingIsSafe) {
    rv::test::Notifications notes;
    std::atomic<bool> stop{false};
    int notified = 0;
    std::thread notifier([&] {
        while (!stop || notified < 1000) {
            notifyOnProgress(1, 2);
            ++notified;
        }
        // Seeing stop means the last registration is done: this one must reach it.
        notifyOnProgress(1, 2);
        ++notified;
    });
    const player_cb_onProgress handler = [](int64_t, int64_t) { ++g_handled; };
    for (int i = 0; i < 2000; ++i) {
        register_cb_onProgress(i % 2 ? nullptr : handler);
    }
    register_cb_onProgress(handler);
    stop = true;
    notifier.join();
    EXPECT_GT(g_handled.load(), 0);
    EXPECT_LE(g_handled.load(), notified);
}

// --- The player global mutex ------------------------------------------------------

class PlayerMutex : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(initPlayerManager()); }
    void TearDown() override { destroyPlayerManager(); }
    // try-lock from another thread: 0 (then unlocked again there) or 2 when held here.
    static int try_elsewhere() {
        int rc = -1;
        std::thread([&] {
            rc = player_global_mutex_try_lock();
            if (rc == 0) {
                player_global_mutex_unlock();
            }
        }).join();
        return rc;
    }
};

TEST_F(PlayerMutex, NestedLocksOnOneThreadHoldUntilTheLastUnlock) {
    EXPECT_EQ(player_global_mutex_lock(), 0);
    EXPECT_EQ(player_global_mutex_lock(), 0);
    EXPECT_EQ(player_global_mutex_try_lock(), 0);
    EXPECT_EQ(try_elsewhere(), 2);
    EXPECT_EQ(player_global_mutex_unlock(), 0);
    EXPECT_EQ(player_global_mutex_unlock(), 0);
    EXPECT_EQ(try_elsewhere(), 2);  // still held once
    EXPECT_EQ(player_global_mutex_unlock(), 0);
    EXPECT_EQ(try_elsewhere(), 0);
}

TEST_F(PlayerMutex, ExcludesOtherThreads) {
    int counter = 0;  // guarded by the player mutex alone
    auto work = [&] {
        for (int i = 0; i < 10000; ++i) {
            player_global_mutex_lock();
            player_global_mutex_lock();
            ++counter;
            player_global_mutex_unlock();
            player_global_mutex_unlock();
        }
    };
    std::thread a(work), b(work);
    a.join();
    b.join();
    EXPECT_EQ(counter, 20000);
}

TEST_F(PlayerMutex, AfterDestroyEveryOperationAnswersNotReady) {
    thread_mutex *const made = player_mutex.load();
    ASSERT_EQ(player_global_mutex_lock(), 0);
    EXPECT_TRUE(initPlayerManager());  // a second start keeps the mutex this thread holds
    EXPECT_EQ(player_mutex.load(), made);
    EXPECT_EQ(player_global_mutex_unlock(), 0);
    destroyPlayerManager();
    EXPECT_EQ(player_mutex.load(), nullptr);
    EXPECT_EQ(player_global_mutex_lock(), 3);
    EXPECT_EQ(player_global_mutex_try_lock(), 3);
    EXPECT_EQ(player_global_mutex_unlock(), 3);
    destroyPlayerManager();  // twice is harmless
    EXPECT_TRUE(initPlayerManager());
    EXPECT_EQ(player_global_mutex_lock(), 0);
    EXPECT_EQ(player_global_mutex_unlock(), 0);
}

// Threads inside the players while the SDK is released and started again,
// over and over: each hold that was granted excludes every other and is let go
// by its unlock; none locks a mutex that release took away under it.
TEST_F(PlayerMutex, HoldsRacingReleaseAndStartExcludeEachOtherAndAreLetGo) {
    std::atomic<int> inside{0}, overlaps{0}, lost_unlocks{0};
    std::atomic<bool> done{false};
    auto work = [&] {
        while (!done.load()) {
            if (player_global_mutex_lock() != 0) {
                continue;
            }
            overlaps += inside.fetch_add(1) != 0;
            inside.fetch_sub(1);
            lost_unlocks += player_global_mutex_unlock() != 0;
        }
    };
    std::thread a(work), b(work);
    for (int round = 0; round < 2000; ++round) {
        destroyPlayerManager();
        ASSERT_TRUE(initPlayerManager());
    }
    done.store(true);
    a.join();
    b.join();
    EXPECT_EQ(overlaps.load(), 0);
    EXPECT_EQ(lost_unlocks.load(), 0);
    EXPECT_EQ(try_elsewhere(), 0) << "a hold was never let go";
}

}  // namespace
