// Playback against broken media: a stream the service cuts mid-play and a
// media host nobody answers on, for the album and the broadcast player,
// through the SDK, the real engine and the local service. Each ends in one
// error event for the listener, no end, and the reports the player owes (the
// album's play end once the audio is left, the broadcast's error report).
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "live_servers.h"
#include "mock_service.h"
#include "player/listener_recorder.h"
#include "player/play_start.h"
#include "player/sdk_playback_fixture.h"
#include "player_harness.h"
#include "request/sdk_fixture.h"
#include "rv_data.h"
#include "rv_player.h"
#include "rv_sdk.h"

namespace {

using namespace std::chrono_literals;
using rv::test::Ears;
using rv::test::Heard;
using rv::test::live_item_of;
using rv::test::play_bean;
using ItemPtr = rv::test::PlayItemPtr;
using Kind = rvmock::Fault::Kind;

constexpr int64_t kAlbum = 1100001;
constexpr int64_t kFirstAudio = 3000000101;
constexpr int64_t kFiveSeconds = 3000000104;  // audio 4 of the album: 5 s
constexpr int64_t kNextAudio = 3000000105;
constexpr int64_t kMockFm = 1001;
constexpr const char *kLivePath = "/live/1001.aac";
// Engine error details: the source could not be opened / its input broke off.
constexpr int kOpenFailed = 2;
constexpr int kNetworkFailed = 5;

std::string path_of(const char *url) {
    const std::string text = url != nullptr ? url : "";
    const auto host = text.find("://");
    const auto path = text.find('/', host == std::string::npos ? 0 : host + 3);
    return path == std::string::npos ? "" : text.substr(path);
}

rvmock::Fault fault(Kind kind, size_t bytes = 0, int times = 0) {
    rvmock::Fault f;
    f.kind = kind;
    f.bytes = bytes;
    f.times = times;
    return f;
}

// Moves the item's play URL to `host` ("address:port").
void move_to(dao_play_item *item, const std::string &host) {
    const std::string url = "http://" + host + path_of(item->playUrl);
    free(item->playUrl);
    item->playUrl = strdup(url.c_str());
}

class PlaybackFaults : public rv::test::SdkPlaybackTest {
  protected:
    void SetUp() override {
        // The local service's programmes change at the top of each hour: a live row
        // running across one would hear the next programme's stream. Rows begin clear.
        using namespace std::chrono;
        const auto into_hour =
            duration_cast<milliseconds>(system_clock::now().time_since_epoch()) % hours(1);
        if (into_hour > 59min) {
            std::this_thread::sleep_for(hours(1) - into_hour + 2s);
        }
        SdkPlaybackTest::SetUp();
    }
    static ItemPtr audio_item(int64_t audio_id) {
        rv::test::Delivery d = rv::test::call([&](rv::test::Catcher *c) {
            rv_getAlbumAudioInfo(audio_id, rv::test::Catcher::callback, c);
        });
        EXPECT_EQ(d.code, 0);
        auto *audio = static_cast<dao_audio *>(d.data);
        ItemPtr item(audio != nullptr ? transformAudioToPlayItem(audio) : nullptr);
        dao_audio_del(audio);
        return item;
    }

    // One engine error (100) with `detail` reaches the listener, on the engine's
    // thread, and neither a second one nor an end follows.
    void expect_one_error(int detail, std::chrono::seconds within = 60s) {
        ASSERT_TRUE(Ears::get().wait_for("error", 1, within));
        std::this_thread::sleep_for(1500ms);  // a second error or an end would be here by now
        EXPECT_EQ(Ears::get().count("error"), 1);
        EXPECT_EQ(Ears::get().count("end"), 0);
        for (const Heard &h : Ears::get().snapshot()) {
            if (h.what == "error") {
                EXPECT_EQ(h.a, 100);
                EXPECT_EQ(h.b, detail);
                EXPECT_NE(h.thread, std::this_thread::get_id());
            }
        }
    }

