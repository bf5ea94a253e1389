// The players do what the user said last: one table per family of faults,
// the answers ordered by the local service's delays, the ALSA capture as the
// proof where there is sound. Broadcasts have 5-second programmes and a fast
// programme clock, so that programme changes come within seconds.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "orvellaplayer.h"
#include "player/bcast_data_manager.h"
#include "player/ijk_media_player.h"
#include "player/listener_recorder.h"
#include "player/player_manager.h"
#include "player/sdk_playback_fixture.h"
#include "rv_error.h"
#include "support/play_bean.h"

namespace {

using namespace std::chrono_literals;
using rv::test::Ears;
using rv::test::Heard;

constexpr int64_t kAlbumA = 1100001, kAudioA1 = 3000000101;  // 2 s audios, pages of 20
constexpr int64_t kAlbumB = 1100004, kAudioB1 = 3000000401;  // 5 s audios
constexpr int64_t kUnknownAlbum = 1999999;
constexpr int64_t kLive = 1002, kOffAir = 1004;

void album_a() {
    rv::test::play_bean(RV_RESOURCE_ALBUM, kAlbumA);
}
void album_b() {
    rv::test::play_bean(RV_RESOURCE_ALBUM, kAlbumB);
}
void live() {
    rv::test::play_bean(RV_RESOURCE_BROADCAST, kLive);
}

rvmock::Config short_programmes() {
    rvmock::Config config;
    config.short_programmes = true;
    return config;
}

// OnError calls heard with `what`.
int errors(int32_t what) {
    int n = 0;
    for (const Heard &h : Ears::get().snapshot()) {
        n += h.what == "error" && h.a == what;
    }
    return n;
}

class PlayersSettled : public rv::test::SdkPlaybackTest {
  protected:
    PlayersSettled() : SdkPlaybackTest(short_programmes()) {}
    void SetUp() override {
        SdkPlaybackTest::SetUp();
        _time_monitor_set_tick(100);  // ten service seconds a second
    }
    void TearDown() override {
        SdkPlaybackTest::TearDown();
        _time_monitor_set_tick(1000);
    }
    void delay(const char *path, int ms) { service_.set_fault(path, {.delay_ms = ms, .times = 1}); }
    // True when nothing is written to the device for a while.
    bool silent() const {
        const auto before = capture_->size();
        std::this_thread::sleep_for(700ms);
        return capture_->size() == before;
    }
    double tone(int64_t id) const {
        return rvtone::tone_seconds(capture_->read(44100, 1).mono(), 44100,
                                    rvtone::frequency_for_audio_id(id));
    }
    // A listener of the states alone, removed by the caller.
    static rv_listener_id listen_states(void (*slot)(void *, rv_player_state)) {
        rv_player_events events{};
        events.struct_size = sizeof events;
        events.on_state_changed = slot;
        rv_listener_id id = 0;
        EXPECT_EQ(rv_addPlayerListener(&events, nullptr, &id), RVE_OK);
        return id;
    }
    // Starts the row afresh: nothing playing, nothing heard, no fault.
    void settle() {
        rv_stop();
        service_.clear_faults();
        std::this_thread::sleep_for(300ms);
        Ears::get().clear();
    }
};

TEST_F(PlayersSettled, AStopHoldsOverEverythingOnItsWay) {
    struct {
        const char *name;
        std::function<void()> before;  // what plays when the start is made
        const char *late;              // the start's answer, delayed
        void (*start)();
        int64_t current_album;  // what rv_Play after the stop replays (0: nothing)
    } const rows[] = {
        {"album's first page", [] {}, "/v2/audio/list", album_a, 0},
        {"broadcast's programme list", [] {}, "/v2/broadcast/programlist", live, 0},
        {"album while a broadcast plays", [] { live(); }, "/v2/audio/list", album_b, kLive},
        {"next item's media", [] { album_a(); }, "/media/*", rv_playNext, kAlbumA},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        settle();
        row.before();
        if (row.current_album != 0) {
            ASSERT_TRUE(Ears::get().wait_for("playing"));
        }
        const int prepared = Ears::get().count("prepared");
        delay(row.late, 1000);
        row.start();
        rv_stop();
        std::this_thread::sleep_for(1500ms);  // the late answer has come
        EXPECT_EQ(Ears::get().count("prepared"), prepared);
        EXPECT_FALSE(rv_isPlaying());
        EXPECT_TRUE(silent());

        // Play after a stop plays the current item again from its start; with
        // none, nothing happens and nothing is raised.
        const int playing = Ears::get().count("playing");
        rv_Play();
        if (row.current_album == 0) {
            std::this_thread::sleep_for(500ms);
            EXPECT_EQ(Ears::get().count("playing"), playing);
            EXPECT_EQ(Ears::get().count("error"), 0);
            continue;
        }
        ASSERT_TRUE(Ears::get().wait_for("prepared", prepared + 1));
        ASSERT_TRUE(Ears::get().wait_for("playing", playing + 1));
        EXPECT_TRUE(rv_isPlaying());
        ASSERT_NE(rv_getCurPlayItem(), nullptr);
        EXPECT_EQ(rv_getCurPlayItem()->albumId, row.current_album);
    }
}

// Whether the states told (on_state_changed) since the start of a row are
// `expected` in order, ending with its last; a state decided on one thread may
// be overtaken by a later one decided on another, and is then left out.
::testing::AssertionResult states_told(const std::vector<int64_t> &expected) {
    std::vector<int64_t> told;
    for (const Heard &h : Ears::get().snapshot()) {
        if (h.what == "state") {
            told.push_back(h.a);
        }
    }
    auto next = expected.begin();
    for (const int64_t state : told) {
        next = std::find(next, expected.end(), state);
        if (next == expected.end()) {
            break;
        }
        ++next;
    }
    if (!told.empty() && next == expected.end() && told.back() == expected.back()) {
        return ::testing::AssertionSuccess();
    }
    std::string text;
    for (const int64_t state : told) {
        text += std::to_string(state) + " ";
    }
    return ::testing::AssertionFailure() << "told: " << text;
}

TEST_F(PlayersSettled, StatesAreToldAsHeardAndAStartThatCannotPlayIsToldOnce) {
    enum : int64_t {
        Preparing = RV_PLAYER_PREPARING,
        Playing = RV_PLAYER_PLAYING,
        Paused = RV_PLAYER_PAUSED,
        Buffering = RV_PLAYER_BUFFERING,
        Stopped = RV_PLAYER_STOPPED,
        Ended = RV_PLAYER_ENDED,
        Error = RV_PLAYER_ERROR,
    };
    struct {
        const char *name;
        std::function<void()> run;    // until the state to check
        bool playing;                 // what rv_isPlaying answers then, and whether it is heard
        std::vector<int64_t> states;  // told from the start of the row
        int64_t item;                 // the audioId told current last (0: not checked)
        int start_failures;           // OnError(RV_ERROR_WHAT_START_FAILED) heard
        int32_t detail;               // its detail (0: any)
    } const rows[] = {
        {"stopped",
         [] {
             album_a();
             ASSERT_TRUE(Ears::get().wait_for("playing"));
             rv_stop();
         },
         false,
         {Preparing, Playing, Stopped},
         kAudioA1,
         0,
         0},
        {"paused",
         [] {
             album_a();
             ASSERT_TRUE(Ears::get().wait_for("playing"));
             rv_pause();
         },
         false,
         {Preparing, Playing, Paused},
         kAudioA1,
         0,
         0},
        {"engine error",
         [this] {
             service_.set_fault("/media/*", {.kind = rvmock::Fault::Kind::Error});
             album_a();
             ASSERT_TRUE(Ears::get().wait_for("error"));
         },
         false,
         {Preparing, Error},
         kAudioA1,
         0,
         0},
        {"play list ended",
         [] {
             rv::test::play_bean(RV_RESOURCE_AUDIO, 0, kAudioA1);
             ASSERT_TRUE(Ears::get().wait_for("end"));
             std::this_thread::sleep_for(300ms);
         },
         false,
         {Preparing, Playing, Ended},
         kAudioA1,
         0,
         0},
        {"album the service does not know",
         [] {
             rv::test::play_bean(RV_RESOURCE_ALBUM, kUnknownAlbum);
             ASSERT_TRUE(Ears::get().wait_for("error"));
         },
         false,
         {Preparing, Error},
         0,
         1,
         0},
        {"broadcast with nothing on air",
         [] {
             rv::test::play_bean(RV_RESOURCE_BROADCAST, kOffAir);
             ASSERT_TRUE(Ears::get().wait_for("error"));
         },
         false,
         {Preparing, Error},
         0,
         1,
         RV_START_NOT_ON_AIR},
        {"first page answered after the application's own fetch",
         [this] {
             static FetchPlaylistListener ignored{[](dao_play_item *) {}, [](void *) {}};
             delay("/v2/audio/list", 600);
             album_a();
             rv_fetchMorePlaylist(&ignored, nullptr);  // the same page, answered first
             ASSERT_TRUE(Ears::get().wait_for("playing", 1, 5s));
         },
         true,
         {Preparing, Playing},
         kAudioA1,
         0,
         0},
        {"next page answered after the application's own fetch",
         [this] {
             static FetchPlaylistListener ignored{[](dao_play_item *) {}, [](void *) {}};
             const auto pages = [this] {
                 const auto seen = service_.requests();
                 return std::count_if(seen.begin(), seen.end(),
                                      [](const auto &r) { return r.path == "/v2/audio/list"; });
             };
             rv::test::play_bean(RV_RESOURCE_ALBUM, kAlbumA, kAudioA1 + 19);  // page 1's last
             ASSERT_TRUE(Ears::get().wait_for("playing"));
             const auto asked = pages();
             delay("/v2/audio/list", 600);
             rv_playNext();  // asks for page 2, answered late
             for (int i = 0; i < 500 && pages() == asked; ++i) {
                 std::this_thread::sleep_for(10ms);
             }
             rv_fetchMorePlaylist(&ignored, nullptr);  // the same page, answered first
             ASSERT_TRUE(Ears::get().wait_for("playing", 2, 5s));
         },
         true,
         {Preparing, Playing, Preparing, Playing},
         kAudioA1 + 20,
         0,
         0},
        {"a stall of the service",
         [this] {
             // A live stream whose connection is cut, and whose reconnection is
             // answered late enough for the output to run dry.
             const std::string path = "/live/1003.aac";
             service_.set_fault(path,
                                {.kind = rvmock::Fault::Kind::Cut, .bytes = 30000, .times = 1});
             service_.set_fault("/live/*", {.delay_ms = 2500, .times = 1});
             std::unique_ptr<dao_play_item, decltype(&dao_play_item_del)> item(dao_play_item_new(),
                                                                               dao_play_item_del);
             item->audioId = kAudioA1;
             item->playUrl = strdup((service_.http_url() + path).c_str());
             rv_playByPlayItem(item.get());
             ASSERT_TRUE(Ears::get().wait_for("buffered"));
         },
         true,
         {Preparing, Playing, Buffering, Playing},
         kAudioA1,
         0,
         0},
    };
    int64_t item_told = 0;  // told once per new item: the same one again is not told
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        settle();
        row.run();
        ASSERT_FALSE(HasFatalFailure());
        EXPECT_EQ(rv_isPlaying(), row.playing);
        std::this_thread::sleep_for(300ms);  // told once: nothing more comes; faded out
        EXPECT_EQ(silent(), !row.playing);
        EXPECT_TRUE(states_told(row.states));
        EXPECT_EQ(rv_getPlayerState(), row.states.back());
        EXPECT_EQ(Ears::get().count("list ended"), row.states.back() == Ended);
        EXPECT_EQ(errors(RV_ERROR_WHAT_START_FAILED), row.start_failures);
        EXPECT_EQ(Ears::get().count("start failed"), row.start_failures);
        for (const Heard &h : Ears::get().snapshot()) {
            if (h.what == "item") {
                item_told = h.a;
            }
            if ((h.what == "error" || h.what == "start failed") && row.detail != 0) {
                EXPECT_EQ(h.b, row.detail);
            }
        }
        if (row.item != 0) {
            EXPECT_EQ(item_told, row.item);
        }
    }
}

