// A seeded random walk of user actions through the playback API, with the
// local service delaying or failing random answers (the media and the report
// host included) and broadcasts of 5-second programmes under a fast clock, so
// that the walk crosses programme changes. The model keeps the user's last
// word and the items the application holds; after every step it checks the
// players' invariants: the control functions reach the player that owns the
// engine, the current item belongs to the resource being played, no audio
// twice in the album play list, at most one programme clock, an item held
// since the last resource still reads as it did; once the answers have come,
// a stop or pause is silent and rv_isPlaying false; and (at the end) one
// play-end report for every audio item started, none for an audio more
// often than it was started. A second thread queries the
// player all along; a listener's slots read items, query and pause from the
// threads they run on, and are added and removed during the walk (no call after
// a removal). Events must come in the order decided: no state told twice in a
// row, and once things settle the state and item heard last are the player's.
// The walk runs with the calls made on the SDK's threads and, for one seed, on
// an application loop (a dispatcher).
#include <gtest/gtest.h>
#include <poll.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "player/bcast_data_manager.h"
#include "player/bcast_play_manager.h"
#include "player/listener_recorder.h"
#include "player/player_album_audio_item_list.h"
#include "player/player_album_audio_list.h"
#include "player/player_album_manager.h"
#include "player/player_manager.h"
#include "player/sdk_playback_fixture.h"
#include "rv_data.h"
#include "rv_dispatch.h"
#include "rv_error.h"
#include "support/play_bean.h"

namespace {

using namespace std::chrono_literals;
using rvmock::Fault;

// Answers every rv_fetchMorePlaylist; nothing to check but that it comes back.
FetchPlaylistListener g_fetch{[](dao_play_item *) {}, [](void *) {}};

rvmock::Config short_programmes() {
    rvmock::Config config;
    config.short_programmes = true;
    return config;
}

// Where the reads of items that the sanitizers judge go, so that none is optimised away.
std::atomic<int64_t> g_read{0};

// The user's last word, as the model keeps it.
enum class Said { Play, Pause, Stop };

// A listener whose slots act as an application's would: they read the item
// handed to them and the current one, query the player, and now and then
// pause (never play, so the user's pause or stop still holds). It counts the
// calls that reach it after rv_removePlayerListener returned.
class ActingListener {
  public:
    ~ActingListener() { remove(); }
    void toggle() { id_ != 0 ? remove() : add(); }
    void remove() {
        if (id_ != 0) {
            rv_removePlayerListener(std::exchange(id_, 0));
            current_->removed.store(true);
        }
    }
    static int late_calls() { return late_.load(); }

  private:
    struct Added {
        std::atomic<bool> removed{false};
    };
    static Added *heard(void *user) {
        auto *added = static_cast<Added *>(user);
        if (added->removed.load()) {
            ++late_;
        }
        return added;
    }
    static void on_state(void *user, rv_player_state) {
        heard(user);
        if (++calls_ % 7 == 0) {
            rv_pause();
        } else {
            (void)rv_hasNext();
        }
    }
    // The sanitizers judge these reads: the copy is the slot's, the current item
    // is read under the lock.
    static void on_item(void *user, dao_play_item *item) {
        heard(user);
        int64_t read = item->audioId;
        player_global_mutex_lock();
        if (const dao_play_item *current = rv_getCurPlayItem()) {
            read += current->audioId;
        }
        player_global_mutex_unlock();
        g_read.store(read);
        dao_play_item_del(item);
    }
    static void on_progress(void *user, int32_t, int64_t, int64_t) {
        heard(user);
        (void)rv_getPlayListSize();
    }
    void add() {
        rv_player_events events{};
        events.struct_size = sizeof events;
        events.on_state_changed = on_state;
        events.on_item_changed = on_item;
        events.on_progress = on_progress;
        current_ = &added_.emplace_back();
        ASSERT_EQ(rv_addPlayerListener(&events, current_, &id_), RVE_OK);
    }

