// The broadcast play list and the broadcast player's control side against
// scripted programme lists: which programme starts, the list accessors, the
// broadcast-detail fallback, updates while a past programme plays, and what
// the player does when it does not own the engine.
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <regex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "media_server.h"
#include "player/bcast_data_manager.h"
#include "player/bcast_play_manager.h"
#include "player/ijk_media_player.h"
#include "player/player_manager.h"
#include "request/scripted_sdk.h"

namespace {

using namespace std::chrono_literals;
using rv::test::LogCapture;

// A programme of broadcast 7 whose id is `base` + n, with the given status; its
// URLs are "live-<id>" (or "live" for all when `one_stream`) and "back-<id>"
// after `prefix`.
std::string programme(int n, int status, const std::string &prefix, int base, bool one_stream) {
    const std::string id = std::to_string(base + n);
    return R"({"programId":)" + id + R"(,"broadcastId":7,"status":)" + std::to_string(status) +
           R"(,"startTime":1000,"finishTime":900000000000,"title":"P)" + id + R"(","playUrl":")" +
           prefix + (one_stream ? "live" : "live-" + id) + R"(","backLiveUrl":")" + prefix +
           "back-" + id + R"("})";
}

std::string programme_list(std::initializer_list<int> statuses, const std::string &prefix = "",
                           int base = 100, bool one_stream = false) {
    std::string body = R"({"result":[)";
    int n = 0;
    for (int status : statuses) {
        body += n > 0 ? "," : "";
        body += programme(++n, status, prefix, base, one_stream);
    }
    return body + "]}";
}

std::string started(const std::string &url) {
    return "Now play by ijkplayer: " + url + " \n";
}

// The value of `key` in a report's query ("" when absent).
std::string param(const std::string &target, const std::string &key) {
    const std::string marker = key + "=";
    for (std::size_t at = target.find('?'); at != std::string::npos; at = target.find('&', at)) {
        ++at;
        if (target.compare(at, marker.size(), marker) == 0) {
            const std::size_t end = target.find('&', at);
            return target.substr(at + marker.size(),
                                 end == std::string::npos ? end : end - at - marker.size());
        }
    }
    return "";
}

class BroadcastPlayList : public rv::test::ScriptedSdkTest {
  protected:
    void SetUp() override {
        ScriptedSdkTest::SetUp();
        server_.script("/v2/broadcast/date", R"({"serverTime":"1000000"})");
    }
    void TearDown() override {
        bcast_disablePlayer();
        ScriptedSdkTest::TearDown();
    }

    // Plays broadcast 7 with the scripted list and waits until `line` is logged.
    void play(const std::string &list, const std::string &line) {
        server_.script("/v2/broadcast/programlist", list);
        bcast_playByBroadcastId(7);
        ASSERT_TRUE(log_.wait_for(line)) << line;
    }

    // The reports the service has seen for which `wanted` holds, once there are
    // `n` (the engine's own error with the scripted URLs is reported too).
    std::vector<std::string> reports(std::size_t n, bool (*wanted)(const std::string &target)) {
        std::vector<std::string> targets;
        for (int i = 0; i < 500; ++i) {
            targets.clear();
            for (const auto &seen : server_.requests_to("/c.gif")) {
                if (wanted(seen.target)) {
                    targets.push_back(seen.target);
                }
            }
            if (targets.size() >= n) {
                break;
            }
            std::this_thread::sleep_for(10ms);
        }
        EXPECT_EQ(targets.size(), n);
        return targets;
    }

    LogCapture log_;
};