// What the players refuse is heard, and leaves the user's last command in force.
TEST_F(PlayersSettled, RefusalsAreHeardOnceAndChangeNothingElse) {
    struct {
        const char *name;
        std::function<void()> run;
        int32_t refused;  // the detail of the one start failure heard (0: none)
        int list_ended;   // on_list_ended heard
        bool playing;     // afterwards
    } const rows[] = {
        {"unknown resource type, then stop, while the album's page is on its way",
         [this] {
             delay("/v2/audio/list", 1000);
             album_a();
             rv::test::play_bean(2, kAlbumA);
             rv_stop();
             std::this_thread::sleep_for(1500ms);  // the page has come
         },
         RV_START_UNKNOWN_TYPE, 0, false},
        {"next at the end of the list",
         [] {
             rv::test::play_bean(RV_RESOURCE_AUDIO, 0, kAudioB1);
             ASSERT_TRUE(Ears::get().wait_for("playing"));
             rv_playNext();
         },
         0, 1, true},
        {"speed while the live stream prepares and plays",
         [this] {
             delay("/live/*", 1000);
             live();
             EXPECT_EQ(rv_setPlaybackSpeed(1.5f), RVE_LIVE_STREAM);
             ASSERT_TRUE(Ears::get().wait_for("playing"));
             EXPECT_EQ(rv_setPlaybackSpeed(1.5f), RVE_LIVE_STREAM);
             EXPECT_EQ(rv_setPlaybackSpeed(3.0f), RVE_BAD_ARGS);
         },
         0, 0, true},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        settle();
        row.run();
        ASSERT_FALSE(HasFatalFailure());
        std::this_thread::sleep_for(300ms);  // told once: nothing more comes
        EXPECT_EQ(rv_isPlaying(), row.playing);
        EXPECT_EQ(Ears::get().count("prepared"), row.playing ? 1 : 0);
        EXPECT_EQ(Ears::get().count("list ended"), row.list_ended);
        EXPECT_EQ(errors(RV_ERROR_WHAT_START_FAILED), row.refused != 0 ? 1 : 0);
        EXPECT_EQ(Ears::get().count("start failed"), row.refused != 0 ? 1 : 0);
        for (const Heard &h : Ears::get().snapshot()) {
            if (h.what == "start failed" ||
                (h.what == "error" && h.a == RV_ERROR_WHAT_START_FAILED)) {
                EXPECT_EQ(h.b, row.refused);
            }
        }
    }
}