    std::deque<Added> added_;  // every registration's record outlives the walk
    Added *current_ = nullptr;
    rv_listener_id id_ = 0;
    static inline std::atomic<int> late_{0};
    static inline std::atomic<unsigned> calls_{0};
};

// What a plain listener heard: the state and item last told, and whether a state was
// told twice in a row (a later change told before an earlier one).
class OrderListener {
  public:
    OrderListener() {
        rv_player_events events{};
        events.struct_size = sizeof events;
        events.on_state_changed = [](void *user, rv_player_state state) {
            auto *self = static_cast<OrderListener *>(user);
            std::lock_guard lock(self->mutex_);
            self->repeated_ += self->heard_ && state == self->state_;
            self->heard_ = true;
            self->state_ = state;
        };
        events.on_item_changed = [](void *user, dao_play_item *item) {
            auto *self = static_cast<OrderListener *>(user);
            std::lock_guard lock(self->mutex_);
            self->item_ = item->audioId;
            dao_play_item_del(item);
        };
        EXPECT_EQ(rv_addPlayerListener(&events, this, &id_), RVE_OK);
    }
    ~OrderListener() { rv_removePlayerListener(id_); }
    // Waits up to 2 s for the last state and item told to be the player's (a programme
    // change may be on its way).
    void expect_settled() const {
        int64_t current = 0;
        rv_player_state state = RV_PLAYER_IDLE;
        for (int i = 0; i < 40; ++i) {
            player_global_mutex_lock();
            const dao_play_item *item = rv_getCurPlayItem();
            current = item != nullptr ? item->audioId : item_;
            state = rv_getPlayerState();
            player_global_mutex_unlock();
            std::lock_guard lock(mutex_);
            if (item_ == current && state_ == state) {
                break;
            }
            std::this_thread::sleep_for(50ms);
        }
        std::lock_guard lock(mutex_);
        EXPECT_EQ(item_, current) << "the item told last is not the current one";
        EXPECT_EQ(state_, state) << "the state told last is not the player's";
        EXPECT_EQ(repeated_, 0) << "a state told twice in a row";
    }

  private:
    mutable std::mutex mutex_;                // guards the fields below (slots run on any thread)
    rv_player_state state_ = RV_PLAYER_IDLE;  // as at start-up, until one is told
    bool heard_ = false;
    int64_t item_ = 0;
    int repeated_ = 0;
    rv_listener_id id_ = 0;
};

// The application's loop: a thread that runs the SDK's calls when its descriptor says so.
class CallbackLoop {
  public:
    CallbackLoop() : fd_(rv_getCallbackFd()) {
        EXPECT_GE(fd_, 0);
        thread_ = std::thread([this] {
            while (running_.load()) {
                pollfd p{fd_, POLLIN, 0};
                if (poll(&p, 1, 50) > 0) {
                    rv_runCallbacks();
                }
            }
        });
    }
    // Call with the SDK stopped (what is queued ran at release).
    ~CallbackLoop() {
        running_.store(false);
        thread_.join();
        rv_setCallbackDispatcher(nullptr, nullptr);
    }

  private:
    int fd_;
    std::atomic<bool> running_{true};
    std::thread thread_;
};

class PlaybackModel : public rv::test::SdkPlaybackTest {
  protected:
    PlaybackModel() : SdkPlaybackTest(short_programmes()) {}
    void SetUp() override {
        SdkPlaybackTest::SetUp();
        _time_monitor_set_tick(100);
    }
    void TearDown() override {
        SdkPlaybackTest::TearDown();
        _time_monitor_set_tick(1000);
    }

