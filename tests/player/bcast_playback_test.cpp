// Broadcasts through the SDK, the real engine and the local service with its
// five-second programmes: live and past programmes, the programme clock moving
// play on, pause and resume, an off-air broadcast and shut-down while playing.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "mock_service.h"
#include "player/bcast_data_manager.h"
#include "player/bcast_play_manager.h"
#include "player/ijk_media_player.h"
#include "player/listener_recorder.h"
#include "player/play_start.h"
#include "player/player_album_manager.h"
#include "player/sdk_playback_fixture.h"
#include "player_harness.h"
#include "request/sdk_fixture.h"
#include "rv_data.h"
#include "rv_sdk.h"

namespace {

using namespace std::chrono_literals;
using rv::test::Ears;
using rv::test::Heard;

constexpr int64_t kMockFm = 1001;      // on air
constexpr int64_t kCoastRadio = 1002;  // on air
constexpr int64_t kToneMusic = 1003;   // on air
constexpr int64_t kHighland = 1004;    // off the air

using rv::test::live_item_of;
using ItemPtr = rv::test::PlayItemPtr;

rvmock::Config short_programmes() {
    rvmock::Config config;
    config.short_programmes = true;
    return config;
}

bool ends_with(const char *text, const std::string &tail) {
    const std::string s = text != nullptr ? text : "";
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

// The live positions the clock reported, in order.
std::vector<Heard> live_progress() {
    std::vector<Heard> live;
    for (const Heard &h : Ears::get().snapshot()) {
        if (h.what == "progress" && h.a == RV_PROGRESS_LIVE) {
            live.push_back(h);
        }
    }
    return live;
}

class BroadcastPlayback : public rv::test::SdkPlaybackTest {
  protected:
    BroadcastPlayback() : SdkPlaybackTest(short_programmes()) {}

    static void play_bean(int64_t broadcast_id) {
        rv::test::play_bean(RV_RESOURCE_BROADCAST, broadcast_id);
    }

    // Seconds of the tone of `tone_id` in what the test played (stop first: that
    // closes the device).
    void expect_tone(int64_t tone_id, double min_seconds) {
        const auto mono = capture_->read(44100, 1).mono();
        EXPECT_GE(rvtone::tone_seconds(mono, 44100, rvtone::frequency_for_audio_id(tone_id)),
                  min_seconds);
    }
};

TEST_F(BroadcastPlayback, ALiveBroadcastPlaysByBeanAndTheClockGivesTheLivePosition) {
    play_bean(kMockFm);
    ASSERT_TRUE(Ears::get().wait_for("playing"));
    ASSERT_TRUE(Ears::get().wait_for("progress", 3));

    dao_play_item *item = rv_getCurPlayItem();
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->status, RV_PLAY_STATUS_LIVE);
    EXPECT_TRUE(ends_with(item->playUrl, "/live/1001.aac")) << item->playUrl;
    EXPECT_EQ(rv_getPlayListSize(), 13);  // six programmes either side of the live one
    EXPECT_EQ(rv_getCurPlayItemIndex(), 6);
    const int64_t finish = item->finishTime;
    EXPECT_TRUE(rv_isPlaying());
    EXPECT_FALSE(rv_canSeek());
    EXPECT_TRUE(bcast_isLiving());

    // Every position comes from the clock, a second apart, against the programme's end.
    const auto live = live_progress();
    ASSERT_GE(live.size(), 3u);
    for (std::size_t i = 1; i < live.size(); ++i) {
        EXPECT_EQ(live[i].b - live[i - 1].b, 1000);
    }
    EXPECT_EQ(live[0].c, finish);
    EXPECT_EQ(Ears::get().count("progress"), static_cast<int>(live.size()));
    EXPECT_NE(live[0].thread, std::this_thread::get_id());
    wait_for_audio(2.0);
    rv_stop();
    expect_tone(kMockFm, 1.5);
}

TEST_F(BroadcastPlayback, ALiveBroadcastPlaysByBroadcastRecordAndByPlayItem) {
    {
        std::unique_ptr<dao_broadcast, void (*)(dao_broadcast *)> record(dao_broadcast_new(),
                                                                         dao_broadcast_del);
        record->broadcastId = kCoastRadio;
        bcast_playByBroadcast(record.get());
        record.reset();
        ASSERT_TRUE(Ears::get().wait_for("playing"));
        wait_for_audio(1.5);
        bcast_stop();
        expect_tone(kCoastRadio, 1.0);  // the next device open starts the capture afresh
    }
    Ears::get().clear();
    {
        ItemPtr item = live_item_of(kToneMusic);
        ASSERT_NE(item, nullptr);
        rv_playByPlayItem(item.get());
        const int64_t finish = item->finishTime;
        item.reset();  // the caller's item is not kept
        ASSERT_TRUE(Ears::get().wait_for("playing"));
        // Started by item, the live programme still gets its clock.
        ASSERT_TRUE(Ears::get().wait_for("progress", 2));
        EXPECT_EQ(live_progress().back().c, finish);
        wait_for_audio(1.5);
        rv_stop();
        expect_tone(kToneMusic, 1.0);
    }
}

TEST_F(BroadcastPlayback, APastProgrammePlaysItsBackPlayAndCanSeek) {
    play_bean(kMockFm);
    ASSERT_TRUE(Ears::get().wait_for("playing"));
    ASSERT_TRUE(rv_hasPre());
    dao_play_item *past = rv_getPlayItem(rv_getCurPlayItemIndex() - 1);
    ASSERT_NE(past, nullptr);
    ASSERT_EQ(past->status, RV_PLAY_STATUS_PLAYBACK);
    const int64_t past_id = past->audioId;
    EXPECT_TRUE(ends_with(past->playUrl, "/media/programme/" + std::to_string(past_id) + ".aac"));

    Ears::get().clear();
    rv_playPre();
    ASSERT_TRUE(Ears::get().wait_for("playing"));
    EXPECT_EQ(rv_getCurPlayItem()->audioId, past_id);
    EXPECT_TRUE(rv_canSeek());
    EXPECT_FALSE(bcast_isLiving());
    ASSERT_TRUE(Ears::get().wait_for("progress", 3));
    rv_seek(3000);
    ASSERT_TRUE(Ears::get().wait_for("seeked"));
    ASSERT_TRUE(Ears::get().wait_for("progress", Ears::get().count("progress") + 2));
    // Positions come from the player now (kind 0), and the seek moved them on.
    const auto heard = Ears::get().snapshot();
    bool moved = false;
    for (const Heard &h : heard) {
        if (h.what == "progress") {
            EXPECT_EQ(h.a, RV_PROGRESS_PLAYER);
            moved = moved || h.b >= 3000;
        }
    }
    EXPECT_TRUE(moved);
    rv_stop();
    expect_tone(past_id, 0.5);
}

// The live-switch test (run it with --gtest_repeat to check it holds up).
TEST_F(BroadcastPlayback, ResumingAPausedLiveProgrammeRestartsItAtTheLivePoint) {
    play_bean(kCoastRadio);
    ASSERT_TRUE(Ears::get().wait_for("playing"));
    const std::string url = rv_getCurPlayItem()->playUrl;
    rv_switchPlayOrPause();
    EXPECT_TRUE(rv_isPaused());
    // Told by whichever thread delivers the players' calls at that moment.
    ASSERT_TRUE(Ears::get().wait_for("paused"));
    EXPECT_EQ(Ears::get().count("paused"), 1);

    rv_switchPlayOrPause();
    ASSERT_TRUE(Ears::get().wait_for("prepared", 2));  // prepared afresh, not resumed
    ASSERT_TRUE(Ears::get().wait_for("playing", 2));
    EXPECT_TRUE(rv_isPlaying());
    EXPECT_EQ(log_.count("暂停->重启播放 \n"), 1);
    EXPECT_EQ(log_.count("Now play by ijkplayer: " + url + " \n"), 2);
    EXPECT_EQ(Ears::get().count("error"), 0);
}

TEST_F(BroadcastPlayback, ShortProgrammesMoveOnByThemselvesOnceEach) {
    play_bean(kCoastRadio);
    ASSERT_TRUE(Ears::get().wait_for("playing"));
    const int64_t first = rv_getCurPlayItem()->audioId;

    // Over 5 s later, plus the ten seconds the clock waits.
    ASSERT_TRUE(Ears::get().wait_for("live", 1, 30s));
    const auto heard = Ears::get().snapshot();
    const auto live =
        std::find_if(heard.begin(), heard.end(), [](const Heard &h) { return h.what == "live"; });
    dao_play_item *now = rv_getCurPlayItem();
    ASSERT_NE(now, nullptr);
    EXPECT_GT(live->a, first);
    EXPECT_EQ(now->audioId, live->a);
    EXPECT_EQ(now->status, RV_PLAY_STATUS_LIVE);
    EXPECT_EQ(Ears::get().count("live"), 1);
    // The programmes share one stream: it plays on, never opened again.
    EXPECT_EQ(Ears::get().count("prepared"), 1);
    EXPECT_EQ(log_.starting_with("Now play by ijkplayer: ").size(), 1u);
    EXPECT_TRUE(rv_isPlaying());
    // The clock now counts towards the new programme's end.
    ASSERT_TRUE(Ears::get().wait_for("progress", Ears::get().count("progress") + 2));
    EXPECT_EQ(live_progress().back().c, now->finishTime);
    EXPECT_EQ(Ears::get().count("live"), 1);
}

TEST_F(BroadcastPlayback, AnOffAirBroadcastGivesTheNoProgrammeItemAndDoesNotPlay) {
    play_bean(kHighland);
    ASSERT_TRUE(log_.wait_for("The Next Program Is Not On Air Yet, So Abandon ... \n"));
    EXPECT_EQ(rv_getPlayListSize(), 1);
    dao_play_item *item = rv_getCurPlayItem();
    ASSERT_NE(item, nullptr);
    EXPECT_STREQ(item->title, "暂无节目信息");
    EXPECT_EQ(item->status, RV_PLAY_STATUS_OFF_AIR);
    EXPECT_STREQ(item->playUrl, "");
    std::this_thread::sleep_for(1s);
    EXPECT_EQ(Ears::get().count("prepared"), 0);
    EXPECT_EQ(playerStatus.load(), kPlayerIdle);
}

TEST_F(BroadcastPlayback, AlbumThenBroadcastThenAlbumHandTheEngineOver) {
    constexpr int64_t kAlbum = 1100001;
    const auto play_album = [] { rv::test::play_bean(RV_RESOURCE_ALBUM, kAlbum); };
    play_album();
    ASSERT_TRUE(Ears::get().wait_for("playing"));
    EXPECT_TRUE(album_isPlayerEnable());
    EXPECT_EQ(rv_getCurPlayItem()->albumId, kAlbum);

    play_bean(kMockFm);
    ASSERT_TRUE(Ears::get().wait_for("playing", 2));
    EXPECT_FALSE(album_isPlayerEnable());
    EXPECT_TRUE(bcast_isPlayerEnable());
    EXPECT_EQ(rv_getCurPlayItem()->albumId, kMockFm);

    const int64_t programme = rv_getCurPlayItem()->audioId;
    play_album();
    ASSERT_TRUE(Ears::get().wait_for("playing", 3));
    EXPECT_TRUE(album_isPlayerEnable());
    EXPECT_FALSE(bcast_isPlayerEnable());
    EXPECT_EQ(rv_getCurPlayItem()->albumId, kAlbum);
    // The clock went with the engine: no live position reaches the album's listener.
    const std::size_t live = live_progress().size();
    std::this_thread::sleep_for(1500ms);
    EXPECT_EQ(live_progress().size(), live);

    for (int i = 0; i < 100 && reports("101017").empty(); ++i) {
        std::this_thread::sleep_for(20ms);
    }
    const auto broadcast_ends = reports("101017");
    ASSERT_EQ(broadcast_ends.size(), 1u);
    EXPECT_EQ(broadcast_ends[0].value("radioid"), std::to_string(kMockFm));
    EXPECT_EQ(broadcast_ends[0].value("audioid"), std::to_string(programme));
    EXPECT_EQ(broadcast_ends[0].value("remarks1"), "player");
    EXPECT_TRUE(broadcast_ends[0].signature_ok);
    const auto album_ends = reports("101010");
    ASSERT_GE(album_ends.size(), 1u);  // the album's audio, ended by the broadcast
    EXPECT_EQ(album_ends[0].value("radioid"), std::to_string(kAlbum));
    EXPECT_EQ(Ears::get().count("error"), 0);
}

TEST_F(BroadcastPlayback, ReleaseWhilePlayingReturnsPromptlyAndLeavesNoThread) {
    rv_releaseSdk();
    const int baseline = rvtest::thread_count();
    ASSERT_EQ(rv::test::start_sdk(service_.http_url(), dir_.path()), 0);
    play_bean(kMockFm);
    ASSERT_TRUE(Ears::get().wait_for("playing"));
    ASSERT_TRUE(Ears::get().wait_for("progress"));

    const auto started = std::chrono::steady_clock::now();
    rv_releaseSdk();
    EXPECT_LT(std::chrono::steady_clock::now() - started, 1s);
    const std::size_t heard = Ears::get().snapshot().size();
    // Every thread of the SDK and the engine is joined before release returns.
    EXPECT_EQ(rvtest::thread_count_settled(baseline), baseline);
    std::this_thread::sleep_for(1200ms);  // a clock tick would be due by now
    EXPECT_EQ(Ears::get().snapshot().size(), heard);
}

}  // namespace