TEST_F(PlayersSettled, AProgrammeChangeFollowsTheUserAndLeavesHeldItemsAlone) {
    struct {
        const char *name;
        void (*before)();  // once the live programme plays
        bool follows;      // the new live programme plays on by itself
        bool past;         // a past programme plays across the change
    } const rows[] = {
        {"playing", [] {}, true, false},
        {"paused", rv_pause, false, false},
        {"past programme",
         [] {
             rv_playByPlayItem(rv_getPlayItem(rv_getCurPlayItemIndex() - 1));
             ASSERT_TRUE(Ears::get().wait_for("playing", 2));
         },
         false, true},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        settle();
        live();
        ASSERT_TRUE(Ears::get().wait_for("playing"));
        row.before();
        const int prepared = Ears::get().count("prepared");
        const int playing = Ears::get().count("playing");
        // Held across the change, read after it.
        List *held_list = rv_getPlayList();
        const int32_t held_size = rv_getPlayListSize();
        dao_play_item *held = rv_getCurPlayItem();
        ASSERT_NE(held, nullptr);
        const int64_t held_id = held->audioId;

        ASSERT_TRUE(Ears::get().wait_for("live", 1, 20s));
        int64_t now_live = 0;
        for (const Heard &h : Ears::get().snapshot()) {
            now_live = h.what == "live" ? h.a : now_live;
        }
        std::this_thread::sleep_for(1500ms);  // the clock's retries, if any
        EXPECT_EQ(Ears::get().count("live"), 1);
        EXPECT_EQ(held->audioId, held_id);
        EXPECT_EQ(static_cast<int32_t>(ListLength(held_list)), held_size);
        ASSERT_NE(rv_getCurPlayItem(), nullptr);
        EXPECT_EQ(rv_getCurPlayItem()->audioId, row.past ? held_id : now_live);
        // The broadcast's programmes share one stream: it is never opened again.
        EXPECT_EQ(Ears::get().count("prepared"), prepared);
        if (row.follows) {
            EXPECT_TRUE(rv_isPlaying());
            EXPECT_FALSE(silent());
            continue;
        }
        if (!row.past) {
            EXPECT_EQ(Ears::get().count("playing"), playing);
            EXPECT_TRUE(rv_isPaused());
            EXPECT_TRUE(silent());
            // Resumed at the live point of the programme now live.
            rv_Play();
            ASSERT_TRUE(Ears::get().wait_for("prepared", prepared + 1));
            EXPECT_TRUE(rv_isPlaying());
            EXPECT_EQ(rv_getCurPlayItem()->audioId, now_live);
        }
    }
}

