// The programme clock, driven by scripted server-time answers and a short tick:
// when the alert comes, that one thread serves every programme, that a stop is
// prompt, and what a server-time answer does with the finish time it was given.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>
#include <string>
#include <thread>

#include "player/bcast_data_manager.h"
#include "player/bcast_play_manager.h"
#include "player/player_manager.h"
#include "player_harness.h"
#include "request/scripted_sdk.h"

namespace {

using namespace std::chrono_literals;
using rv::test::LogCapture;

constexpr const char *kClock = "_time_monitor_clock: ";
constexpr const char *kAlert = "_time_monitor_alert: ";

std::string clock_line(int64_t cur, int64_t end) {
    return kClock + std::to_string(cur) + " - " + std::to_string(end) + "\n";
}

struct ItemDel {
    void operator()(dao_play_item *item) const { dao_play_item_del(item); }
};
using ItemPtr = std::unique_ptr<dao_play_item, ItemDel>;

ItemPtr item_finishing_at(int64_t finish) {
    ItemPtr item(dao_play_item_new());
    item->finishTime = finish;
    item->status = RV_PLAY_STATUS_LIVE;
    return item;
}

class ProgrammeClock : public rv::test::ScriptedSdkTest {
  protected:
    void SetUp() override {
        ScriptedSdkTest::SetUp();
        bcast_enablePlayer();  // a clock runs only for the broadcast player
    }
    void TearDown() override {
        _time_monitor_stop();
        bcast_disablePlayer();
        _time_monitor_set_tick(1000);
        ScriptedSdkTest::TearDown();
    }

    // Answers the next server-time requests with `now` and asks for the time of `finish`.
    void start_programme(int64_t now, int64_t finish, int delay_ms = 0) {
        server_.script("/v2/broadcast/date", R"({"serverTime":")" + std::to_string(now) + R"("})",
                       delay_ms);
        ItemPtr item = item_finishing_at(finish);
        bcast_processProgramTime(item.get());
    }