// First in the file: its play ends are the first of the process.
TEST_F(BroadcastPlayList, PlayEndReportsCountThePlayedSecondsAndMarkTheFirstOne) {
    play(programme_list({1}), started("live-101"));
    notifyOnPrepareComplete();  // counting starts afresh
    notifyOnProgress(1, 0);
    notifyOnProgress(30000, 0);
    notifyOnProgress(10000, 0);  // a seek back does not count
    notifyOnProgress(40000, 0);
    notifyOnProgress(40000, 0);
    bcast_disablePlayer();  // the album player takes the engine
    // Only forward steps: 29,999 + 30,000 ms, so 59 whole seconds, plus one.
    const auto play_ends = [](const std::string &t) { return param(t, "eventcode") == "101017"; };
    auto seen = reports(1, play_ends);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(param(seen[0], "eventcode"), "101017");
    EXPECT_EQ(param(seen[0], "playtime"), "60");
    EXPECT_EQ(param(seen[0], "radioid"), "7");
    EXPECT_EQ(param(seen[0], "audioid"), "101");
    EXPECT_EQ(param(seen[0], "remarks1"), "player");
    EXPECT_EQ(param(seen[0], "remarks4"), "1");

    bcast_startPlayItem(bcast_getCurPlayItem());
    notifyOnPrepareComplete();
    bcast_disablePlayer();
    seen = reports(2, play_ends);
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(param(seen[1], "playtime"), "1");
    EXPECT_EQ(param(seen[1], "remarks4"), "0");
}

TEST_F(BroadcastPlayList, BufferingAndErrorReportsDescribeTheCurrentProgramme) {
    play(programme_list({1}), started("live-101"));
    server_.clear_requests();
    notifyOnSeekStart();
    notifyOnBufferingStart();
    notifyOnBufferingComplete();  // the seek's buffering
    notifyOnBufferingStart();
    notifyOnError(100, -5, 0);
    const auto seen = reports(4, [](const std::string &t) {
        return param(t, "eventcode") != "992000" || param(t, "result") == "-5";
    });
    ASSERT_EQ(seen.size(), 4u);
    // Reports travel on their own: compare them by what they say, not by arrival.
    std::multiset<std::string> said;
    for (const std::string &t : seen) {
        said.insert(param(t, "eventcode") + " type=" + param(t, "type") +
                    " flow=" + param(t, "flow") + " remarks2=" + param(t, "remarks2") +
                    " playtime=" + param(t, "playtime") + " result=" + param(t, "result") +
                    " url=" + param(t, "url") + " audioid=" + param(t, "audioid"));
    }
    EXPECT_EQ(said,
              (std::multiset<std::string>{
                  // the seek's buffering, then one after the seek was over
                  "300030 type=1 flow=7 remarks2=live-101 playtime= result= url= audioid=101",
                  "300022 type=1 flow=7 remarks2=live-101 playtime=0 result= url= audioid=101",
                  "300030 type=0 flow=7 remarks2=live-101 playtime= result= url= audioid=101",
                  "992000 type= flow= remarks2= playtime= result=-5 url=live-101 audioid=101",
              }));
}

TEST_F(BroadcastPlayList, EngineEventsWithoutACurrentProgrammeSendNoReport) {
    play(programme_list({1}), started("live-101"));
    bcast_clearPlayList();
    server_.clear_requests();
    notifyOnBufferingStart();
    notifyOnError(100, -5, 0);
    EXPECT_GE(log_.count("The PlayItem Is Invalid, So Abandon Left Operations ... \n"), 2);
    std::this_thread::sleep_for(100ms);
    for (const auto &seen : server_.requests_to("/c.gif")) {
        EXPECT_NE(param(seen.target, "result"), "-5") << seen.target;
        EXPECT_NE(param(seen.target, "eventcode"), "300030") << seen.target;
    }
}

TEST_F(BroadcastPlayList, TheLastLiveProgrammeOfTheListStarts) {
    play(programme_list({2, 2, 1, 3, 1, 3}), started("live-105"));
    EXPECT_EQ(log_.count(started("live-103")), 0);
    EXPECT_EQ(bcast_getPlayListSize(), 6);
    EXPECT_EQ(bcast_getCurPlayItemIndex(), 4);
    EXPECT_TRUE(bcast_isPlayerEnable());
    EXPECT_TRUE(bcast_isLiving());
    EXPECT_FALSE(bcast_canSeek());
    // The programme clock was asked for the time of the live programme.
    EXPECT_TRUE(log_.wait_for("Living program time start from 1000000 to 900000000000 \n"));
    EXPECT_EQ(bcast_getCurPlayItem()->needRestart, 1);
}