    // After the user's stop or pause, checks that nothing is heard (and prints
    // the step's log lines when something is).
    void walk(uint32_t seed, int steps) {
        std::printf("playback model: seed %u, %d steps\n", seed, steps);
        std::fflush(stdout);
        std::mt19937 rng(seed);
        service_.clear_reports();
        const char *start_line = "Call func album_startPlayItemInner() \n";
        const int starts_before = log_.count(start_line);
        const char *audio_line = "Audio To Play [audioId=";
        const std::size_t audios_before = log_.starting_with(audio_line).size();
        const int again_before = log_.count("Play The Current Item Again From Its Start ... \n");
        const auto pick = [&rng](std::size_t n) {
            return std::uniform_int_distribution<std::size_t>(0, n - 1)(rng);
        };
        // Albums (one from a later page), a single audio, a smartcast radio, broadcasts.
        const struct {
            int32_t type;
            int64_t id, audio;
        } beans[] = {{0, 1100001, 0},    {0, 1100001, 3000000125}, {0, 1100004, 0},
                     {1, 0, 3000000203}, {3, 2100002, 0},          {11, 1003, 0},
                     {11, 1002, 0}};
        Said said = Said::Play;
        // An item the application took, read again on later steps until a new resource.
        const dao_play_item *held = nullptr;
        int64_t held_id = 0;
        bool seeked = false;  // since the user last played
        ActingListener acting;
        acting.toggle();  // added
        std::optional<OrderListener> order(std::in_place);
        const int late_before = ActingListener::late_calls();
        const auto new_resource = [&](Said now) {
            said = now;
            held = nullptr;
        };
        const std::vector<std::pair<const char *, std::function<void()>>> actions = {
            {"by bean",
             [&] {
                 const auto &bean = beans[pick(std::size(beans))];
                 new_resource(Said::Play);
                 rv::test::play_bean(bean.type, bean.id, bean.audio);
             }},
            {"item of the list",
             [&] {
                 said = Said::Play;
                 play_neighbour_item();
             }},
            {"item of no list",
             [&] {
                 new_resource(Said::Play);
                 play_foreign_item();
             }},
            {"next",
             [&] {
                 said = rv_hasNext() ? Said::Play : said;
                 rv_playNext();
             }},
            {"previous",
             [&] {
                 said = rv_hasPre() ? Said::Play : said;
                 rv_playPre();
             }},
            {"seek",
             [&] {
                 seeked = true;
                 rv_seek(static_cast<int32_t>(pick(3000)));
             }},
            {"pause",
             [&] {
                 said = Said::Pause;
                 rv_pause();
             }},
            {"play",
             [&] {
                 said = Said::Play;
                 rv_Play();
             }},
            {"toggle",
             [&] {
                 player_global_mutex_lock();  // no event between the question and the toggle
                 said = rv_isPlaying() ? Said::Pause : Said::Play;
                 rv_switchPlayOrPause();
                 player_global_mutex_unlock();
             }},
            {"stop",
             [&] {
                 said = Said::Stop;
                 rv_stop();
             }},
            {"fetch more", [] { rv_fetchMorePlaylist(&g_fetch, nullptr); }},
            {"add or remove the acting listener", [&] { acting.toggle(); }},
            {"hold the current item",
             [&] {
                 player_global_mutex_lock();
                 held = rv_getCurPlayItem();
                 held_id = held != nullptr ? held->audioId : 0;
                 player_global_mutex_unlock();
             }},
            {"release and start again",
             [&] {
                 new_resource(Said::Stop);
                 order.reset();
                 rv_releaseSdk();
                 ASSERT_EQ(rv::test::start_sdk(service_.http_url(), dir_.path()), 0);
                 order.emplace();
             }},
        };
        const char *paths[] = {
            "/v2/audio/list",     "/v2/audio/detail", "/v2/radio/list", "/v2/broadcast/programlist",
            "/v2/broadcast/date", "/media/*",         "/live/*",        "/c.gif"};
        // Queries and walks of the play list (as a UI thread draws it) from a second thread.
        std::atomic<bool> walking{true};
        std::thread second([&walking] {
            int64_t read = 0;  // the sanitizers judge the reads
            while (walking.load()) {
                (void)rv_isPlaying();
                (void)rv_isPaused();
                (void)rv_hasNext();
                player_global_mutex_lock();
                for (ListItem *node = ListFirst(rv_getPlayList()); node != nullptr;
                     node = ListNext(node)) {
                    read += static_cast<dao_play_item *>(node->data)->audioId;
                }
                player_global_mutex_unlock();
                std::this_thread::sleep_for(10ms);
            }
            g_read.store(read);
        });
        for (int step = 0; step < steps; ++step) {
            if (pick(4) != 0) {
                // Reports are only delayed, and less than release waits for them:
                // one still unanswered then is kept by the outbox and sent again.
                const char *path = paths[pick(std::size(paths))];
                const bool report = std::strcmp(path, "/c.gif") == 0;
                const bool error = pick(4) == 0 && !report;
                service_.set_fault(path, {.kind = error ? Fault::Kind::Error : Fault::Kind::None,
                                          .delay_ms = static_cast<int>(pick(report ? 150 : 600)),
                                          .times = 1});
            }
            const std::size_t at = pick(actions.size() + 4);  // beans weigh five
            const auto &[name, run] = actions[at < actions.size() ? at : 0];
            SCOPED_TRACE(std::string("step ") + std::to_string(step) + ": " + name);
            const std::size_t lines_before = log_.starting_with("").size();
            run();
            seeked = seeked && said != Said::Play;
            std::this_thread::sleep_for(std::chrono::milliseconds(pick(200)));
            check_invariants();
            if (held != nullptr) {
                EXPECT_EQ(held->audioId, held_id);
            }
            // Once every delayed answer has come, the user's stop or pause holds.
            // (A seek while paused or stopped may let the engine write what it
            // decoded meanwhile: left to the engine's tests.)
            if (said != Said::Play && !seeked && pick(3) == 0) {
                std::this_thread::sleep_for(700ms);
                EXPECT_FALSE(rv_isPlaying());
                order->expect_settled();
                const auto before = capture_->size();
                std::this_thread::sleep_for(400ms);
                EXPECT_EQ(capture_->size(), before) << "heard after the user's stop or pause";
                if (capture_->size() != before) {
                    const auto lines = log_.starting_with("");
                    for (std::size_t i = lines_before; i < lines.size(); ++i) {
                        std::printf("  | %s", lines[i].c_str());
                    }
                }
            }
            if (HasFatalFailure()) {
                break;
            }
        }
        walking.store(false);
        second.join();
        acting.remove();
        EXPECT_EQ(ActingListener::late_calls(), late_before) << "a call after its removal";
        ASSERT_FALSE(HasFatalFailure());
        // Every audio item started is reported once it is left: release leaves the last.
        service_.clear_faults();
        std::this_thread::sleep_for(500ms);  // delayed answers still on their way
        order->expect_settled();
        order.reset();
        rv_releaseSdk();
        // An item played again after a stop is the same visit unless it had ended.
        const int started = log_.count(start_line) - starts_before;
        const int again =
            log_.count("Play The Current Item Again From Its Start ... \n") - again_before;
        const auto reports = wait_reports("101010", started);
        const int reported = static_cast<int>(reports.size());
        EXPECT_LE(reported, started);
        EXPECT_GE(reported, started - again);
        // By audio: none reported more often than it was started.
        std::map<std::string, int> balance;  // starts less reports
        const auto audios = log_.starting_with(audio_line);
        for (std::size_t i = audios_before; i < audios.size(); ++i) {
            const std::string &line = audios[i];
            ++balance[line.substr(std::strlen(audio_line),
                                  line.find(']') - std::strlen(audio_line))];
        }
        for (const rvmock::Report &report : reports) {
            EXPECT_GE(--balance[report.value("audioid")], 0) << report.value("audioid");
        }
    }