    LogCapture log_;
};

TEST_F(ProgrammeClock, TheAlertComesPastTheFinishPlusTenSecondsAndIsTriedAgainBoundedly) {
    _time_monitor_set_tick(1);
    bcast_playByBroadcastId(77);  // the broadcast whose list the alert asks for again
    start_programme(1000000, 1002500);
    ASSERT_TRUE(log_.wait_for_prefix(kAlert, 1));
    // No new programme comes (the lists fail): every 3 s again, 20 times, then no more.
    ASSERT_TRUE(log_.wait_for(clock_line(1080000, 0)));

    // 1,012,500 + 9,999 is not yet past; 1,013,000 is.
    std::vector<std::string> alerts;
    for (int64_t at = 1013000; at <= 1013000 + 20 * 3000; at += 3000) {
        alerts.push_back(kAlert + std::to_string(at) + " - 1002500\n");
    }
    EXPECT_EQ(log_.starting_with(kAlert), alerts);
    EXPECT_EQ(log_.count(clock_line(1012000, 1002500)), 1);
    EXPECT_EQ(log_.count(clock_line(1013000, 1002500)), 1);
    EXPECT_EQ(log_.count(clock_line(1014000, 0)), 1);
    // The alert asked for the broadcast's list again.
    ASSERT_TRUE(log_.wait_for("Update Playlist Failed, So Can Not Start Play... \n"));
    const auto lists = server_.requests_to("/v2/broadcast/programlist");
    ASSERT_GE(lists.size(), 2u);
    EXPECT_EQ(lists[1].target.rfind("/v2/broadcast/programlist?bid=77&date=&", 0), 0u)
        << lists[1].target;
}

TEST_F(ProgrammeClock, ANewProgrammeEndsTheRetries) {
    _time_monitor_set_tick(1);
    start_programme(1000000, 1002500);
    ASSERT_TRUE(log_.wait_for_prefix(kAlert, 2));  // the alert and one retry
    start_programme(2000000, 2500000);
    ASSERT_TRUE(log_.wait_for(clock_line(2020000, 2500000)));
    const auto alerts = log_.starting_with(kAlert);
    ASSERT_FALSE(alerts.empty());
    EXPECT_LT(alerts.back(), std::string(kAlert) + "2");  // all before the new programme's time
}

TEST_F(ProgrammeClock, ASecondProgrammeMovesTheRunningClockOnWithoutASecondThread) {
    _time_monitor_set_tick(10);
    start_programme(1000000, 900000000);
    ASSERT_TRUE(log_.wait_for(clock_line(1001000, 900000000)));
    const int threads = rvtest::thread_count();

    start_programme(5000000, 5500000);
    ASSERT_TRUE(log_.wait_for(clock_line(5005000, 5500000)));
    EXPECT_EQ(rvtest::thread_count(), threads);
    // One series of ticks: after the move, every second of the new programme once, in order.
    const auto ticks = log_.starting_with(kClock);
    std::size_t moved = 0;
    while (moved < ticks.size() && ticks[moved] != clock_line(5001000, 5500000)) {
        ++moved;
    }
    ASSERT_LT(moved, ticks.size());
    for (std::size_t i = moved; i < ticks.size(); ++i) {
        EXPECT_EQ(ticks[i], clock_line(5001000 + 1000 * static_cast<int64_t>(i - moved), 5500000));
    }
}

TEST_F(ProgrammeClock, StopWakesTheClockAtOnceAndNoTickFollows) {
    const int before = rvtest::thread_count();
    start_programme(1000000, 900000000);  // one-second ticks
    ASSERT_TRUE(log_.wait_for("Living program time start from 1000000 to 900000000 \n"));
    ASSERT_TRUE(log_.wait_for(clock_line(1001000, 900000000)));
    EXPECT_EQ(rvtest::thread_count(), before + 1);

    const auto started = std::chrono::steady_clock::now();
    _time_monitor_stop();
    const auto took = std::chrono::steady_clock::now() - started;
    EXPECT_LT(took, 500ms);  // a tick is 1,000 ms: the stop did not wait for it
    EXPECT_EQ(rvtest::thread_count_settled(before), before);
    std::this_thread::sleep_for(1200ms);
    EXPECT_EQ(log_.count(clock_line(1002000, 900000000)), 0);
}

TEST_F(ProgrammeClock, AClockWhoseDayRanOutIsStartedAgainByTheNextAnswer) {
    _time_monitor_set_tick(0);
    start_programme(1000000, 900000000000);  // never due within the day
    ASSERT_TRUE(log_.wait_for_prefix(kClock, 86430, 120s));
    const int64_t last = 1000000 + 86430 * 1000LL;
    ASSERT_TRUE(log_.wait_for(clock_line(last, 900000000000)));
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(log_.starting_with(kClock).size(), 86430u);  // the thread has ended

    _time_monitor_set_tick(5);
    start_programme(2000000000, 2000500000);
    EXPECT_TRUE(log_.wait_for(clock_line(2000001000, 2000500000)));
}

TEST_F(ProgrammeClock, TheAnswerUsesTheFinishTimeEvenWhenTheItemIsGone) {
    _time_monitor_set_tick(10);
    server_.script("/v2/broadcast/date", R"({"serverTime":"1000000"})", 200);
    ItemPtr item = item_finishing_at(1700000);
    bcast_processProgramTime(item.get());
    item.reset();  // as a list rebuild would, before the answer
    EXPECT_TRUE(log_.wait_for("Living program time start from 1000000 to 1700000 \n"));
    EXPECT_TRUE(log_.wait_for(clock_line(1001000, 1700000)));
}

TEST_F(ProgrammeClock, AFinishTimeOfZeroIsTheEndOfTheLocalDay) {
    const char *old_tz = std::getenv("TZ");
    const std::string saved = old_tz != nullptr ? old_tz : "";
    setenv("TZ", "JST-9", 1);  // nine hours east of UTC
    tzset();
    _time_monitor_set_tick(10);
    // 2025-12-09 20:00 UTC is 2025-12-10 05:00 in that zone; its day ends at
    // 2025-12-10 23:59:59 there, 14:59:59 UTC.
    start_programme(1765310400000, 0);
    const bool fixed = log_.wait_for("Fix program finish time from 0 to 1765378799000 \n");
    if (old_tz != nullptr) {
        setenv("TZ", saved.c_str(), 1);
    } else {
        unsetenv("TZ");
    }
    tzset();
    EXPECT_TRUE(fixed);
    EXPECT_TRUE(log_.wait_for(clock_line(1765310401000, 1765378799000)));
    EXPECT_EQ(log_.count("Inner Error Occurs: wrong time message ! \n"), 0);
}

TEST_F(ProgrammeClock, AServerTimePastTheFinishLeavesTheClockAsItWas) {
    _time_monitor_set_tick(10);
    start_programme(1000000, 900000000);
    ASSERT_TRUE(log_.wait_for(clock_line(1001000, 900000000)));
    start_programme(3000000, 3000000);
    ASSERT_TRUE(log_.wait_for("Inner Error Occurs: wrong time message ! \n"));
    const std::size_t seen = log_.starting_with(kClock).size();
    ASSERT_TRUE(log_.wait_for_prefix(kClock, seen + 3));
    for (const std::string &tick : log_.starting_with(kClock)) {
        EXPECT_NE(tick.find(" - 900000000\n"), std::string::npos) << tick;
    }
}

TEST_F(ProgrammeClock, NoClockStartsForAPlayerThatGaveTheEngineUp) {
    _time_monitor_set_tick(10);
    server_.script("/v2/broadcast/date", R"({"serverTime":"1000000"})", 200);
    ItemPtr item = item_finishing_at(900000000);
    bcast_processProgramTime(item.get());
    bcast_disablePlayer();  // while the answer is on its way
    ASSERT_TRUE(log_.wait_for("Living program time start from 1000000 to 900000000 \n"));
    std::this_thread::sleep_for(100ms);
    EXPECT_TRUE(log_.starting_with(kClock).empty());
}

TEST_F(ProgrammeClock, AListenerOnTheClockThreadMayStopTheClock) {
    _time_monitor_set_tick(10);
    static PlayerStateListener listener{};
    listener.OnProgress = [](int32_t kind, int64_t, int64_t) {
        if (kind == RV_PROGRESS_LIVE) {
            _time_monitor_stop();  // as an album started from the slot would
        }
    };
    setPlayerStateListener(&listener);
    ItemPtr live = item_finishing_at(900000000);
    live->playUrl = strdup("");
    bcast_startPlayItem(live.get());  // makes the player live
    start_programme(1000000, 900000000);
    ASSERT_TRUE(log_.wait_for(clock_line(1001000, 900000000)));
    std::this_thread::sleep_for(100ms);
    removePlayerStateListener();
    EXPECT_EQ(log_.starting_with(kClock).size(), 1u);  // that tick was the last
    // The next start joins the stopped thread and runs a new clock.
    start_programme(2000000, 900000000);
    EXPECT_TRUE(log_.wait_for(clock_line(2001000, 900000000)));
}

TEST_F(ProgrammeClock, GivingUpTheEngineDoesNotWaitForAListenerWaitingForTheLock) {
    _time_monitor_set_tick(10);
    static std::atomic<bool> entered{false};
    entered = false;
    static PlayerStateListener listener{};
    listener.OnProgress = [](int32_t, int64_t, int64_t) {
        entered = true;
        bcast_getCurPlayItem();  // waits for the player global mutex
    };
    ItemPtr live = item_finishing_at(900000000);
    live->playUrl = strdup("");
    bcast_startPlayItem(live.get());
    setPlayerStateListener(&listener);

    ASSERT_EQ(player_global_mutex_lock(), 0);  // as the album player holds it when it enables
    start_programme(1000000, 900000000);
    for (int i = 0; i < 3000 && !entered; ++i) {
        std::this_thread::sleep_for(1ms);
    }
    ASSERT_TRUE(entered);
    const int with_clock = rvtest::thread_count();
    bcast_disablePlayer();  // returns although the clock's slot waits for our lock
    EXPECT_FALSE(bcast_isPlayerEnable());
    ASSERT_EQ(player_global_mutex_unlock(), 0);

    _time_monitor_stop();  // joins the stopped clock
    removePlayerStateListener();
    EXPECT_EQ(rvtest::thread_count_settled(with_clock - 1), with_clock - 1);
}

}  // namespace
