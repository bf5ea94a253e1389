// The players when the user and the network do not wait: answers ordered by
// the local service's delays, the real engine, the ALSA capture. One table per
// family of faults: crossed starts, a pause while the next item is prepared,
// the play-end report of every audio left; and the play list the application
// holds while an earlier page comes in front.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "player/bcast_play_manager.h"
#include "player/listener_recorder.h"
#include "player/player_album_manager.h"
#include "player/sdk_playback_fixture.h"
#include "support/play_bean.h"

namespace {

using namespace std::chrono_literals;
using rv::test::Ears;

constexpr int64_t kAlbumA = 1100001, kAudioA1 = 3000000101;  // 1350 Hz, 2 s; pages of 20
constexpr int64_t kAlbumB = 1100004, kAudioB1 = 3000000401;  // 350 Hz, 5 s
constexpr int64_t kLive = 1003;                              // 450 Hz

void album_a() {
    rv::test::play_bean(RV_RESOURCE_ALBUM, kAlbumA);
}
void album_b() {
    rv::test::play_bean(RV_RESOURCE_ALBUM, kAlbumB);
}
void live() {
    rv::test::play_bean(RV_RESOURCE_BROADCAST, kLive);
}

class PlaybackIntegrity : public rv::test::SdkPlaybackTest {
  protected:
    // What the rows play and prefetch, encoded before any player waits for it:
    // under emulation on a loaded machine a first encode kept the engine's first
    // byte away past its patience.
    void SetUp() override {
        SdkPlaybackTest::SetUp();
        std::vector<std::string> paths = {"/live/" + std::to_string(kLive) + ".aac"};
        for (int64_t audio : {kAudioA1, kAudioA1 + 1, kAudioA1 + 2, kAudioA1 + 3, kAudioA1 + 4,
                              kAudioB1, kAudioB1 + 1}) {
            paths.push_back("/media/audio/" + std::to_string(audio) + "/aac_64.aac");
        }
        for (const std::string &path : paths) {
            ASSERT_TRUE(service_.prepare_media(path)) << path;
        }
    }
    void delay(const char *path, int ms) { service_.set_fault(path, {.delay_ms = ms, .times = 1}); }
    double tone(int64_t id) {
        return rvtone::tone_seconds(capture_->read(44100, 1).mono(), 44100,
                                    rvtone::frequency_for_audio_id(id));
    }
    std::size_t reports_for(int64_t audio) const {
        std::size_t n = 0;
        for (const rvmock::Report &r : reports("101010")) {
            n += r.value("audioid") == std::to_string(audio);
        }
        return n;
    }
};

TEST_F(PlaybackIntegrity, AfterACrossedStartOnlyTheLastResourceIsHeardAndPauseSilencesIt) {
    struct {
        const char *name, *late_path;  // the first start's answer comes last
        void (*first)(), (*second)();
        int64_t heard, silent, album_id;
    } const rows[] = {
        {"album after album", "/v2/audio/list", album_a, album_b, kAudioB1, kAudioA1, kAlbumB},
        {"album after broadcast", "/v2/broadcast/programlist", live, album_b, kAudioB1, kLive,
         kAlbumB},
        {"broadcast after album", "/v2/audio/list", album_a, live, kLive, kAudioA1, kLive},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        Ears::get().clear();
        delay(row.late_path, 1200);
        const auto started = std::chrono::steady_clock::now();
        row.first();
        row.second();
        ASSERT_TRUE(Ears::get().wait_for("playing"));
        std::this_thread::sleep_until(started + 1800ms);  // the late answer has come
        wait_for_audio(0.5);  // a live stream may come later (emulation, a loaded machine)
        EXPECT_EQ(album_isPlayerEnable(), row.album_id != kLive);
        EXPECT_EQ(bcast_isPlayerEnable(), row.album_id == kLive);
        ASSERT_NE(rv_getCurPlayItem(), nullptr);
        EXPECT_EQ(rv_getCurPlayItem()->albumId, row.album_id);
        EXPECT_EQ(Ears::get().count("prepared"), 1);  // the late answer started nothing

        const std::chrono::duration<double> played = std::chrono::steady_clock::now() - started;
        rv_pause();
        EXPECT_TRUE(rv_isPaused());
        std::this_thread::sleep_for(1500ms);
        rv_stop();  // closes the device: the capture is complete
        EXPECT_GT(tone(row.heard), 0.3);
        EXPECT_LT(tone(row.heard), played.count() + 0.6);  // not the 1.5 s after the pause
        EXPECT_LT(tone(row.silent), 0.1);
        service_.clear_faults();
    }
}

TEST_F(PlaybackIntegrity, APauseWhileTheNextItemIsPreparedLeavesItPausedUntilPlay) {
    struct {
        const char *name, *media;  // the next item's media, delayed
        bool playing_first;
        std::function<void()> move;
    } const rows[] = {
        {"new resource", "/media/*", false, album_a},
        {"broadcast", "/live/*", false, live},
        {"next", "/media/*", true, rv_playNext},
        {"automatic next", "/media/*", true,
         [] {
             ASSERT_TRUE(Ears::get().wait_for("end"));
             std::this_thread::sleep_for(200ms);  // past the move, within the prepare
         }},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        Ears::get().clear();
        if (row.playing_first) {
            album_a();
            ASSERT_TRUE(Ears::get().wait_for("playing"));
        }
        const int prepared = Ears::get().count("prepared");
        delay(row.media, 1000);
        row.move();
        rv_pause();
        ASSERT_TRUE(Ears::get().wait_for("prepared", prepared + 1));
        const int playing = Ears::get().count("playing");
        std::this_thread::sleep_for(800ms);
        EXPECT_EQ(Ears::get().count("playing"), playing);
        EXPECT_TRUE(rv_isPaused());

        rv_Play();
        EXPECT_TRUE(Ears::get().wait_for("playing", playing + 1));
        EXPECT_TRUE(rv_isPlaying());
        rv_stop();
        service_.clear_faults();
    }
}

TEST_F(PlaybackIntegrity, EveryAudioLeftGetsOnePlayEndReport) {
    const std::string foreign_url = service_.http_url() + "/media/audio/3000000401/aac_64.aac";
    const std::pair<const char *, std::function<void()>> rows[] = {
        {"another item of the list", [] { rv_playByPlayItem(rv_getPlayItem(3)); }},
        {"a new bean", album_b},
        {"stopped, started again, then left",
         [] {
             rv_stop();
             rv_playByPlayItem(rv_getCurPlayItem());  // the same audio: no report
             ASSERT_TRUE(Ears::get().wait_for("playing", 2));
             rv_playNext();
         }},
        {"an item of no list",
         [&] {
             std::unique_ptr<dao_play_item, decltype(&dao_play_item_del)> item(dao_play_item_new(),
                                                                               dao_play_item_del);
             item->audioId = kAudioB1;
             item->albumId = kAlbumB;
             item->type = RV_RESOURCE_AUDIO;
             item->playUrl = strdup(foreign_url.c_str());
             rv_playByPlayItem(item.get());
             item.reset();
             // It plays alone: reports and neighbours concern it only.
             EXPECT_EQ(rv_getPlayListSize(), 1);
             EXPECT_EQ(rv_getCurPlayItem()->audioId, kAudioB1);
             EXPECT_FALSE(rv_hasNext());
         }},
        {"release", rv_releaseSdk},
    };
    for (const auto &[name, leave] : rows) {
        SCOPED_TRACE(name);
        if (name != rows[0].first) {  // the fixture started the first
            ASSERT_EQ(rv::test::start_sdk(service_.http_url(), dir_.path()), 0);
        }
        service_.clear_reports();
        Ears::get().clear();
        album_a();
        ASSERT_TRUE(Ears::get().wait_for("playing"));
        leave();
        ASSERT_EQ(wait_reports("101010", 1).size(), 1u);
        std::this_thread::sleep_for(300ms);
        EXPECT_EQ(reports_for(kAudioA1), 1u);
        EXPECT_EQ(reports("101010").size(), 1u);
        rv_releaseSdk();  // reports what played after it, once
        for (const rvmock::Report &r : wait_reports("101010", 2)) {
            EXPECT_EQ(reports_for(std::stoll(r.value("audioid"))), 1u);
        }
    }
    // A programme left by release gets its own report.
    service_.clear_reports();
    ASSERT_EQ(rv::test::start_sdk(service_.http_url(), dir_.path()), 0);
    Ears::get().clear();
    live();
    ASSERT_TRUE(Ears::get().wait_for("playing"));
    rv_releaseSdk();
    EXPECT_EQ(reports("101017").size(), 1u);
}

TEST_F(PlaybackIntegrity, BackwardPagingKeepsTheListRecordForABuilderBean) {
    rv::test::play_bean(RV_RESOURCE_ALBUM, kAlbumA, kAudioA1 + 24);  // page 2, prePage 1
    ASSERT_TRUE(Ears::get().wait_for("prepared"));
    List *held = rv_getPlayList();
    ASSERT_EQ(rv_getPlayListSize(), 20);
    while (rv_getCurPlayItemIndex() > 0) {
        rv_playPre();
    }
    ASSERT_TRUE(rv_hasPre());  // from the answer's page number
    rv_playPre();
    for (int i = 0; i < 100 && rv_getPlayListSize() < 40; ++i) {
        std::this_thread::sleep_for(50ms);
    }
    EXPECT_EQ(rv_getPlayList(), held);
    EXPECT_EQ(rv_getPlayListSize(), 40);
    ASSERT_NE(rv_getCurPlayItem(), nullptr);
    EXPECT_EQ(rv_getCurPlayItem()->audioId, kAudioA1 + 19);
    EXPECT_EQ(static_cast<dao_play_item *>(ListFirst(held)->data)->audioId, kAudioA1);
    rv_stop();
}

}  // namespace