TEST_F(PlayersSettled, AnEndAfterTheUsersPendingStartDoesNotMoveOn) {
    album_a();  // 2 s audios
    ASSERT_TRUE(Ears::get().wait_for("playing"));
    service_.set_fault("/v2/audio/list", {.delay_ms = 2500});  // B's pages come after A1 ended
    album_b();
    ASSERT_TRUE(Ears::get().wait_for("playing", 2, 10s));
    std::this_thread::sleep_for(1s);
    ASSERT_NE(rv_getCurPlayItem(), nullptr);
    EXPECT_EQ(rv_getCurPlayItem()->audioId, kAudioB1);
    EXPECT_EQ(Ears::get().count("prepared"), 2);
    // B's own first page was taken, not dropped for an automatic move of A.
    EXPECT_EQ(log_.count("Answer For An Earlier Resource, Dropped ... \n"), 0);
    rv_stop();
    EXPECT_GT(tone(kAudioB1), 0.5);
}

}  // namespace

namespace {

// Runs `g_inner` on a thread of its own (joined) from the first state slot that hears
// preparing once armed: a move decided while the move before it is being told.
std::function<void()> g_inner;
std::atomic<bool> g_armed{false};

void on_state_nesting(void *, rv_player_state state) {
    if (state == RV_PLAYER_PREPARING && g_armed.exchange(false)) {
        std::thread(g_inner).join();
    }
}

}  // namespace