TEST_F(BroadcastPlayList, TheAccessorsStayInsideTheList) {
    play(programme_list({2, 2, 1}), started("live-103"));
    EXPECT_EQ(bcast_getCurPlayItemIndex(), 2);
    EXPECT_EQ(bcast_getNextPlayItem(), nullptr);  // at the last index
    EXPECT_EQ(bcast_getPrePlayItem()->audioId, 102);
    EXPECT_FALSE(bcast_hasNext());
    EXPECT_TRUE(bcast_hasPre());

    bcast_setCurPlayItemIndex(3);  // the size: unchanged
    EXPECT_EQ(bcast_getCurPlayItemIndex(), 2);
    bcast_setCurPlayItemIndex(-1);
    EXPECT_EQ(bcast_getCurPlayItemIndex(), 2);
    bcast_setCurPlayItemIndex(0);
    EXPECT_EQ(bcast_getPrePlayItem(), nullptr);
    EXPECT_EQ(bcast_getNextPlayItem()->audioId, 102);
    EXPECT_EQ(bcast_getPlayItem(3), nullptr);
    EXPECT_EQ(bcast_getPlayItem(-1), nullptr);

    // Items are matched by programme id, not by address.
    dao_play_item *copy = dao_play_item_dup(bcast_getPlayItem(1));
    EXPECT_EQ(bcast_getPlayItemIndex(copy), 1);
    bcast_updateCurPlayItemIndex(copy);
    EXPECT_EQ(bcast_getCurPlayItemIndex(), 1);
    copy->audioId = 999;
    EXPECT_EQ(bcast_getPlayItemIndex(copy), -1);
    bcast_updateCurPlayItemIndex(copy);
    EXPECT_EQ(bcast_getCurPlayItemIndex(), 1);
    dao_play_item_del(copy);
    EXPECT_EQ(bcast_getPlayItemIndex(nullptr), -1);

    bcast_clearPlayList();
    EXPECT_EQ(bcast_getPlayListSize(), 0);
    EXPECT_EQ(bcast_getCurPlayItem(), nullptr);
}

TEST_F(BroadcastPlayList, WithoutALiveProgrammeTheBroadcastDetailsDecide) {
    server_.script("/v2/broadcast/detail",
                   R"({"result":{"broadcastId":7,"status":1,"name":"FM","playUrl":"live-7"}})");
    play(programme_list({2, 3}), started("live-7"));
    ASSERT_EQ(bcast_getPlayListSize(), 1);
    dao_play_item *item = bcast_getCurPlayItem();
    EXPECT_STREQ(item->title, "暂无节目信息");
    EXPECT_STREQ(item->beginTime, "00:00:00");
    EXPECT_STREQ(item->endTime, "23:59:59");
    EXPECT_EQ(item->status, RV_PLAY_STATUS_LIVE);
    // A finish time of 0 is taken as the end of the day.
    EXPECT_TRUE(log_.wait_for_prefix("Fix program finish time from 0 to ", 1));
}

TEST_F(BroadcastPlayList, AnOffAirBroadcastIsNotPlayed) {
    server_.script("/v2/broadcast/detail", R"({"result":{"broadcastId":7,"status":0}})");
    play(R"({"result":[]})", "The Next Program Is Not On Air Yet, So Abandon ... \n");
    EXPECT_EQ(log_.starting_with("Now play by ijkplayer: ").size(), 0u);
    EXPECT_EQ(bcast_getCurPlayItem()->status, RV_PLAY_STATUS_OFF_AIR);
}

TEST_F(BroadcastPlayList, AFailedListOnlyLogs) {
    play(R"({"errcode":"50600","errmsg":"no such broadcast"})",
         "Obtain Playlist Failed, So Can Not Start Play ... \n");
    EXPECT_FALSE(bcast_isPlayerEnable());
}

