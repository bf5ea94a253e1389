// Playback through the SDK, the real engine and the local service: an audio of
// the catalogue, made a play item and handed to rv_playByPlayItem, plays its
// tone into the ALSA capture, and the application's listener hears it in order.
//
// The play managers come with their own modules; here a stand-in with just
// enough of one (start an item, play once prepared, pass events on) is
// installed where the album player goes.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

#include "iface/ifcae_play_v2.h"
#include "mock_service.h"
#include "player/ijk_media_player.h"
#include "player/listener_recorder.h"
#include "player/player_manager.h"
#include "player/player_state_listener.h"
#include "player_harness.h"
#include "request/sdk_fixture.h"
#include "rv_data.h"
#include "rv_sdk.h"

namespace {

using namespace std::chrono_literals;
using rv::test::Ears;
using rv::test::Heard;

// --- A stand-in play manager -------------------------------------------------------

void standin_play_item(dao_play_item *item) {
    register_cb_onPrepareComplete([] {
        setUserPlayerStateListener_OnPrepareComplete();
        ijk_Play();
    });
    register_cb_onPlaying([](int64_t) { setUserPlayerStateListener_OnPlaying(); });
    register_cb_onProgress(
        [](int64_t p, int64_t d) { setUserPlayerStateListener_OnProgress(0, p, d); });
    register_cb_onDownloadProgress(
        [](int64_t r, int64_t t) { setUserDownloadProgressListener_OnDownloadProgress(r, t); });
    register_cb_onError(
        [](int32_t w, int32_t a, int32_t) { setUserPlayerStateListener_OnError(w, a); });
    register_cb_onPlayEnd([] { setUserPlayerStateListener_OnPlayEnd(); });
    ijk_SetDataSource(item->playUrl);
    ijk_Prepare();
    ijk_Setdurtion(item->duration / 1000, item->originalDuration / 1000);
}

const play_manager_ops &standin() {
    static const play_manager_ops ops = [] {
        play_manager_ops o{};
        o.playByPlayItem = standin_play_item;
        o.stop = ijk_Stop;
        o.isPlaying = ijk_IsPlaying;
        return o;
    }();
    return ops;
}

// --- The suite ------------------------------------------------------------------------

constexpr int64_t kAudioId = 3000000101;  // two seconds long in the catalogue

class SdkPlayback : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_NE(std::getenv("ALSA_CONFIG_PATH"), nullptr) << "run through CTest";
        ASSERT_TRUE(service_.start());
        ASSERT_EQ(rv::test::start_sdk(service_.http_url(), dir_.path()), 0);
        ipa_set_play_manager(kPlayerTypeAlbum, &standin());
        Ears::get().listen();
    }
    void TearDown() override {
        rv_releaseSdk();
        Ears::get().stop_listening();
        unregister_cb_player_status();
        ipa_set_play_manager(kPlayerTypeAlbum, nullptr);
    }

    // The catalogue's audio as a play item.
    std::unique_ptr<dao_play_item, void (*)(dao_play_item *)> fixture_item() {
        rv::test::Delivery d = rv::test::call([](rv::test::Catcher *c) {
            rv_getAlbumAudioInfo(kAudioId, rv::test::Catcher::callback, c);
        });
        EXPECT_EQ(d.code, 0);
        auto *audio = static_cast<dao_audio *>(d.data);
        dao_play_item *item = transformAudioToPlayItem(audio);
        dao_audio_del(audio);
        return {item, dao_play_item_del};
    }

    rvmock::Service service_;
    rv::test::TempDir dir_;
};

TEST_F(SdkPlayback, AnAudioItemPlaysItsToneAndTheListenerHearsItInOrder) {
    auto item = fixture_item();
    ASSERT_NE(item, nullptr);
    ASSERT_NE(item->playUrl, nullptr);
    rvtest::Capture capture("sdk-item");

    rv_playByPlayItem(item.get());
    item.reset();  // the caller's item is not kept
    ASSERT_TRUE(Ears::get().wait_for("end"));
    std::this_thread::sleep_for(500ms);  // nothing may follow the end
    rv_stop();                           // closes the device: the capture is complete

    const auto heard = Ears::get().snapshot();
    ASSERT_GE(heard.size(), 4u);
    EXPECT_EQ(heard[0].what, "prepared");
    EXPECT_EQ(heard[1].what, "playing");
    EXPECT_EQ(heard.back().what, "end");
    EXPECT_EQ(Ears::get().count("prepared"), 1);
    EXPECT_EQ(Ears::get().count("playing"), 1);
    EXPECT_EQ(Ears::get().count("end"), 1);
    EXPECT_EQ(Ears::get().count("error"), 0);
    int progress = 0, downloads = 0;
    int64_t last_position = -1;
    for (std::size_t i = 2; i + 1 < heard.size(); ++i) {
        const Heard &h = heard[i];
        if (h.what == "progress") {
            ++progress;
            EXPECT_EQ(h.a, 0);  // from the player
            EXPECT_GE(h.b, last_position);
            EXPECT_LE(h.b, h.c);
            EXPECT_NEAR(static_cast<double>(h.c), 2000, 150);
            last_position = h.b;
        } else if (h.what == "download") {
            ++downloads;
            EXPECT_GT(h.a, 0);
            EXPECT_LE(h.a, h.b);  // bytes of the file
        } else {
            ADD_FAILURE() << "unexpected " << h.what;
        }
    }
    EXPECT_GE(progress, 2);
    EXPECT_GE(downloads, 1);
    // Engine events reach the listener on the engine's thread, not the caller's.
    for (const Heard &h : heard) {
        EXPECT_NE(h.thread, std::this_thread::get_id()) << h.what;
    }

    const auto mono = capture.read(44100, 1).mono();
    const double hz = rvtone::frequency_for_audio_id(kAudioId);
    EXPECT_NEAR(rvtone::tone_seconds(mono, 44100, hz), 2.0, 0.15);
}

TEST_F(SdkPlayback, ReleaseStopsPlaybackAndThePlayerManager) {
    auto item = fixture_item();
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(player_global_mutex_lock(), 0);  // made at start-up
    EXPECT_EQ(player_global_mutex_unlock(), 0);
    rvtest::Capture capture("sdk-release");
    rv_playByPlayItem(item.get());
    ASSERT_TRUE(Ears::get().wait_for("playing"));
    EXPECT_TRUE(rv_isPlaying());

    rv_releaseSdk();
    EXPECT_EQ(playerStatus.load(), 0);
    EXPECT_EQ(player_global_mutex_lock(), 3);
    EXPECT_EQ(player_global_mutex_unlock(), 3);
    const std::size_t heard = Ears::get().snapshot().size();
    std::this_thread::sleep_for(600ms);  // a position report would be due by now
    EXPECT_EQ(Ears::get().snapshot().size(), heard);
    EXPECT_EQ(Ears::get().count("end"), 0);
    EXPECT_EQ(Ears::get().count("error"), 0);
}

}  // namespace
