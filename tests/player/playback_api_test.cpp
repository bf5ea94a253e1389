// The playback API's forwarding: refusals before any play-start, the choice of
// player by resource type, and forwarding to the installed play managers.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <utility>
#include <vector>

#include "iface/ifcae_play_v2.h"
#include "request/sdk_fixture.h"
#include "rv_error.h"

namespace {

using Lines = std::vector<std::string>;

// Two stand-in play managers recording the calls they get, prefixed with their name.
Lines g_calls;

template <const char **Name>
struct Recorder {
    static inline dao_play_item item{};
    static inline List list{};
    static void note(const std::string &what) { g_calls.push_back(std::string(*Name) + what); }
    static constexpr play_manager_ops ops{
        [](dao_play_audio_bean *b) { note(" bean " + std::to_string(b->type)); },
        [](dao_play_item *i) { note(" item " + std::to_string(i->type)); },
        [] { note(" play"); },
        [] { note(" pause"); },
        [] { note(" stop"); },
        [] { note(" reset"); },
        [] { note(" switch"); },
        [](int32_t ms) { note(" seek " + std::to_string(ms)); },
        [] { note(" pre"); },
        [] { note(" next"); },
        [] { return note(" isPlaying"), true; },
        [] { return note(" isPaused"), true; },
        [] { return note(" canSeek"), true; },
        [] { return note(" hasPre"), true; },
        [] { return note(" hasNext"), true; },
        [] { return note(" curIndex"), 7; },
        [] { return note(" curItem"), &Recorder::item; },
        [](dao_play_item *) { return note(" indexOf"), 8; },
        [](int32_t i) { return note(" item at " + std::to_string(i)), &Recorder::item; },
        [] { return note(" size"), 9; },
        [] { return note(" list"), &Recorder::list; },
        [](FetchPlaylistListener *, const char *clock) {
            note(std::string(" fetch ") + (clock != nullptr ? clock : "null"));
        },
    };
};

const char *kAlbum = "album";
const char *kBcast = "bcast";
using Album = Recorder<&kAlbum>;
using Bcast = Recorder<&kBcast>;

// Calls every control function once; returns what the queries answered.
std::string call_every_control() {
    rv_Play();
    rv_pause();
    rv_stop();
    rv_reset();
    rv_switchPlayOrPause();
    rv_seek(1500);
    rv_playPre();
    rv_playNext();
    dao_play_item probe{};
    std::string answers;
    answers += rv_isPlaying() ? "T" : "F";
    answers += rv_isPaused() ? "T" : "F";
    answers += rv_canSeek() ? "T" : "F";
    answers += rv_hasPre() ? "T" : "F";
    answers += rv_hasNext() ? "T" : "F";
    answers += " " + std::to_string(rv_getCurPlayItemIndex());
    answers += " " + std::to_string(rv_getPlayItemIndex(&probe));
    answers += " " + std::to_string(rv_getPlayListSize());
    answers += rv_getCurPlayItem() != nullptr ? " item" : " null";
    answers += rv_getPlayItem(2) != nullptr ? " item" : " null";
    answers += rv_getPlayList() != nullptr ? " list" : " null";
    return answers;
}

class PlaybackApi : public ::testing::Test {
  protected:
    void SetUp() override {
        mCurPlayerType = kPlayerTypeNone;
        ipa_set_play_manager(kPlayerTypeAlbum, nullptr);
        ipa_set_play_manager(kPlayerTypeBroadcast, nullptr);
        g_calls.clear();
    }
    void TearDown() override { SetUp(); }
    void install() {
        ipa_set_play_manager(kPlayerTypeAlbum, &Album::ops);
        ipa_set_play_manager(kPlayerTypeBroadcast, &Bcast::ops);
    }
    rv::test::LogCapture log_;
};

// A fetch listener that counts the refusals it hears.
int g_unavailable = 0;
FetchPlaylistListener g_fetch_listener{nullptr, [](void *) { ++g_unavailable; }};

TEST_F(PlaybackApi, BeforeAnyPlayStartEveryFunctionIsRefused) {
    install();  // managers present, but none chosen yet
    EXPECT_EQ(call_every_control(), "FFFFF -1 -1 -1 null null null");
    g_unavailable = 0;
    rv_fetchMorePlaylist(&g_fetch_listener, "c");
    EXPECT_EQ(g_unavailable, 1);  // refused, and told so
    FetchPlaylistListener silent{};
    rv_fetchMorePlaylist(&silent, "c");
    rv_fetchMorePlaylist(nullptr, "c");
    EXPECT_EQ(log_.count("Unknown Player Type ! \n"), 22);
    EXPECT_EQ(log_.count("CALL API [rv_seek] \n"), 1);
    EXPECT_TRUE(g_calls.empty());
}

// The speed is the engine's, for whatever plays next: no player is needed, and a value
// outside the range is refused with 4 and an E line, never clamped.
TEST_F(PlaybackApi, SpeedNeedsNoPlayerAndIsRefusedOutsideItsRange) {
    const std::pair<float, int32_t> rows[] = {
        {0.5f, RVE_OK},        {2.0f, RVE_OK},        {1.25f, RVE_OK},    {0.49f, RVE_BAD_ARGS},
        {2.01f, RVE_BAD_ARGS}, {-1.0f, RVE_BAD_ARGS}, {NAN, RVE_BAD_ARGS}};
    int refused = 0;
    for (const auto &[speed, result] : rows) {
        EXPECT_EQ(rv_setPlaybackSpeed(speed), result) << speed;
        refused += result != RVE_OK;
    }
    EXPECT_EQ(log_.count("CALL API [rv_setPlaybackSpeed] \n"), 7);
    EXPECT_EQ(static_cast<int>(log_.starting_with("Speed ").size()), refused);
    EXPECT_EQ(rv_setPlaybackSpeed(1.0f), RVE_OK);
    EXPECT_TRUE(g_calls.empty());
}

// OnError calls heard: what and detail.
std::vector<std::pair<int32_t, int32_t>> g_errors;
PlayerStateListener make_error_listener() {
    PlayerStateListener listener{};
    listener.OnError = [](int32_t what, int32_t detail) { g_errors.emplace_back(what, detail); };
    return listener;
}
PlayerStateListener g_error_listener = make_error_listener();

// The volume told is the one the engine got, whichever function set it; the
// engine never gets a gain beyond 1 (it would amplify and clip).
TEST_F(PlaybackApi, TheVolumeToldIsTheEnginesAndStaysWithinOne) {
    const struct {
        float left, right;
        float told;
    } rows[] = {{0.5f, 0.5f, 0.5f},
                {0.2f, 0.7f, 0.7f},
                {4.0f, 4.0f, 1.0f},
                {-1.0f, 0.0f, 0.0f},
                {NAN, NAN, 0.0f}};
    for (const auto &row : rows) {
        ijk_SetMediaVolume(row.left, row.right);
        EXPECT_EQ(rv_getVolume(), row.told) << row.left << " " << row.right;
    }
    EXPECT_EQ(rv_setVolume(0.25f, 0), RVE_OK);
    EXPECT_EQ(rv_getVolume(), 0.25f);
    EXPECT_EQ(rv_setVolume(1.5f, 0), RVE_BAD_ARGS);
    EXPECT_EQ(rv_getVolume(), 0.25f);
    EXPECT_EQ(rv_setVolume(1.0f, 0), RVE_OK);
}

TEST_F(PlaybackApi, WithoutManagersEvenAChosenPlayerIsRefused) {
    g_errors.clear();
    setPlayerStateListener(&g_error_listener);
    dao_play_item item{};
    item.type = RV_RESOURCE_AUDIO;
    rv_playByPlayItem(&item);
    removePlayerStateListener();
    EXPECT_EQ(mCurPlayerType.load(), kPlayerTypeNone);
    EXPECT_EQ(
        g_errors,
        (std::vector<std::pair<int32_t, int32_t>>{{RV_ERROR_WHAT_START_FAILED, RVE_NOT_READY}}));
    EXPECT_EQ(call_every_control(), "FFFFF -1 -1 -1 null null null");
    EXPECT_EQ(log_.count("Unknown Player Type ! \n"), 20);  // the play-start included
}

TEST_F(PlaybackApi, ResourceTypesChooseThePlayer) {
    install();
    struct Case {
        int32_t type;
        int32_t player;
        const char *call;
    };
    for (const Case &c :
         {Case{0, kPlayerTypeAlbum, "album bean 0"}, Case{1, kPlayerTypeAlbum, "album bean 1"},
          Case{3, kPlayerTypeAlbum, "album bean 3"},
          Case{11, kPlayerTypeBroadcast, "bcast bean 11"}}) {
        g_calls.clear();
        dao_play_audio_bean bean{};
        bean.type = c.type;
        rv_playByAudioBean(&bean);
        EXPECT_EQ(mCurPlayerType.load(), c.player) << c.type;
        EXPECT_EQ(g_calls, Lines{c.call});
    }
    g_calls.clear();
    dao_play_item item{};
    item.type = 11;
    rv_playByPlayItem(&item);
    item.type = 3;
    rv_playByPlayItem(&item);
    EXPECT_EQ(g_calls, (Lines{"bcast item 11", "album item 3"}));
    EXPECT_EQ(log_.count("CALL API [rv_playByPlayItem] \n"), 2);
}

TEST_F(PlaybackApi, AnUnknownResourceTypeIsHeardAndKeepsThePlayerChosenBefore) {
    install();
    g_errors.clear();
    setPlayerStateListener(&g_error_listener);
    dao_play_audio_bean bean{};
    bean.type = RV_RESOURCE_BROADCAST;
    rv_playByAudioBean(&bean);
    ASSERT_EQ(mCurPlayerType.load(), kPlayerTypeBroadcast);
    for (int32_t type : {2, -1, 12, 4}) {
        bean.type = type;
        rv_playByAudioBean(&bean);
        EXPECT_EQ(mCurPlayerType.load(), kPlayerTypeBroadcast) << type;
    }
    dao_play_item item{};
    item.type = 2;
    rv_playByPlayItem(&item);
    removePlayerStateListener();
    EXPECT_EQ(log_.count("Unknown Resource Type ! \n"), 5);
    EXPECT_EQ(g_errors, (std::vector<std::pair<int32_t, int32_t>>(
                            5, {RV_ERROR_WHAT_START_FAILED, RV_START_UNKNOWN_TYPE})));
    g_calls.clear();
    rv_stop();
    EXPECT_EQ(g_calls, Lines{"bcast stop"});
}

TEST_F(PlaybackApi, NullBeanOrItemChangesNothing) {
    install();
    rv_playByAudioBean(nullptr);
    rv_playByPlayItem(nullptr);
    EXPECT_EQ(mCurPlayerType.load(), kPlayerTypeNone);
    EXPECT_EQ(log_.count(" \n"), 1);
    EXPECT_EQ(log_.count("\n"), 1);
    EXPECT_TRUE(g_calls.empty());
}

TEST_F(PlaybackApi, ControlsGoToTheChosenPlayerWithTheirArguments) {
    install();
    for (const char *name : {"album", "bcast"}) {
        dao_play_audio_bean bean{};
        bean.type = std::string(name) == "album" ? 0 : 11;
        rv_playByAudioBean(&bean);
        g_calls.clear();
        EXPECT_EQ(call_every_control(), "TTTTT 7 8 9 item item list");
        const std::string n = name;
        EXPECT_EQ(g_calls, (Lines{n + " play", n + " pause", n + " stop", n + " reset",
                                  n + " switch", n + " seek 1500", n + " pre", n + " next",
                                  n + " isPlaying", n + " isPaused", n + " canSeek", n + " hasPre",
                                  n + " hasNext", n + " curIndex", n + " indexOf", n + " size",
                                  n + " curItem", n + " item at 2", n + " list"}));
    }
    EXPECT_EQ(rv_getCurPlayItem(), &Bcast::item);  // owned by the play list, handed through
}

TEST_F(PlaybackApi, FetchingMoreIsTheAlbumPlayersAlone) {
    install();
    FetchPlaylistListener listener{};
    dao_play_audio_bean bean{};
    bean.type = 3;
    rv_playByAudioBean(&bean);
    rv_fetchMorePlaylist(&listener, "clock-1");
    rv_fetchMorePlaylist(&listener, nullptr);
    bean.type = 11;
    rv_playByAudioBean(&bean);
    rv_fetchMorePlaylist(&listener, "clock-2");
    g_unavailable = 0;
    rv_fetchMorePlaylist(&g_fetch_listener, "clock-3");
    EXPECT_EQ(g_unavailable, 1);  // the broadcast player's refusal is answered
    EXPECT_EQ(g_calls,
              (Lines{"album bean 3", "album fetch clock-1", "album fetch null", "bcast bean 11"}));
    EXPECT_EQ(log_.count("Can not do this\n"), 2);
}

}  // namespace