    // An item of the play list that is not the current one, taken and started
    // under the player lock, so that the list cannot change in between.
    static void play_neighbour_item() {
        player_global_mutex_lock();
        const int32_t index = rv_getCurPlayItemIndex();
        dao_play_item *item = rv_getPlayItem(index + 1);
        if (item == nullptr) {
            item = rv_getPlayItem(index - 1);
        }
        if (item != nullptr) {
            rv_playByPlayItem(item);
        }
        player_global_mutex_unlock();
    }

    // An audio of another album, never the current item (restarting that is
    // the same visit, reported once: not counted as a new start).
    void play_foreign_item() {
        player_global_mutex_lock();
        const dao_play_item *current = rv_getCurPlayItem();
        const int64_t audio =
            current != nullptr && current->audioId == 3000000402 ? 3000000403 : 3000000402;
        dao_play_item *item = dao_play_item_new();
        item->audioId = audio;
        item->albumId = 1100004;
        item->type = RV_RESOURCE_AUDIO;
        const std::string path = "/media/audio/" + std::to_string(audio) + "/aac_64.aac";
        item->playUrl = strdup((service_.http_url() + path).c_str());
        rv_playByPlayItem(item);
        dao_play_item_del(item);
        player_global_mutex_unlock();
    }

    void check_invariants() {
        {
            player_global_mutex_lock();
            const bool album = album_isPlayerEnable();
            const bool broadcast = bcast_isPlayerEnable();
            EXPECT_FALSE(album && broadcast);
            // The control functions reach the owner.
            if (album || broadcast) {
                EXPECT_EQ(rv_getPlayList(), album ? album_getPlayList() : bcast_getPlayList());
                EXPECT_EQ(rv_getCurPlayItem(),
                          album ? album_getCurPlayItem() : bcast_getCurPlayItem());
            }
            // The current item (every item, for an album) belongs to the resource played.
            const dao_play_audio_item *resource = album_getCurPlayAudioItem();
            const dao_play_item *current = album_getCurPlayItem();
            if (resource != nullptr && resource->type == RV_RESOURCE_ALBUM && current != nullptr) {
                for (ListItem *node = ListFirst(album_getPlayList()); node != nullptr;
                     node = ListNext(node)) {
                    EXPECT_EQ(static_cast<dao_play_item *>(node->data)->albumId, resource->id);
                }
            }
            if (const dao_play_item *programme = bcast_getCurPlayItem()) {
                EXPECT_EQ(programme->albumId, bcast_getPlayItem(0)->albumId);
            }
            // No audio twice in the album play list.
            std::set<int64_t> seen;
            for (ListItem *node = ListFirst(album_getPlayList()); node != nullptr;
                 node = ListNext(node)) {
                EXPECT_TRUE(seen.insert(static_cast<dao_play_item *>(node->data)->audioId).second)
                    << static_cast<dao_play_item *>(node->data)->audioId;
            }
            player_global_mutex_unlock();
        }
        // At most one clock (one that was told to stop finishes its tick first).
        for (int i = 0; i < 50 && _time_monitor_threads() > 1; ++i) {
            std::this_thread::sleep_for(20ms);
        }
        EXPECT_LE(_time_monitor_threads(), 1);
    }
};

TEST_F(PlaybackModel, FixedSeeds) {
    for (const auto &[seed, on_loop] : {std::pair{1u, false}, {2u, true}, {3u, false}}) {
        std::optional<CallbackLoop> loop;
        if (on_loop) {
            rv_releaseSdk();
            loop.emplace();
            ASSERT_EQ(rv::test::start_sdk(service_.http_url(), dir_.path()), 0);
        }
        walk(seed, 25);  // leaves the SDK stopped
        loop.reset();
        ASSERT_FALSE(HasFatalFailure());
        ASSERT_EQ(rv::test::start_sdk(service_.http_url(), dir_.path()), 0);
    }
}

// By hand (label soak): a long walk from a random seed, printed; RV_MODEL_SEED repeats
// one, RV_MODEL_STEPS lengthens it (about 4 steps a second).
TEST_F(PlaybackModel, Soak) {
    const char *seed = std::getenv("RV_MODEL_SEED");
    const char *steps = std::getenv("RV_MODEL_STEPS");
    walk(seed != nullptr ? static_cast<uint32_t>(std::stoul(seed)) : std::random_device{}(),
         steps != nullptr ? std::stoi(steps) : 400);
}

}  // namespace