    // Seconds of the tone of `tone_id` that came out (stops the engine first).
    double tone_seconds(int64_t tone_id) {
        rv_stop();  // closes the device: the capture is complete
        std::this_thread::sleep_for(300ms);
        const auto mono = capture_->read(44100, 1).mono();
        return rvtone::tone_seconds(mono, 44100, rvtone::frequency_for_audio_id(tone_id));
    }
};

// The audio's file is cut after its first bytes and every attempt to pick it
// up again is refused: the part that came plays, then one network error; the
// album stays on that audio, and leaving it reports its play end once.
TEST_F(PlaybackFaults, AlbumAudioCutMidPlayEndsInOneErrorAndItsPlayEndIsReportedOnce) {
    const ItemPtr item = audio_item(kFiveSeconds);
    ASSERT_NE(item, nullptr);
    const std::string path = path_of(item->playUrl);
    ASSERT_FALSE(path.empty());
    service_.set_fault(path, fault(Kind::Cut, 12 * 1024, 1));  // about a third of the file
    service_.set_fault(path + "*", fault(Kind::Drop));         // the engine's reconnections

    play_bean(RV_RESOURCE_ALBUM, kAlbum, kFiveSeconds);
    ASSERT_TRUE(Ears::get().wait_for("playing"));
    expect_one_error(kNetworkFailed);
    EXPECT_EQ(Ears::get().count("prepared"), 1);  // the album did not move on
    ASSERT_NE(rv_getCurPlayItem(), nullptr);
    EXPECT_EQ(rv_getCurPlayItem()->audioId, kFiveSeconds);
    EXPECT_TRUE(reports("101010").empty());  // no report for the error itself
    EXPECT_TRUE(reports("992000").empty());

    // Some of the cut audio was heard, not all of it.
    const double heard = tone_seconds(kFiveSeconds);
    EXPECT_GT(heard, 0.3);
    EXPECT_LT(heard, 4.5);

    // The application moves on by hand once the service is well again.
    service_.clear_faults();
    rv_playNext();
    ASSERT_TRUE(Ears::get().wait_for("playing", 2));
    const auto ends = wait_reports("101010", 1);
    ASSERT_EQ(ends.size(), 1u);
    EXPECT_EQ(ends[0].value("audioid"), std::to_string(kFiveSeconds));
    EXPECT_EQ(ends[0].value("radioid"), std::to_string(kAlbum));
    EXPECT_TRUE(ends[0].signature_ok);
    EXPECT_EQ(rv_getCurPlayItem()->audioId, kNextAudio);
    std::this_thread::sleep_for(500ms);
    EXPECT_EQ(reports("101010").size(), 1u);  // not reported a second time
}

// The report host is down while the album plays its first three audios (2, 3 and
// 4 s): their play-end reports are kept, and reach the host once it is back,
// once each, in order, with their fields and valid signatures.
TEST_F(PlaybackFaults, PlayEndsReportedWhileTheReportHostIsDownArriveInOrderWhenItIsBack) {
    service_.set_fault("/c.gif", fault(Kind::Drop));
    play_bean(RV_RESOURCE_ALBUM, kAlbum);
    ASSERT_TRUE(Ears::get().wait_for("prepared", 4, 60s));  // three audios ended
    EXPECT_TRUE(reports("101010").empty());
    service_.clear_faults();
    for (int i = 0; i < 400 && reports("101010").size() < 3; ++i) {  // the outbox's backoff
        std::this_thread::sleep_for(100ms);
    }
    std::this_thread::sleep_for(500ms);  // a repeated one would be here by now
    const auto ends = reports("101010");
    ASSERT_GE(ends.size(), 3u);  // the fourth audio may have ended meanwhile too
    std::set<std::string> audios;
    for (const rvmock::Report &end : ends) {
        EXPECT_TRUE(audios.insert(end.value("audioid")).second) << "reported twice";
    }
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(ends[i].value("audioid"), std::to_string(kFirstAudio + static_cast<int64_t>(i)));
        EXPECT_EQ(ends[i].value("radioid"), std::to_string(kAlbum));
        EXPECT_EQ(ends[i].value("remarks1"), "player");
        EXPECT_FALSE(ends[i].value("playtime").empty());
        EXPECT_TRUE(ends[i].signature_ok);
    }
}

// A play URL on a port nobody listens on: one open error, nothing prepared,
// and the engine is free for the next item at once.
TEST_F(PlaybackFaults, AlbumItemOnAClosedPortEndsInOneOpenError) {
    ItemPtr item = audio_item(kFiveSeconds);
    ASSERT_NE(item, nullptr);
    move_to(item.get(), "127.0.0.1:" + std::to_string(rvtest::free_port()));

    rv_playByPlayItem(item.get());
    expect_one_error(kOpenFailed);
    EXPECT_EQ(Ears::get().count("prepared"), 0);
    EXPECT_EQ(Ears::get().count("playing"), 0);
    EXPECT_TRUE(reports("992000").empty());

    // An audio from the real host plays next.
    ItemPtr good = audio_item(kNextAudio);
    ASSERT_NE(good, nullptr);
    rv_playByPlayItem(good.get());
    ASSERT_TRUE(Ears::get().wait_for("end"));
    EXPECT_EQ(Ears::get().count("error"), 1);
    EXPECT_GT(tone_seconds(kNextAudio), 1.5);
}

// An address no route leads to: the engine gives up on its own (no hang),
// with one error, and stopping it returns promptly. Where the host says at once
// that there is no route, the error may come before the stop; either way the
// stopped source says nothing after it.
TEST_F(PlaybackFaults, AlbumItemOnAnUnroutableHostEndsInOneErrorAndStopsPromptly) {
    ItemPtr item = audio_item(kFiveSeconds);
    ASSERT_NE(item, nullptr);
    move_to(item.get(), "192.0.2.1:9");  // TEST-NET-1: documentation only, routed nowhere

    rv_playByPlayItem(item.get());
    std::this_thread::sleep_for(300ms);
    const auto before = std::chrono::steady_clock::now();
    rv_stop();
    EXPECT_LT(std::chrono::steady_clock::now() - before, 1s);
    const int at_stop = Ears::get().count("error");
    EXPECT_LE(at_stop, 1);
    std::this_thread::sleep_for(1s);
    EXPECT_EQ(Ears::get().count("error"), at_stop);  // a stopped source says nothing more

    Ears::get().clear();
    rv_playByPlayItem(item.get());
    // Where the address is really routed nowhere, each connection attempt waits
    // for its time-out before the engine gives up.
    expect_one_error(kOpenFailed, 180s);
    EXPECT_EQ(Ears::get().count("prepared"), 0);
}