// Events are told in the order the players decided them: a move made on another thread
// while an earlier move is being told is heard after it, whatever thread tells it.
TEST_F(PlayersSettled, EventsAreToldInTheOrderTheyWereDecided) {
    const rv_listener_id id = listen_states(on_state_nesting);
    const struct {
        const char *name;
        std::function<void()> inner;
    } rows[] = {
        {"next while the next is told", [] { rv_playNext(); }},
        {"another album while the next is told", [] { album_b(); }},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        settle();
        album_a();
        ASSERT_TRUE(Ears::get().wait_for("playing"));
        g_inner = row.inner;
        g_armed.store(true);
        rv_playNext();
        ASSERT_TRUE(Ears::get().wait_for("playing", 2));
        std::this_thread::sleep_for(300ms);  // nothing more on its way
        player_global_mutex_lock();
        const dao_play_item *current = rv_getCurPlayItem();
        const int64_t current_audio = current != nullptr ? current->audioId : 0;
        player_global_mutex_unlock();
        int64_t last_item = 0;
        int64_t last_state = -1;
        for (const Heard &h : Ears::get().snapshot()) {
            last_item = h.what == "item" ? h.a : last_item;
            last_state = h.what == "state" ? h.a : last_state;
        }
        EXPECT_EQ(last_item, current_audio) << "the item heard last is not the current one";
        EXPECT_EQ(last_state, rv_getPlayerState());
    }
    rv_removePlayerListener(id);
}

// Calls of another thread while the SDK is released under them: none crashes
// or reads what release frees (the sanitizer passes watch), none leaves the
// players' lock behind, and the players work again after the next start.
TEST_F(PlayersSettled, CallsRacingReleaseAreAnsweredAndTheNextStartPlays) {
    const struct {
        const char *name;
        std::function<void()> call;
    } rows[] = {
        {"queries", [] { rv_isPlaying(), rv_getCurPlayItem(), rv_getPlayListSize(); }},
        {"controls", [] { rv_pause(), rv_Play(), rv_playNext(), rv_stop(); }},
        {"listeners",
         [] {
             rv_player_events events{};
             events.struct_size = sizeof events;
             rv_listener_id id = 0;
             ASSERT_EQ(rv_addPlayerListener(&events, nullptr, &id), RVE_OK);
             EXPECT_EQ(rv_removePlayerListener(id), RVE_OK);
         }},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        settle();
        album_a();
        ASSERT_TRUE(Ears::get().wait_for("playing"));
        std::atomic<bool> done{false};
        std::thread caller([&] {
            while (!done.load()) {
                row.call();
            }
        });
        std::this_thread::sleep_for(50ms);
        rv_releaseSdk();
        std::this_thread::sleep_for(50ms);  // calls after release too
        done.store(true);
        caller.join();
        ASSERT_EQ(rv::test::start_sdk(service_.http_url(), dir_.path()), 0);
        Ears::get().clear();
        album_a();
        EXPECT_TRUE(Ears::get().wait_for("playing")) << "the players did not start again";
    }
}