TEST_F(BroadcastPlayList, AnUpdateLeavesAPastProgrammeAloneButTellsTheApplication) {
    play(programme_list({2, 1}), started("live-102"));
    bcast_playPre();
    ASSERT_EQ(log_.count(started("back-101")), 1);
    EXPECT_TRUE(bcast_canSeek());
    EXPECT_EQ(bcast_getCurPlayItemIndex(), 0);

    static std::atomic<int64_t> updated{0};
    PlayerBroadcastListener listener{[](dao_play_item *item) { updated = item->audioId; }};
    setPlayerBroadcastListener(&listener);
    server_.script("/v2/broadcast/programlist", programme_list({2, 2, 1}));
    playlist_listener update{onUpdatePlaylistReady, onUpdatePlaylistFailed};  // as the clock's
    bcast_fetchPlayList(&update, 7);
    ASSERT_TRUE(log_.wait_for("Notify Broadcast Listener, Live Program Was Updated ... \n"));
    for (int i = 0; i < 500 && updated.load() == 0; ++i) {
        std::this_thread::sleep_for(10ms);  // the slot runs just after that line
    }
    removePlayerBroadcastListener();
    EXPECT_EQ(updated.load(), 103);
    EXPECT_EQ(log_.count(started("live-103")), 0);  // the past programme keeps playing
    EXPECT_EQ(bcast_getPlayListSize(), 3);
    EXPECT_EQ(bcast_getCurPlayItemIndex(), 0);
}

// The clock's refresh while the live programme plays: the same stream goes
// on, another one starts, a guide without a live programme changes nothing,
// a finish time that moved moves the clock.
TEST_F(BroadcastPlayList, ARefreshRestartsOnlyAnotherStream) {
    const rvtest::SilentServer silent;  // no engine error ends what plays
    const std::string prefix = silent.url() + "?";
    struct {
        const char *name;
        std::string refreshed;  // the list the refresh brings
        const char *done;       // logged once the refresh is handled
        const char *started;    // the stream started by the refresh (null: none)
        int64_t current;        // the current programme afterwards
        int64_t updated;        // told by OnLiveProgramUpdated (0: nothing told)
        bool clock;             // the clock is set again
    } const rows[] = {
        {"same stream", programme_list({2, 1}, prefix, 100, true),
         "Notify Broadcast Listener, Live Program Was Updated ... \n", nullptr, 102, 102, true},
        {"another stream", programme_list({2, 1}, prefix),
         "Notify Broadcast Listener, Live Program Was Updated ... \n", "live-102", 102, 102, true},
        {"no live programme", programme_list({2, 2}, prefix),
         "Update Playlist Failed, So Can Not Start Play... \n", nullptr, 101, 0, false},
        {"the live programme runs longer",
         std::regex_replace(programme_list({1}, prefix), std::regex("900000000000"),
                            "950000000000"),
         "Obtain Playlist Ready, So Continue Left Operations ... \n", nullptr, 101, 0, true},
    };
    server_.script("/v2/broadcast/detail",
                   R"({"result":{"broadcastId":7,"status":1,"name":"FM","playUrl":"live-7"}})");
    static std::atomic<int64_t> updated{0};
    PlayerBroadcastListener listener{[](dao_play_item *item) { updated = item->audioId; }};
    setPlayerBroadcastListener(&listener);
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        updated = 0;
        const bool one_stream = row.started == nullptr && row.updated != 0;
        const char *clock_line = "Living program time start from";
        const std::size_t clocks = log_.starting_with(clock_line).size() + 1;
        play(programme_list({1}, prefix, 100, one_stream),
             started(prefix + (one_stream ? "live" : "live-101")));
        ASSERT_TRUE(log_.wait_for_prefix(clock_line, clocks));
        const std::size_t starts = log_.starting_with("Now play by ijkplayer: ").size();
        const int done = log_.count(row.done);
        server_.script("/v2/broadcast/programlist", row.refreshed);
        static playlist_listener refresh{onUpdatePlaylistReady, onUpdatePlaylistFailed};
        bcast_fetchPlayList(&refresh, 7);  // as the clock's
        for (int i = 0; i < 500 && log_.count(row.done) == done; ++i) {
            std::this_thread::sleep_for(10ms);
        }
        ASSERT_EQ(log_.count(row.done), done + 1);
        EXPECT_EQ(log_.starting_with("Now play by ijkplayer: ").size(),
                  starts + (row.started != nullptr ? 1 : 0));
        if (row.started != nullptr) {
            EXPECT_EQ(log_.count(started(prefix + row.started)), 1);
        }
        EXPECT_EQ(bcast_getCurPlayItem()->audioId, row.current);
        EXPECT_NE(rv_getPlayerState(), RV_PLAYER_ERROR);
        if (row.clock) {
            EXPECT_TRUE(log_.wait_for_prefix(clock_line, clocks + 1, 5s));
            EXPECT_EQ(
                log_.starting_with(clock_line).back().find("950000000000") != std::string::npos,
                row.updated == 0);
        } else {
            EXPECT_EQ(log_.starting_with(clock_line).size(), clocks);  // the clock stays
        }
        for (int i = 0; i < 500 && updated.load() != row.updated; ++i) {
            std::this_thread::sleep_for(10ms);  // the slot runs just after the line
        }
        EXPECT_EQ(updated.load(), row.updated);
    }
    removePlayerBroadcastListener();
    EXPECT_EQ(log_.count(started("live-7")), 0);
}

