// The event pump and the engine state: each engine event given to
// ijk_post_event_im, and the play/pause commands, checked against playerStatus,
// lastPPStatus, mPlayerPosition_ and what reaches playerCb.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "orvellaplayer.h"
#include "player/ijk_media_player.h"
#include "player/notification_recorder.h"
#include "player/player_manager.h"

namespace {

using Lines = std::vector<std::string>;

class EventPump : public ::testing::Test {
  protected:
    void SetUp() override {
        playerStatus = 0;
        lastPPStatus = 0;
        mPlayerPosition_ = 0;
        ijk_Prepare();  // a fresh item (no data source: the engine only answers with an error)
        notes_.take();
        playerStatus = 0;
    }
    void TearDown() override { IjkMediaPlayer_reset(); }
    rv::test::Notifications notes_;
};

TEST_F(EventPump, EachEventGivesItsNotificationAndState) {
    struct Case {
        int what, arg1, arg2;
        Lines notes;
        int status;  // playerStatus afterwards (it starts at 0)
    };
    const Case cases[] = {
        {1, 0, 0, {"PrepareComplete"}, 0},
        {4, 0, 0, {"SeekComplete"}, 0},
        {6, 1500, 4000, {"Progress 1500 4000"}, 0},
        {6, 0, 0, {"Progress 0 0"}, 0},  // an empty item is not over
        {8, 12345, 67890, {"DownloadProgress 12345 67890"}, 0},
        {8, -1, 0, {"DownloadProgress -1 0"}, 0},
        {100, 2, -5, {"Error 100 2 -5"}, 5},
        {200, 701, 0, {"BufferingStart"}, 4},
        {200, 703, 0, {}, 0},
        {3, 0, 0, {}, 0},
        {7, 1, 2, {}, 0},
        {300, 701, 0, {}, 0},
    };
    for (const Case &c : cases) {
        playerStatus = 0;
        ijk_post_event_im(c.what, c.arg1, c.arg2);
        EXPECT_EQ(notes_.take(), c.notes) << "event " << c.what << "/" << c.arg1;
        EXPECT_EQ(playerStatus.load(), c.status) << "event " << c.what << "/" << c.arg1;
    }
}

TEST_F(EventPump, PositionIsKeptFromEveryReportAndWidened) {
    ijk_post_event_im(6, 2500, 3000);
    EXPECT_EQ(mPlayerPosition_.load(), 2500);
    EXPECT_EQ(ijk_GetCurrentPosition(), 2500);
    ijk_post_event_im(6, -7, 3000);  // out of range: an end, and still kept
    EXPECT_EQ(mPlayerPosition_.load(), -7);
    ijk_post_event_im(6, 2147483647, 2147483647);
    EXPECT_EQ(ijk_GetCurrentPosition(), 2147483647);
    EXPECT_EQ(notes_.take(),
              (Lines{"Progress 2500 3000", "PlayEnd", "Progress 2147483647 2147483647"}));
}

TEST_F(EventPump, ReportsOutsideTheItemAreItsEnd) {
    for (const auto &[pos, dur] : {std::pair{-1, 1000}, {1001, 1000}, {5, -1}}) {
        ijk_Prepare();
        notes_.take();
        ijk_post_event_im(6, pos, dur);
        EXPECT_EQ(notes_.take(), Lines{"PlayEnd"}) << pos << "/" << dur;
    }
}

// The completion event and out-of-range reports that follow it end the item
// once: an automatic next item must not skip one.
TEST_F(EventPump, PlayEndIsRaisedOncePerPreparedItem) {
    ijk_post_event_im(6, 900, 1000);
    ijk_post_event_im(2, 0, 0);
    ijk_post_event_im(6, 1200, 1000);
    ijk_post_event_im(6, -1, 1000);
    ijk_post_event_im(2, 0, 0);
    EXPECT_EQ(notes_.take(), (Lines{"Progress 900 1000", "PlayEnd"}));

    ijk_Prepare();  // the next item can end again
    notes_.take();
    ijk_post_event_im(6, 1200, 1000);
    ijk_post_event_im(2, 0, 0);
    EXPECT_EQ(notes_.take(), Lines{"PlayEnd"});

    ijk_PrepareSeek(500);
    notes_.take();
    ijk_post_event_im(2, 0, 0);
    EXPECT_EQ(notes_.take(), Lines{"PlayEnd"});
}

TEST_F(EventPump, ASeekAfterTheEndLetsTheItemEndAgain) {
    ijk_post_event_im(2, 0, 0);
    ijk_SeekTo(0);
    ijk_post_event_im(4, 0, 0);
    ijk_post_event_im(2, 0, 0);
    EXPECT_EQ(notes_.take(), (Lines{"PlayEnd", "SeekStart", "SeekComplete", "PlayEnd"}));
    EXPECT_EQ(playerStatus.load(), 4);  // the seek's state stays until play or buffering
}

std::atomic<std::thread::id> g_paused_on;

TEST_F(EventPump, CommandsSetStateAndNotifyOnTheCallingThread) {
    register_cb_onPaused([] {
        g_paused_on = std::this_thread::get_id();
        rv::test::Notifications::add("Paused");
    });
    ijk_Play();
    EXPECT_EQ(playerStatus.load(), 2);
    EXPECT_EQ(lastPPStatus.load(), 2);
    std::thread([] { ijk_Pause(); }).join();
    EXPECT_NE(g_paused_on.load(), std::this_thread::get_id());
    EXPECT_EQ(playerStatus.load(), 3);
    EXPECT_EQ(lastPPStatus.load(), 3);
    ijk_Pause();
    EXPECT_EQ(g_paused_on.load(), std::this_thread::get_id());
    ijk_Stop();
    EXPECT_EQ(playerStatus.load(), 0);
    EXPECT_EQ(lastPPStatus.load(), 3);  // stop leaves the last play/pause command
    ijk_Prepare();
    EXPECT_EQ(playerStatus.load(), 1);
    ijk_SeekTo(100);
    EXPECT_EQ(playerStatus.load(), 4);
    EXPECT_EQ(notes_.take(), (Lines{"Playing 0", "Paused", "Paused", "Stopped", "SeekStart"}));
}

TEST_F(EventPump, PlayingCarriesTheLastPosition) {
    mPlayerPosition_ = 4321;
    ijk_Play();
    EXPECT_EQ(notes_.take(), Lines{"Playing 4321"});
}

TEST_F(EventPump, PlayingAndPausedAnswerFromTheLastCommandWhileNeither) {
    // Before any play/pause command: neither.
    for (int status : {0, 1, 4, 5}) {
        playerStatus = status;
        EXPECT_FALSE(ijk_IsPlaying()) << status;
        EXPECT_FALSE(ijk_IsPaused()) << status;
    }
    ijk_Play();
    ijk_Stop();  // stopped, yet "playing" until the next pause
    EXPECT_TRUE(ijk_IsPlaying());
    EXPECT_FALSE(ijk_IsPaused());
    for (int status : {1, 4, 5}) {
        playerStatus = status;
        EXPECT_TRUE(ijk_IsPlaying()) << status;
        EXPECT_FALSE(ijk_IsPaused()) << status;
    }
    ijk_Pause();
    playerStatus = 4;
    EXPECT_FALSE(ijk_IsPlaying());
    EXPECT_TRUE(ijk_IsPaused());
    // The current state wins over the last command.
    playerStatus = 2;
    EXPECT_TRUE(ijk_IsPlaying());
    EXPECT_FALSE(ijk_IsPaused());
    lastPPStatus = 2;
    playerStatus = 3;
    EXPECT_FALSE(ijk_IsPlaying());
    EXPECT_TRUE(ijk_IsPaused());
}

TEST_F(EventPump, EndOfBufferingReturnsToTheLastCommand) {
    ijk_Play();
    ijk_post_event_im(200, 701, 0);
    EXPECT_EQ(playerStatus.load(), 4);
    ijk_post_event_im(200, 702, 0);
    EXPECT_EQ(playerStatus.load(), 2);
    ijk_Pause();
    ijk_post_event_im(200, 701, 0);
    ijk_post_event_im(200, 702, 0);
    EXPECT_EQ(playerStatus.load(), 3);
    lastPPStatus = 0;  // no command yet counts as not playing
    ijk_post_event_im(200, 702, 0);
    EXPECT_EQ(playerStatus.load(), 3);
    EXPECT_EQ(notes_.count("BufferingComplete"), 3);
}

// Engine events on one thread, commands and queries on others: the state is
// shared without a lock (ThreadSanitizer checks it is atomic), and each
// position report is kept whole.
TEST_F(EventPump, StateIsSharedBetweenTheEventThreadAndCommands) {
    std::atomic<bool> stop{false};
    std::thread events([&] {
        for (int i = 0; !stop; i = (i + 1) % 1000) {
            ijk_post_event_im(6, i, 1000);
            ijk_post_event_im(200, 701, 0);
            ijk_post_event_im(200, 702, 0);
        }
    });
    std::thread commands([&] {
        for (int i = 0; i < 500; ++i) {
            i % 2 ? ijk_Pause() : ijk_Play();
        }
    });
    for (int i = 0; i < 2000; ++i) {
        const int64_t position = ijk_GetCurrentPosition();
        EXPECT_TRUE(position >= 0 && position < 1000) << position;
        (void)ijk_IsPlaying();
    }
    commands.join();
    stop = true;
    events.join();
    EXPECT_EQ(lastPPStatus.load(), 3);  // the last command was a pause
}

TEST_F(EventPump, ReleaseLeavesTheEngineIdle) {
    ijk_Play();
    ijk_Release();
    EXPECT_EQ(playerStatus.load(), 0);
}

TEST_F(EventPump, NothingIsNotifiedWithoutHandlers) {
    unregister_cb_player_status();
    for (int what : {1, 2, 4, 6, 8, 100}) {
        ijk_post_event_im(what, 1, 2);
    }
    ijk_post_event_im(200, 701, 0);
    ijk_post_event_im(200, 702, 0);
    EXPECT_TRUE(notes_.take().empty());
}

}  // namespace
