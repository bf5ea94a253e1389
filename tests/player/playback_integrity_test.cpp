// The players when the user and the network do not wait: answers ordered by
// the local service's delays, the real engine, the ALSA capture. One table per
// family of faults: crossed starts, a pause while the next item is prepared,
// the play-end report of every audio left, and the play list the application
// holds.
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
#include "rv_data.h"
#include "support/play_bean.h"

namespace {

using namespace std::chrono_literals;
using rv::test::Ears;
using rvmock::Fault;

constexpr int64_t kAlbumA = 1100001;  // audio 1: 3000000101, 1350 Hz, 2 s; pages of 20
constexpr int64_t kAudioA1 = 3000000101;
constexpr int64_t kAlbumB = 1100004;  // audio 1: 3000000401, 350 Hz, 5 s
constexpr int64_t kAudioB1 = 3000000401;
constexpr int64_t kLive = 1003;  // live, 450 Hz

void album_a() {
    rv::test::play_bean(RV_RESOURCE_ALBUM, kAlbumA);
}
void album_b() {
    rv::test::play_bean(RV_RESOURCE_ALBUM, kAlbumB);
}
void live() {
    rv::test::play_bean(RV_RESOURCE_BROADCAST, kLive);
}

Fault delayed(int ms) {
    return {.kind = Fault::Kind::None, .delay_ms = ms, .times = 1};
}

class PlaybackIntegrity : public rv::test::SdkPlaybackTest {
  protected:
    double tone(int64_t id) {
        const auto mono = capture_->read(44100, 1).mono();
        return rvtone::tone_seconds(mono, 44100, rvtone::frequency_for_audio_id(id));
    }
    std::vector<rvmock::Report> reports_for(const std::string &code, int64_t audio) const {
        std::vector<rvmock::Report> found;
        for (const rvmock::Report &r : reports(code)) {
            if (r.value("audioid") == std::to_string(audio)) {
                found.push_back(r);
            }
        }
        return found;
    }
};

// --- Crossed starts: the resource started last is the one heard and controlled ---

struct Crossing {
    const char *name;
    const char *delayed_path;  // the first start's answer comes last
    void (*first)();
    void (*second)();
    int64_t heard;     // tone of what plays at the end
    int64_t silent;    // tone that must never sound
    int64_t owner_id;  // the current item's albumId
    bool album_owns;
};

TEST_F(PlaybackIntegrity, AfterACrossedStartOnlyTheLastResourceIsHeardAndPauseSilencesIt) {
    const Crossing rows[] = {
        {"album after album", "/v2/audio/list", album_a, album_b, kAudioB1, kAudioA1, kAlbumB,
         true},
        {"album after broadcast", "/v2/broadcast/programlist", live, album_b, kAudioB1, kLive,
         kAlbumB, true},
        {"broadcast after album", "/v2/audio/list", album_a, live, kLive, kAudioA1, kLive, false},
    };
    for (const Crossing &row : rows) {
        SCOPED_TRACE(row.name);
        Ears::get().clear();
        service_.set_fault(row.delayed_path, delayed(1200));
        const auto started = std::chrono::steady_clock::now();
        row.first();
        row.second();
        ASSERT_TRUE(Ears::get().wait_for("playing"));
        std::this_thread::sleep_until(started + 1800ms);  // the late answer has come
        EXPECT_EQ(album_isPlayerEnable(), row.album_owns);
        EXPECT_EQ(bcast_isPlayerEnable(), !row.album_owns);
        ASSERT_NE(rv_getCurPlayItem(), nullptr);
        EXPECT_EQ(rv_getCurPlayItem()->albumId, row.owner_id);
        EXPECT_EQ(Ears::get().count("prepared"), 1);  // the late answer started nothing

        const double played =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
        rv_pause();
        EXPECT_TRUE(rv_isPaused());
        std::this_thread::sleep_for(1500ms);
        rv_stop();  // closes the device: the capture is complete
        EXPECT_GT(tone(row.heard), 0.3);
        EXPECT_LT(tone(row.heard), played + 0.6);  // not the 1.5 s after the pause
        EXPECT_LT(tone(row.silent), 0.1);
        service_.clear_faults();
    }
}

// --- A pause while the next item is prepared is kept ----------------------------

struct PauseWindow {
    const char *name;
    std::function<void(rvmock::Service &)> before;  // plays something first, if needed
    const char *media;                              // the prepared item's media, delayed
    std::function<void()> move;                     // starts the next item
};

TEST_F(PlaybackIntegrity, APauseWhileTheNextItemIsPreparedLeavesItPausedUntilPlay) {
    const auto playing_a = [](rvmock::Service &) {
        album_a();
        ASSERT_TRUE(Ears::get().wait_for("playing"));
    };
    const PauseWindow rows[] = {
        {"new resource", [](rvmock::Service &) {}, "/media/*", album_a},
        {"broadcast", [](rvmock::Service &) {}, "/live/*", live},
        {"next", playing_a, "/media/*", [] { rv_playNext(); }},
        {"automatic next", playing_a, "/media/*",
         [] {
             ASSERT_TRUE(Ears::get().wait_for("end"));
             std::this_thread::sleep_for(200ms);  // past the move, within the prepare
         }},
    };
    for (const PauseWindow &row : rows) {
        SCOPED_TRACE(row.name);
        Ears::get().clear();
        row.before(service_);
        const int prepared = Ears::get().count("prepared");
        service_.set_fault(row.media, delayed(1000));
        row.move();
        rv_pause();
        ASSERT_TRUE(Ears::get().wait_for("prepared", prepared + 1));
        const int playing = Ears::get().count("playing");
        std::this_thread::sleep_for(800ms);
        EXPECT_EQ(Ears::get().count("playing"), playing);
        EXPECT_TRUE(rv_isPaused());
        EXPECT_FALSE(rv_isPlaying());

        rv_Play();
        EXPECT_TRUE(Ears::get().wait_for("playing", playing + 1));
        EXPECT_TRUE(rv_isPlaying());
        rv_stop();
        service_.clear_faults();
    }
}

// --- Every audio left is reported once -------------------------------------------

struct Leaving {
    const char *name;
    std::function<void()> leave;
};

dao_play_item *foreign_item(const std::string &base) {
    dao_play_item *item = dao_play_item_new();
    item->audioId = kAudioB1;
    item->albumId = kAlbumB;
    item->type = RV_RESOURCE_AUDIO;
    item->duration = item->originalDuration = 5000;
    item->playUrl = strdup((base + "/media/audio/3000000401/aac_64.aac").c_str());
    return item;
}

TEST_F(PlaybackIntegrity, EveryAudioLeftGetsOnePlayEndReport) {
    const Leaving rows[] = {
        {"another item of the list", [] { rv_playByPlayItem(rv_getPlayItem(3)); }},
        {"a new bean", album_b},
        {"stopped, started again, then left",
         [] {
             rv_stop();
             rv_playByPlayItem(rv_getCurPlayItem());
             ASSERT_TRUE(Ears::get().wait_for("playing", 2));
             rv_playNext();
         }},
        {"an item of no list",
         [this] {
             std::unique_ptr<dao_play_item, decltype(&dao_play_item_del)> item(
                 foreign_item(service_.http_url()), dao_play_item_del);
             rv_playByPlayItem(item.get());
             item.reset();
             // It plays alone: reports and neighbours concern it only.
             EXPECT_EQ(rv_getPlayListSize(), 1);
             ASSERT_NE(rv_getCurPlayItem(), nullptr);
             EXPECT_EQ(rv_getCurPlayItem()->audioId, kAudioB1);
             EXPECT_FALSE(rv_hasNext());
         }},
        {"release", rv_releaseSdk},
    };
    for (const Leaving &row : rows) {
        SCOPED_TRACE(row.name);
        if (&row != rows) {  // the fixture started the first
            ASSERT_EQ(rv::test::start_sdk(service_.http_url(), dir_.path()), 0);
        }
        service_.clear_reports();
        Ears::get().clear();
        album_a();
        ASSERT_TRUE(Ears::get().wait_for("playing"));
        row.leave();
        ASSERT_EQ(wait_reports("101010", 1).size(), 1u);
        std::this_thread::sleep_for(300ms);
        EXPECT_EQ(reports_for("101010", kAudioA1).size(), 1u);
        EXPECT_EQ(reports("101010").size(), 1u);
        rv_releaseSdk();
        // The audio played after it is reported when the SDK is released.
        for (const rvmock::Report &r : wait_reports("101010", 2)) {
            EXPECT_EQ(reports_for("101010", std::stoll(r.value("audioid"))).size(), 1u);
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

// --- The play list the application holds -----------------------------------------

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