TEST_F(BroadcastPlayList, AnUpdateThatArrivesAfterTheEngineWentElsewhereChangesNothing) {
    play(programme_list({2, 1}), started("live-102"));
    static std::atomic<int> updates{0};
    PlayerBroadcastListener listener{[](dao_play_item *) { ++updates; }};
    setPlayerBroadcastListener(&listener);
    bcast_disablePlayer();  // as when an album starts while the refreshed list is on its way
    server_.script("/v2/broadcast/programlist", programme_list({2, 2, 1}));
    playlist_listener update{onUpdatePlaylistReady, onUpdatePlaylistFailed};
    bcast_fetchPlayList(&update, 7);
    ASSERT_TRUE(log_.wait_for("Obtain Playlist Ready, So Continue Left Operations ... \n"));
    std::this_thread::sleep_for(100ms);
    removePlayerBroadcastListener();
    EXPECT_EQ(log_.count(started("live-103")), 0);
    EXPECT_FALSE(bcast_isPlayerEnable());
    EXPECT_EQ(updates.load(), 0);
    EXPECT_EQ(server_.requests_to("/v2/broadcast/date").size(), 1u);  // no clock asked for
}

TEST_F(BroadcastPlayList, PlayNextStopsAtTheEndAndBeforeAProgrammeNotOnAir) {
    play(programme_list({1, 3}), started("live-101"));
    bcast_playNext();  // 102 is not on air yet
    EXPECT_EQ(bcast_getCurPlayItemIndex(), 0);
    EXPECT_EQ(log_.starting_with("Now play by ijkplayer: ").size(), 1u);
    bcast_setCurPlayItemIndex(1);
    bcast_playNext();  // the end of the list
    EXPECT_EQ(log_.starting_with("Now play by ijkplayer: ").size(), 1u);
}

// The live programme gets its clock however it is reached from a past one.
TEST_F(BroadcastPlayList, LiveReachedByMovingOnGetsTheProgrammeClock) {
    const rvtest::SilentServer silent;  // no engine error ends what plays
    const std::string prefix = silent.url() + "?";
    const char *clock_line = "Living program time start from";
    const struct {
        const char *name;
        void (*move)();
    } rows[] = {
        {"rv_playNext", bcast_playNext},
        {"the past programme's end",
         [] {
             notifyOnPrepareComplete();
             notifyOnPlayEnd();
         }},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        const std::size_t clocks = log_.starting_with(clock_line).size() + 1;
        play(programme_list({2, 1}, prefix), started(prefix + "live-102"));
        ASSERT_TRUE(log_.wait_for_prefix(clock_line, clocks));
        bcast_playPre();
        const int live_starts = log_.count(started(prefix + "live-102"));
        row.move();
        EXPECT_EQ(log_.count(started(prefix + "live-102")), live_starts + 1);
        EXPECT_TRUE(log_.wait_for_prefix(clock_line, clocks + 1, 5s));
    }
}