// The live stream is cut and stays away: the engine buffers, tries again for
// its reconnect window and gives up with one network error; the broadcast
// player reports the buffering start and the error once each.
TEST_F(PlaybackFaults, LiveStreamCutForGoodEndsInOneErrorReportedOnce) {
    service_.set_fault(kLivePath, fault(Kind::Cut, 24 * 1024, 1));  // a few seconds of audio
    service_.set_fault(std::string(kLivePath) + "*", fault(Kind::Drop));

    play_bean(RV_RESOURCE_BROADCAST, kMockFm);
    ASSERT_TRUE(Ears::get().wait_for("playing"));
    const dao_play_item *item = rv_getCurPlayItem();
    ASSERT_NE(item, nullptr);
    const std::string url = item->playUrl;
    const int64_t programme = item->audioId;
    ASSERT_TRUE(Ears::get().wait_for("buffering", 1, 30s));
    expect_one_error(kNetworkFailed);
    EXPECT_EQ(Ears::get().count("buffering"), 1);
    EXPECT_EQ(Ears::get().count("buffered"), 0);

    const auto errors = wait_reports("992000", 1);
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].value("radioid"), std::to_string(kMockFm));
    EXPECT_EQ(errors[0].value("audioid"), std::to_string(programme));
    EXPECT_EQ(errors[0].value("result"), std::to_string(kNetworkFailed));
    EXPECT_EQ(errors[0].value("url"), url);
    EXPECT_TRUE(errors[0].signature_ok);
    EXPECT_EQ(reports("300030").size(), 1u);
    EXPECT_TRUE(reports("300022").empty());
    EXPECT_GT(tone_seconds(kMockFm), 1.0);
    std::this_thread::sleep_for(500ms);
    EXPECT_EQ(reports("992000").size(), 1u);
}

// A live stream cut once comes back by itself: no error, no error report, and
// every buffering that began also ended.
TEST_F(PlaybackFaults, LiveStreamCutOnceResumesWithoutError) {
    service_.set_fault(kLivePath, fault(Kind::Cut, 24 * 1024, 1));

    play_bean(RV_RESOURCE_BROADCAST, kMockFm);
    ASSERT_TRUE(Ears::get().wait_for("playing"));
    std::this_thread::sleep_for(8s);
    EXPECT_EQ(Ears::get().count("error"), 0);
    EXPECT_EQ(Ears::get().count("buffering"), Ears::get().count("buffered"));
    EXPECT_EQ(reports("300030").size(), reports("300022").size());
    EXPECT_TRUE(reports("992000").empty());
    EXPECT_GT(tone_seconds(kMockFm), 6.0);
}

// The stream's host takes the connection and closes it at once, every time:
// one open error, reported once with the programme's URL.
TEST_F(PlaybackFaults, LiveStreamHostThatNeverAnswersEndsInOneErrorReportedOnce) {
    service_.set_fault(std::string(kLivePath) + "*", fault(Kind::Drop));

    play_bean(RV_RESOURCE_BROADCAST, kMockFm);
    expect_one_error(kOpenFailed);
    EXPECT_EQ(Ears::get().count("prepared"), 0);
    const dao_play_item *item = rv_getCurPlayItem();
    ASSERT_NE(item, nullptr);
    const auto errors = wait_reports("992000", 1);
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].value("result"), std::to_string(kOpenFailed));
    EXPECT_EQ(errors[0].value("url"), item->playUrl);
    std::this_thread::sleep_for(500ms);
    EXPECT_EQ(reports("992000").size(), 1u);
}

// A live programme played by item on a closed port, with no programme list
// behind it: it plays as a one-item list, so the listener hears the one error
// and the error is reported about that programme, not about another.
TEST_F(PlaybackFaults, LiveItemOnAClosedPortEndsInOneErrorReportedForThatItem) {
    ItemPtr item = live_item_of(kMockFm);
    ASSERT_NE(item, nullptr);
    move_to(item.get(), "127.0.0.1:" + std::to_string(rvtest::free_port()));

    rv_playByPlayItem(item.get());
    expect_one_error(kOpenFailed);
    EXPECT_EQ(Ears::get().count("prepared"), 0);
    EXPECT_EQ(rv_getPlayListSize(), 1);
    const auto errors = wait_reports("992000", 1);
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].value("audioid"), std::to_string(item->audioId));
    EXPECT_EQ(errors[0].value("url"), item->playUrl);
}

}  // namespace