// A listener slot walks the album play list while a page it asked for comes
// in: the page joins the list after the slot, never under its walk.
std::atomic<bool> g_walk_armed{false}, g_page_in{false};
std::atomic<int> g_walk_faults{-1};
FetchPlaylistListener g_page_listener{[](dao_play_item *) { g_page_in.store(true); },
                                      [](void *) { g_page_in.store(true); }};
void on_state_walking(void *, rv_player_state state) {
    if (state != RV_PLAYER_PLAYING || !g_walk_armed.exchange(false)) {
        return;
    }
    List *list = rv_getPlayList();
    const uint32_t length = ListLength(list);
    rv_fetchMorePlaylist(&g_page_listener, nullptr);
    // Long enough for the page to arrive and be merged, if it could be now.
    for (int i = 0; i < 40 && !g_page_in.load(); ++i) {
        std::this_thread::sleep_for(50ms);
    }
    uint32_t walked = 0;
    for (ListItem *node = ListFirst(list); node != nullptr; node = ListNext(node)) {
        walked++;
    }
    g_walk_faults.store((walked != length) + (ListLength(list) != length) + g_page_in.load());
}

TEST_F(PlayersSettled, AListenerWalkingThePlayListNeverMeetsAPageMerged) {
    const rv_listener_id id = listen_states(on_state_walking);
    album_a();
    ASSERT_TRUE(Ears::get().wait_for("playing"));
    rv_pause();
    g_walk_armed.store(true);
    rv_Play();
    for (int i = 0; i < 200 && g_walk_faults.load() < 0; ++i) {
        std::this_thread::sleep_for(50ms);
    }
    EXPECT_EQ(g_walk_faults.load(), 0) << "the list changed under the listener's walk";
    for (int i = 0; i < 100 && !g_page_in.load(); ++i) {
        std::this_thread::sleep_for(50ms);
    }
    EXPECT_TRUE(g_page_in.load()) << "the page asked for was never answered";
    EXPECT_EQ(rv_getPlayListSize(), 40);
    rv_removePlayerListener(id);
}

// An engine event of the item being left, taken off the engine's queue just before a move
// and handled after it, changes nothing for the item moved to: only events of the source
// the player prepared last count.
TEST_F(PlayersSettled, ALateEventOfTheItemLeftChangesNothing) {
    const struct {
        const char *name;
        int what, arg1;
    } rows[] = {
        {"prepared", ORV_EVENT_PREPARED, 0},
        {"error", ORV_EVENT_ERROR, ORV_ERROR_NETWORK},
        {"end", ORV_EVENT_COMPLETED, 0},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        settle();
        // The second audio's media comes late: it is still preparing when the event comes.
        service_.set_fault("/media/*", {.kind = rvmock::Fault::Kind::None, .delay_ms = 1500});
        album_b();
        ASSERT_TRUE(Ears::get().wait_for("playing"));
        const uint64_t left = IjkMediaPlayer_getSource();
        rv_playNext();
        ASSERT_TRUE(Ears::get().wait_for("item", 2));
        Ears::get().clear();
        ijk_post_source_event_im(left, row.what, row.arg1, 0);
        std::this_thread::sleep_for(300ms);
        EXPECT_EQ(Ears::get().count("prepared"), 0);
        EXPECT_EQ(Ears::get().count("error"), 0);
        EXPECT_EQ(Ears::get().count("end"), 0);
        ASSERT_TRUE(Ears::get().wait_for("playing", 1, 10s));
        player_global_mutex_lock();
        const dao_play_item *current = rv_getCurPlayItem();
        EXPECT_EQ(current != nullptr ? current->audioId : 0, kAudioB1 + 1);
        player_global_mutex_unlock();
    }
}