TEST_F(BroadcastPlayList, ResumingAPausedPastProgrammeContinuesIt) {
    // A host that never answers: no engine error (as a bare name would raise, at any
    // moment on a slow board) can end the programme before it is resumed.
    const rvtest::SilentServer silent;
    const std::string prefix = silent.url() + "?";
    play(programme_list({2, 1}, prefix), started(prefix + "live-102"));
    bcast_playPre();
    bcast_pause();
    EXPECT_TRUE(bcast_isPaused());
    bcast_switchPlayerStatus();
    EXPECT_EQ(log_.count("暂停->继续播放 \n"), 1);
    EXPECT_EQ(log_.count(started(prefix + "back-101")), 1);  // not prepared again
    EXPECT_EQ(lastPPStatus.load(), 2);
}

TEST_F(BroadcastPlayList, WithoutTheEngineTheControlsOnlyLog) {
    ASSERT_FALSE(bcast_isPlayerEnable());
    ijk_Pause();
    const int32_t status = playerStatus.load();
    bcast_play();
    bcast_seek(1000);
    EXPECT_FALSE(bcast_canSeek());
    EXPECT_FALSE(bcast_hasPre());
    bcast_playNext();
    EXPECT_EQ(playerStatus.load(), status);  // the engine was not touched
    EXPECT_EQ(lastPPStatus.load(), 3);
    EXPECT_EQ(log_.count("The Player Was Not Enabled Yet !!! \n"), 3);
    EXPECT_EQ(log_.count("player not enabled \n"), 2);

    bcast_playByAudioBean(nullptr);
    bcast_playByBroadcast(nullptr);
    bcast_playByBroadcastId(-1);
    bcast_playByPlayItem(nullptr);
    EXPECT_EQ(log_.count("The PlayAudioBean Is Invalid, So Can Not Start Play... \n"), 1);
    EXPECT_EQ(log_.count("The Broadcast Is Invalid, So Can Not Start Play... \n"), 1);
    EXPECT_EQ(log_.count("The BroadcastId Is Invalid, So Can Not Start Play... \n"), 1);
    EXPECT_EQ(log_.count("The PlayItem Is Invalid, So Can Not Start Play... \n"), 1);
    EXPECT_TRUE(server_.requests_to("/v2/broadcast/programlist").empty());
}

// The application may keep a list across a programme change or a new station
// and play one of its items later; the replaced lists kept for it are bounded.
TEST_F(BroadcastPlayList, AnItemOfAReplacedListPlaysAndReplacedListsAreBounded) {
    struct Row {
        const char *name;
        std::function<void()> replace;
        int32_t size_after;  // of the play list once the kept item plays
    };
    const Row rows[] = {
        {"programme change, item still listed",
         [this] {
             play(programme_list({2, 2, 1}), started("live-103"));
         },
         3},
        {"new station",
         [this] {
             play(programme_list({2, 1}, "", 200), started("live-202"));
         },
         1},
        {"cleared", [] { bcast_clearPlayList(); }, 1},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        play(programme_list({2, 1}), started("live-102"));
        dao_play_item *kept = bcast_getPlayItem(0);
        row.replace();
        const int before = log_.count(started("back-101"));
        bcast_playByPlayItem(kept);
        EXPECT_EQ(log_.count(started("back-101")), before + 1);
        EXPECT_EQ(bcast_getCurPlayItem()->audioId, 101);
        EXPECT_EQ(bcast_getPlayListSize(), row.size_after);
    }

    static std::atomic<int> answers{0};
    playlist_listener quiet{[](dao_play_item *) { ++answers; }, [](int) { ++answers; }};
    const int extra = 3;
    for (int i = 0; i < kBcastKeptLists + extra; ++i) {
        server_.script("/v2/broadcast/programlist", programme_list({2, 1}, "", 300 + 10 * i));
        const int want = answers.load() + 1;
        bcast_fetchPlayList(&quiet, 7);
        for (int wait = 0; wait < 500 && answers.load() < want; ++wait) {
            std::this_thread::sleep_for(10ms);
        }
    }
    EXPECT_EQ(log_.count("Forget the oldest replaced play list \n"), extra);
}

}  // namespace
