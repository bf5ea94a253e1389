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
#include <string>
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
#include "rv_error.h"
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
    std::unique_ptr<dao_play_item, void (*)(dao_play_item *)> fixture_item(
        int64_t audio_id = kAudioId) {
        rv::test::Delivery d = rv::test::call([audio_id](rv::test::Catcher *c) {
            rv_getAlbumAudioInfo(audio_id, rv::test::Catcher::callback, c);
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

// The device chosen by name: the tone is heard there and only there; a switch while
// playing carries on at the position on the new device; a name that cannot be opened
// is one OnError, with nothing played anywhere after it.
TEST_F(SdkPlayback, TheChosenAudioDeviceGetsTheSoundAndABadOneIsOneError) {
    constexpr int64_t kLongAudio = 3000000104;  // five seconds
    constexpr double kSeconds = 5.0;
    constexpr const char *kZone = "rv_zone";  // the test configuration's second device
    constexpr const char *kMissing = "rv_no_such_device";
    struct Row {
        const char *name;
        const char *first;      // the device when playback starts (null: default)
        const char *switch_to;  // set after a second of sound, when not null
        bool paused;            // ... while paused there
        bool error;             // one OnError(engine, audio device) and no end
        double on_default;      // seconds of the tone on each device (-1: some, not all)
        double on_zone;
    };
    const Row rows[] = {
        {"named", kZone, nullptr, false, false, 0, kSeconds},
        {"switch", nullptr, kZone, false, false, -1, -1},
        {"switch_paused", nullptr, kZone, true, false, -1, -1},
        {"missing", kMissing, nullptr, false, true, 0, 0},
        {"switch_to_missing", nullptr, kMissing, false, true, -1, 0},
    };
    const double hz = rvtone::frequency_for_audio_id(kLongAudio);
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        Ears::get().clear();
        rvtest::Capture on_default(std::string(row.name) + "-default");
        rvtest::Capture on_zone(std::string(row.name) + "-zone", "RV_PCM_ZONE_CAPTURE");
        ASSERT_EQ(rv_setAudioDevice(row.first), RVE_OK);
        auto item = fixture_item(kLongAudio);
        ASSERT_NE(item, nullptr);
        rv_playByPlayItem(item.get());
        if (row.switch_to != nullptr) {
            const std::uintmax_t second = 44100 * 2;
            for (int i = 0; i < 300 && on_default.size() < second; ++i) {
                std::this_thread::sleep_for(20ms);
            }
            ASSERT_GE(on_default.size(), second);
            if (row.paused) {
                ijk_Pause();
            }
            ASSERT_EQ(rv_setAudioDevice(row.switch_to), RVE_OK);
            if (row.paused) {
                std::this_thread::sleep_for(300ms);  // the engine looks at the setting meanwhile
                ijk_Play();
            }
        }
        ASSERT_TRUE(Ears::get().wait_for(row.error ? "error" : "end"));
        std::this_thread::sleep_for(500ms);  // nothing may follow
        rv_stop();
        ASSERT_EQ(rv_setAudioDevice(nullptr), RVE_OK);

        EXPECT_EQ(Ears::get().count("error"), row.error ? 1 : 0);
        EXPECT_EQ(Ears::get().count("end"), row.error ? 0 : 1);
        for (const Heard &h : Ears::get().snapshot()) {
            if (h.what == "error") {
                EXPECT_EQ(h.a, RV_ERROR_WHAT_ENGINE);
                EXPECT_EQ(h.b, RV_ERROR_DETAIL_AUDIO_DEVICE);
            }
        }
        const double heard_default =
            rvtone::tone_seconds(on_default.read(44100, 1).mono(), 44100, hz);
        const double heard_zone = rvtone::tone_seconds(on_zone.read(44100, 1).mono(), 44100, hz);
        if (row.on_default >= 0) {
            EXPECT_NEAR(heard_default, row.on_default, 0.15);
        } else {
            EXPECT_GE(heard_default, 0.9);
        }
        if (row.on_zone >= 0) {
            EXPECT_NEAR(heard_zone, row.on_zone, 0.15);
        } else {
            EXPECT_GE(heard_zone, 0.9);
        }
        if (row.switch_to != nullptr && !row.error) {
            // Nothing skipped and nothing played twice across the switch.
            EXPECT_NEAR(heard_default + heard_zone, kSeconds, 0.15);
        }
    }
    EXPECT_EQ(rv_setAudioDevice("bad\nname"), RVE_BAD_ARGS);
    EXPECT_EQ(rv_setAudioRole("bad\nrole"), RVE_BAD_ARGS);
    EXPECT_EQ(rv_setAudioRole(std::string(RV_MAX_AUDIO_ROLE_NAME + 1, 'x').c_str()), RVE_BAD_ARGS);
}

}  // namespace
