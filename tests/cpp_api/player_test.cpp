// rv::Player over the playback API: play-start from values gives the same
// beans as the library's builders, every control reaches the selected play
// manager (a stand-in installed here), and listener handles register for
// exactly their lifetime, also while events arrive from other threads.
#include "radio_sdk.hpp"

#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <future>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "iface/ifcae_play_v2.h"
#include "mock_service.h"
#include "player/bcast_data_manager.h"
#include "player/ijk_media_player.h"
#include "player/player_manager.h"
#include "player/player_state_listener.h"
#include "request/sdk_fixture.h"
#include "rv_log.h"
#include "support/capture_stdout.h"

extern char **environ;

namespace {

using namespace std::chrono_literals;

// A stand-in album play manager: records what it is asked and answers from `item`.
struct Stand {
    static inline std::vector<std::string> calls;
    static inline std::vector<dao_play_audio_bean> beans;  // strings not kept
    static inline std::vector<std::string> bean_names;
    static inline int64_t item_audio_id = 0;
    static inline dao_play_item item{};
    static inline List *list = nullptr;
    static void note(const std::string &what) { calls.push_back(what); }
    static constexpr play_manager_ops ops{
        [](dao_play_audio_bean *b) {
            beans.push_back(*b);
            bean_names.push_back(std::string(b->name) + "|" + b->img);
            note("bean");
        },
        [](dao_play_item *i) {
            item_audio_id = i->audioId;
            note(std::string("item ") + i->title);
        },
        [] { note("play"); },
        [] { note("pause"); },
        [] { note("stop"); },
        [] { note("reset"); },
        [] { note("switch"); },
        [](int32_t ms) { note("seek " + std::to_string(ms)); },
        [] { note("pre"); },
        [] { note("next"); },
        [] { return true; },
        [] { return false; },
        [] { return true; },
        [] { return false; },
        [] { return true; },
        [] { return 4; },
        [] { return &item; },
        [](dao_play_item *i) { return static_cast<int32_t>(i->audioId % 100); },
        [](int32_t i) { return i == 1 ? &item : nullptr; },
        [] { return 6; },
        [] { return list; },
        nullptr,
    };
};

// A started SDK with its own play managers.
class CppSdkPlayer : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(mock_.start());
        rv::Config config;
        config.app_id = "rv-test-app";
        config.secret_key = "rv-test-secret";
        config.channel = "rv-channel";
        config.package_name = "com.example.radio";
        config.data_dir = dir_.path();
        config.open_api_http = mock_.http_url();
        config.open_api_https = mock_.https_url();
        config.report_host = mock_.http_url();
        config.ca_file = mock_.ca_file();
        sdk_.emplace(config);
    }

    // Starts the album of `audio_id` at that audio and waits until it is
    // prepared; prepares_ counts the items prepared while the handle lives.
    rv::ListenerHandle play_album_at(int64_t audio_id) {
        auto prepared = std::make_shared<std::promise<void>>();
        rv::PlayerCallbacks callbacks;
        callbacks.prepare_complete = [this, prepared] {
            if (++prepares_ == 1) {
                prepared->set_value();
            }
        };
        rv::ListenerHandle handle = sdk_->player().listen(std::move(callbacks));
        sdk_->player().play(sdk_->get_album_audio_info(audio_id).get());
        prepared->get_future().wait_for(30s);
        return handle;
    }

    // Programmes of a few seconds, so that a live programme changes within a test.
    rvmock::Service mock_{[] {
        rvmock::Config config;
        config.short_programmes = true;
        return config;
    }()};
    rv::test::TempDir dir_;
    std::optional<rv::Sdk> sdk_;
    std::atomic<int> prepares_{0};
};

// ... with stand-ins for the play managers.
class CppPlayer : public CppSdkPlayer {
  protected:
    void SetUp() override {
        CppSdkPlayer::SetUp();
        ipa_set_play_manager(kPlayerTypeAlbum, &Stand::ops);
        ipa_set_play_manager(kPlayerTypeBroadcast, &Stand::ops);
        Stand::calls.clear();
        Stand::beans.clear();
        Stand::bean_names.clear();
    }
    void TearDown() override {
        ipa_set_play_manager(kPlayerTypeAlbum, nullptr);
        ipa_set_play_manager(kPlayerTypeBroadcast, nullptr);
        mCurPlayerType = kPlayerTypeNone;
    }
};

void expect_same_bean(const dao_play_audio_bean &got, const std::string &got_names,
                      dao_play_audio_bean *want) {
    ASSERT_NE(want, nullptr);
    EXPECT_EQ(got.type, want->type);
    EXPECT_EQ(got.id, want->id);
    EXPECT_EQ(got.audioId, want->audioId);
    EXPECT_EQ(got.sortType, want->sortType);
    EXPECT_EQ(got.prePage, want->prePage);
    EXPECT_EQ(got.nextPage, want->nextPage);
    EXPECT_EQ(got_names, std::string(want->name) + "|" + want->img);
    dao_play_audio_bean_del(want);
}

TEST_F(CppPlayer, PlayingValuesGivesTheBeansOfTheLibrarysBuilders) {
    rv::Player player = sdk_->player();
    rv::AlbumInfo info = sdk_->get_album_info(1100001).get();
    rv::Audio audio = sdk_->get_album_audio_info(3000000103).get();
    rv::Album album = sdk_->get_album_list(101, 0, 1, 1).get().list.at(0);
    rv::Smartcast radio = sdk_->get_smartcast_info(2100001).get();
    rv::BroadcastInfo station = sdk_->get_broadcast_info(1001).get();
    rv::Broadcast listed = sdk_->get_broadcast_list(0, 0, 1, 1, 0).get().list.at(0);
    player.play(album);
    player.play(info);
    player.play(audio);
    player.play(radio);
    player.play(station);
    player.play(listed);
    ASSERT_EQ(Stand::beans.size(), 6u);

    // The same records through the C API and the library's builders.
    auto c_call = [](auto start) {
        rv::test::Delivery d = rv::test::call(start);
        EXPECT_EQ(d.code, 0);
        return d.data;
    };
    auto *set = static_cast<dao_album_set *>(
        c_call([](void *u) { rv_getAlbumList(101, 0, 1, 1, rv::test::Catcher::callback, u); }));
    expect_same_bean(
        Stand::beans[0], Stand::bean_names[0],
        transformAlbumToPlayAudioBean(static_cast<dao_album *>(ListFirst(set->list)->data)));
    dao_album_set_del(set);
    auto *c_info = static_cast<dao_album_info *>(
        c_call([](void *u) { rv_getAlbumInfo(1100001, rv::test::Catcher::callback, u); }));
    expect_same_bean(Stand::beans[1], Stand::bean_names[1],
                     transformAlbumInfoToPlayAudioBean(c_info));
    dao_album_info_del(c_info);
    auto *c_audio = static_cast<dao_audio *>(
        c_call([](void *u) { rv_getAlbumAudioInfo(3000000103, rv::test::Catcher::callback, u); }));
    expect_same_bean(Stand::beans[2], Stand::bean_names[2],
                     transformAlbumAudioToPlayAudioBean(c_audio));
    dao_audio_del(c_audio);
    auto *c_radio = static_cast<dao_smartcast *>(
        c_call([](void *u) { rv_getSmartcastInfo(2100001, rv::test::Catcher::callback, u); }));
    expect_same_bean(Stand::beans[3], Stand::bean_names[3],
                     transformSmartcastToPlayAudioBean(c_radio));
    dao_smartcast_del(c_radio);
    auto *c_station = static_cast<dao_broadcast_info *>(
        c_call([](void *u) { rv_getBroadcastInfo(1001, rv::test::Catcher::callback, u); }));
    expect_same_bean(Stand::beans[4], Stand::bean_names[4],
                     transformBroadcastInfoToPlayAudioBean(c_station));
    dao_broadcast_info_del(c_station);
    auto *c_list = static_cast<dao_broadcast_set *>(c_call(
        [](void *u) { rv_getBroadcastList(0, 0, 1, 1, 0, rv::test::Catcher::callback, u); }));
    expect_same_bean(Stand::beans[5], Stand::bean_names[5],
                     transformBroadcastToPlayAudioBean(
                         static_cast<dao_broadcast *>(ListFirst(c_list->list)->data)));
    dao_broadcast_set_del(c_list);
}

TEST_F(CppPlayer, EveryControlAndQueryReachesTheSelectedPlayer) {
    rv::Player player = sdk_->player();
    EXPECT_EQ(player.size(), -1);  // no player chosen yet
    EXPECT_FALSE(player.current_item());

    // The stand-in answers with the play item of a real audio record.
    rv::test::Delivery d = rv::test::call(
        [](void *u) { rv_getAlbumAudioInfo(3000000107, rv::test::Catcher::callback, u); });
    ASSERT_EQ(d.code, 0);
    dao_play_item *c_item = transformAudioToPlayItem(static_cast<dao_audio *>(d.data));
    dao_audio_del(static_cast<dao_audio *>(d.data));
    Stand::item = *c_item;
    Stand::list = ListNew(nullptr);
    ListAppend(Stand::list, c_item);

    rv::PlayItem item;
    item.title = "Part 7";
    item.audioId = 3000000107;
    item.type = RV_RESOURCE_AUDIO;
    player.play(item);
    player.resume();
    player.pause();
    player.stop();
    player.reset();
    player.toggle_pause();
    player.seek(1500);
    player.previous();
    player.next();
    EXPECT_EQ(Stand::calls,
              (std::vector<std::string>{"item Part 7", "play", "pause", "stop", "reset", "switch",
                                        "seek 1500", "pre", "next"}));
    EXPECT_TRUE(player.is_playing());
    EXPECT_FALSE(player.is_paused());
    EXPECT_TRUE(player.can_seek());
    EXPECT_FALSE(player.has_previous());
    EXPECT_TRUE(player.has_next());
    EXPECT_EQ(player.current_index(), 4);
    EXPECT_EQ(player.size(), 6);
    EXPECT_EQ(player.index_of(item), 7);
    std::optional<rv::PlayItem> current = player.current_item();
    std::vector<rv::PlayItem> all = player.play_list();
    EXPECT_TRUE(player.item(1));
    EXPECT_FALSE(player.item(2));

    const std::string title = c_item->title, url = c_item->playUrl;
    ListFree(Stand::list);
    Stand::list = nullptr;
    Stand::item = {};
    dao_play_item_del(c_item);  // the values do not point into it
    ASSERT_TRUE(current);
    EXPECT_EQ(current->title, title);
    EXPECT_EQ(current->playUrl, url);
    EXPECT_EQ(current->audioId, 3000000107);
    EXPECT_EQ(current->type, RV_RESOURCE_AUDIO);
    ASSERT_EQ(all.size(), 1u);
    EXPECT_EQ(all[0].title, title);
}

TEST_F(CppPlayer, AHandleDestroyedWhileEventsFlowHearsNothingAfterwards) {
    rv::Player player = sdk_->player();
    struct Counting : rv::PlayerListener {
        std::atomic<int> calls{0};
        std::atomic<bool> inside{false};
        void on_progress(int32_t, int64_t, int64_t) override {
            inside = true;
            ++calls;
            std::this_thread::sleep_for(1ms);  // widen the window for a late call
            inside = false;
        }
    } counting;
    std::atomic<int> others{0};
    rv::PlayerCallbacks callbacks;
    callbacks.progress = [&](int32_t, int64_t, int64_t) { ++others; };
    std::optional<rv::ListenerHandle> keep(player.listen(std::move(callbacks)));
    std::optional<rv::ListenerHandle> handle(player.listen(counting));

    std::atomic<bool> stop{false};
    std::thread events([&] {
        while (!stop) {
            setUserPlayerStateListener_OnProgress(RV_PROGRESS_PLAYER, 1000, 5000);
        }
    });
    while (counting.calls < 20) {
        std::this_thread::sleep_for(1ms);
    }
    handle.reset();
    EXPECT_FALSE(counting.inside);  // a call in progress was waited for
    const int at_removal = counting.calls;
    const int others_then = others;
    while (others < others_then + 50) {  // events keep flowing to the other listener
        std::this_thread::sleep_for(1ms);
    }
    stop = true;
    events.join();
    EXPECT_EQ(counting.calls, at_removal);

    keep.reset();  // the last handle takes the SDK's listener record away
    EXPECT_EQ(mUserPlayerStateListener.load(), nullptr);
    EXPECT_EQ(mUserPlayerBroadcastListener.load(), nullptr);
}

TEST_F(CppPlayer, ListenersGetValuesAndOneThrowingDoesNotStopTheOthers) {
    rv::Player player = sdk_->player();
    struct Throwing : rv::PlayerListener {
        void on_play_end() override { throw std::runtime_error("listener bug"); }
    } throwing;
    std::vector<std::string> got;
    rv::PlayerCallbacks callbacks;
    callbacks.play_end = [&] { got.push_back("end"); };
    callbacks.error = [&](int32_t what, int32_t detail) {
        got.push_back("error " + std::to_string(what) + " " + std::to_string(detail));
    };
    callbacks.live_program_updated = [&](const rv::PlayItem &i) {
        got.push_back("live " + i.title);
    };
    std::atomic<int> dropped{0};
    rv::set_log_sink([&](const rv::LogLine &l) { dropped += l.tag == "RADIO_SDK_HPP" ? 1 : 0; });
    rv::ListenerHandle first = player.listen(throwing);
    rv::ListenerHandle second = player.listen(std::move(callbacks));

    setUserPlayerStateListener_OnPlayEnd();
    setUserPlayerStateListener_OnError(100, 5);
    setUserPlayerStateListener_OnPaused();  // no callable for it: skipped
    dao_play_item *item = dao_play_item_new();
    item->title = strdup("News at ten");
    setUserBroadcastListener_OnLiveProgramUpdated(item);
    dao_play_item_del(item);
    rv::reset_log_sink();
    EXPECT_EQ(got, (std::vector<std::string>{"end", "error 100 5", "live News at ten"}));
    EXPECT_EQ(dropped, 1);
}

TEST_F(CppPlayer, AListenerMayDropItsOwnHandle) {
    rv::Player player = sdk_->player();
    int ends = 0;
    rv::ListenerHandle handle;
    rv::PlayerCallbacks callbacks;
    callbacks.play_end = [&] {
        ++ends;
        handle.reset();  // from inside itself, on the event's thread
    };
    handle = player.listen(std::move(callbacks));
    setUserPlayerStateListener_OnPlayEnd();
    setUserPlayerStateListener_OnPlayEnd();
    EXPECT_EQ(ends, 1);
}

// Handles dropped from inside listener calls running on two threads at once:
// each drop must neither wait for the other's call (a deadlock) nor leave the
// callables to be destroyed later on an event thread.
TEST_F(CppPlayer, HandlesDroppedFromListenersOnTwoThreadsNeitherWaitNorOutliveReset) {
    rv::Player player = sdk_->player();
    // Two listeners, each dropping the other's handle, told from two threads at once as the
    // players tell them: one thread at a time (the players' one sequence of calls; two
    // threads inside at once could each wait for the other's call to end). The one told
    // second may never be called.
    std::mutex sequence;
    rv::ListenerHandle first, second;
    rv::PlayerCallbacks a, b;
    a.play_end = [&] { second.reset(); };
    b.paused = [&] { first.reset(); };
    first = player.listen(std::move(a));
    second = player.listen(std::move(b));
    std::promise<void> done_a, done_b;
    const auto tell = [&](void (*slot)(), std::promise<void> &done) {
        return std::thread([&sequence, slot, &done] {
            {
                std::lock_guard lock(sequence);
                slot();
            }
            done.set_value();
        });
    };
    std::thread told_a = tell(setUserPlayerStateListener_OnPlayEnd, done_a);
    std::thread told_b = tell(setUserPlayerStateListener_OnPaused, done_b);
    if (done_a.get_future().wait_for(10s) != std::future_status::ready ||
        done_b.get_future().wait_for(10s) != std::future_status::ready) {
        std::fprintf(stderr, "two listeners dropping each other deadlocked\n");
        std::_Exit(1);  // the two threads never return
    }
    told_a.join();
    told_b.join();

    // A handle dropped while an event thread is inside another listener: its
    // callables are gone when reset() returns, destroyed on the caller's thread.
    std::promise<void> inside, go;
    rv::PlayerCallbacks blocking;
    blocking.play_end = [&] {
        inside.set_value();
        go.get_future().wait();
    };
    rv::ListenerHandle kept = player.listen(std::move(blocking));
    auto tracker = std::make_shared<int>();
    std::weak_ptr<int> tracked = tracker;
    rv::PlayerCallbacks dropped;
    dropped.play_end = [tracker] {};
    rv::ListenerHandle handle = player.listen(std::move(dropped));
    tracker.reset();
    std::thread events(setUserPlayerStateListener_OnPlayEnd);
    inside.get_future().wait();
    handle.reset();
    EXPECT_TRUE(tracked.expired());
    go.set_value();
    events.join();
}

// A stand-in album player whose fetches wait until the test answers them.
struct Fetches {
    static inline std::mutex mutex;  // guards asked
    static inline std::vector<std::pair<FetchPlaylistListener *, std::string>> asked;
    static void fetch(FetchPlaylistListener *listener, const char *clock_id) {
        std::lock_guard lock(mutex);
        asked.emplace_back(listener, clock_id != nullptr ? clock_id : "(null)");
    }
    static size_t count() {
        std::lock_guard lock(mutex);
        return asked.size();
    }
    static std::pair<FetchPlaylistListener *, std::string> at(size_t i) {
        std::lock_guard lock(mutex);
        return asked.at(i);
    }
};

TEST_F(CppPlayer, FetchingMoreAnswersEachCallOnceAndOneAtATime) {
    static play_manager_ops fetching = [] {
        play_manager_ops ops = Stand::ops;
        ops.fetchMorePlaylist = Fetches::fetch;
        return ops;
    }();
    ipa_set_play_manager(kPlayerTypeAlbum, &fetching);
    Fetches::asked.clear();
    rv::Player player = sdk_->player();
    rv::AudioBean bean;
    bean.type = RV_RESOURCE_SMARTCAST;
    player.play(bean);

    rv::Future<rv::PlayItem> first = player.fetch_more("clock-7");
    std::atomic<int> second_calls{0};
    std::promise<int> second_code;
    player.fetch_more("", rv::overloaded{[&](rv::PlayItem) {
                                             ++second_calls;
                                             second_code.set_value(0);
                                         },
                                         [&](const rv::Error &e) {
                                             ++second_calls;
                                             second_code.set_value(e.code());
                                         }});
    rv::Future<rv::PlayItem> third = player.fetch_more("clock-9");
    // The record carries no user pointer: the second waits for the first's answer.
    ASSERT_EQ(Fetches::count(), 1u);
    EXPECT_EQ(Fetches::at(0).second, "clock-7");

    // The first is answered on another thread with an item of the play list,
    // which stays the SDK's: the value is a copy.
    dao_play_item *item = dao_play_item_new();
    item->title = strdup("Batch 2, first");
    item->audioId = 3000000301;
    std::thread([&] { Fetches::at(0).first->onPlayItemReady(item); }).join();
    ASSERT_EQ(first.wait_for(0s), rv::FutureStatus::ready);
    dao_play_item_del(item);
    const rv::PlayItem got = first.get();
    EXPECT_EQ(got.title, "Batch 2, first");
    EXPECT_EQ(got.audioId, 3000000301);

    // Answering the first started the second ("" asks without a clock id).
    ASSERT_EQ(Fetches::count(), 2u);
    EXPECT_EQ(Fetches::at(1).second, "(null)");
    Fetches::at(1).first->onPlayItemUnavailable(nullptr);
    EXPECT_EQ(second_code.get_future().get(), RVE_FAILED);
    ASSERT_EQ(Fetches::count(), 3u);
    EXPECT_EQ(Fetches::at(2).second, "clock-9");
    EXPECT_EQ(third.wait_for(0s), rv::FutureStatus::timeout);
    Fetches::at(2).first->onPlayItemUnavailable(nullptr);
    try {
        third.get();
        ADD_FAILURE() << "no error";
    } catch (const rv::Error &e) {
        EXPECT_EQ(e.code(), RVE_FAILED);
        EXPECT_STREQ(e.what(), "rv_fetchMorePlaylist: RVE_FAILED (0x00000002)");
    }
    // A stray answer with nothing waiting is ignored; no callable runs twice.
    Fetches::at(2).first->onPlayItemUnavailable(nullptr);
    EXPECT_EQ(second_calls, 1);

    // With the broadcast player selected the refusal comes at once.
    bean.type = RV_RESOURCE_BROADCAST;
    player.play(bean);
    rv::Future<rv::PlayItem> refused = player.fetch_more("");
    ASSERT_EQ(refused.wait_for(0s), rv::FutureStatus::ready);
    EXPECT_THROW(refused.get(), rv::Error);
    EXPECT_EQ(Fetches::count(), 3u);
}

TEST_F(CppSdkPlayer, FetchingMorePagesTheAlbumInOrderWithoutStartingAnything) {
    rv::Player player = sdk_->player();
    rv::ListenerHandle handle = play_album_at(3000000104);  // 5 s, on page 1 of 3
    ASSERT_EQ(prepares_, 1);
    EXPECT_EQ(player.size(), 20);

    // Both asked at once: the second goes out once the first has moved the
    // album's paging on, so they bring pages 2 and 3, not page 2 twice.
    rv::Future<rv::PlayItem> second = player.fetch_more("");
    rv::Future<rv::PlayItem> third = player.fetch_more("");
    EXPECT_EQ(second.get().audioId, 3000000121);
    EXPECT_EQ(third.get().audioId, 3000000141);
    EXPECT_EQ(player.size(), 60);
    // No page after the last: answered, not left waiting.
    EXPECT_THROW(player.fetch_more("").get(), rv::Error);
    EXPECT_EQ(prepares_, 1);  // the fetched pages started nothing
    EXPECT_EQ(player.current_item().value().audioId, 3000000104);
    player.stop();
}

// Run in a child of its own (SilentWithoutASoundCard below): ALSA reads its configuration
// once per process. Everything the process writes on its two outputs from before the SDK
// starts until after it is released is captured; a log sink takes every line.
class QuietSdkPlayer : public CppSdkPlayer {
  protected:
    void SetUp() override {
        set_log_level(2);
        set_log_debug_mode(1);
        rv::set_log_sink([this](const rv::LogLine &line) {
            std::lock_guard lock(mutex_);
            lines_.push_back(std::string(line.letter) + "/" + std::string(line.tag) + " " +
                             std::string(line.message));
            changed_.notify_all();
        });
        CppSdkPlayer::SetUp();
    }
    void TearDown() override { rv::reset_log_sink(); }

    // How many lines of `tag` and `letter` contain `text`.
    int count(const std::string &head, const std::string &text) {
        std::lock_guard lock(mutex_);
        return static_cast<int>(std::count_if(lines_.begin(), lines_.end(), [&](auto &l) {
            return l.starts_with(head + " ") && l.find(text) != std::string::npos;
        }));
    }

    bool wait_for(const std::string &head, const std::string &text) {
        std::unique_lock lock(mutex_);
        return changed_.wait_for(lock, 30s, [&] {
            return std::any_of(lines_.begin(), lines_.end(), [&](auto &l) {
                return l.starts_with(head + " ") && l.find(text) != std::string::npos;
            });
        });
    }

    CaptureStdout out_{STDOUT_FILENO};
    CaptureStdout err_{STDERR_FILENO};
    std::mutex mutex_;  // guards lines_: the sink's threads and the test's
    std::condition_variable changed_;
    std::vector<std::string> lines_;
};

TEST_F(QuietSdkPlayer, DISABLED_NothingOnTheOutputsAndTheWarningOnce) {
    const char *const kNoDevice = "cannot open the audio device";
    rv::ListenerHandle handle = play_album_at(3000000104);
    ASSERT_TRUE(wait_for("W/ORVELLAPLAYER", kNoDevice));
    // A second start opens the output again (before it reports prepared), for the same cause.
    sdk_->player().stop();
    auto prepared = std::make_shared<std::promise<void>>();
    rv::PlayerCallbacks callbacks;
    callbacks.prepare_complete = [prepared, once = std::make_shared<std::once_flag>()] {
        std::call_once(*once, [&] { prepared->set_value(); });
    };
    rv::ListenerHandle second = sdk_->player().listen(std::move(callbacks));
    sdk_->player().play(sdk_->get_album_audio_info(3000000105).get());
    ASSERT_EQ(prepared->get_future().wait_for(30s), std::future_status::ready);
    second = {};
    handle = {};
    sdk_.reset();

    EXPECT_EQ(out_.take(), "");
    EXPECT_EQ(err_.take(), "");
    EXPECT_EQ(count("W/ORVELLAPLAYER", kNoDevice), 1);
    EXPECT_EQ(count("W/PCMSINK", "unable to open pcm device"), 1);
    EXPECT_EQ(count("W/ALSA", "Unknown PCM default"), 1);
    EXPECT_EQ(count("D/ORVELLAPLAYER", "came 1 more times"), 1);
}

TEST(QuietPlayer, SilentWithoutASoundCard) {
    rv::test::TempDir dir;
    const std::string conf = dir.path() + "/no-default.conf";
    std::ofstream(conf) << "pcm.other { type null }\n";
    const std::string alsa = "ALSA_CONFIG_PATH=" + conf;
    std::vector<std::string> env{alsa};
    for (char **e = environ; *e != nullptr; ++e) {
        if (!std::string_view(*e).starts_with("ALSA_CONFIG_PATH=")) {
            env.emplace_back(*e);
        }
    }
    std::vector<char *> envp;
    for (auto &e : env) {
        envp.push_back(e.data());
    }
    envp.push_back(nullptr);
    std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
    std::string filter = "--gtest_filter=QuietSdkPlayer.DISABLED_*";
    std::string disabled = "--gtest_also_run_disabled_tests";
    char *argv[] = {self.data(), filter.data(), disabled.data(), nullptr};
    pid_t pid = 0;
    ASSERT_EQ(posix_spawn(&pid, self.c_str(), nullptr, nullptr, argv, envp.data()), 0);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
}

TEST_F(CppSdkPlayer, DestroyingTheSdkAnswersFetchesInFlightAndWaiting) {
    rv::Player player = sdk_->player();
    std::optional<rv::ListenerHandle> handle(play_album_at(3000000104));
    ASSERT_EQ(prepares_, 1);

    rvmock::Fault slow;
    slow.delay_ms = 20000;
    mock_.set_fault("/v2/audio/list", slow);
    rv::Future<rv::PlayItem> in_flight = player.fetch_more("");
    std::atomic<int> waiting_calls{0};
    player.fetch_more("", [&](auto &&) { ++waiting_calls; });
    std::this_thread::sleep_for(300ms);  // the first is in transfer
    handle.reset();
    const auto started = std::chrono::steady_clock::now();
    sdk_.reset();
    EXPECT_LT(std::chrono::steady_clock::now() - started, 1s);
    ASSERT_EQ(in_flight.wait_for(0s), rv::FutureStatus::ready);
    EXPECT_THROW(in_flight.get(), rv::Error);
    EXPECT_EQ(waiting_calls, 1);
}

// A stand-in album player that can just play one item through the engine and
// pass its progress on (the album player comes with its own module).
void play_one_item(dao_play_item *item) {
    register_cb_onPrepareComplete([] { ijk_Play(); });
    register_cb_onProgress([](int64_t position, int64_t duration) {
        setUserPlayerStateListener_OnProgress(RV_PROGRESS_PLAYER, position, duration);
    });
    ijk_SetDataSource(item->playUrl);
    ijk_Prepare();
}

TEST_F(CppPlayer, AHandleDroppedWhilePlayingHearsNothingAfterwards) {
    static play_manager_ops play_only = [] {
        play_manager_ops ops{};
        ops.playByPlayItem = play_one_item;
        ops.stop = [] { ijk_Stop(); };
        return ops;
    }();
    ipa_set_play_manager(kPlayerTypeAlbum, &play_only);
    rv::Player player = sdk_->player();
    rv::Audio audio = sdk_->get_album_audio_info(3000000104).get();  // a 5 s tone
    rv::PlayItem item;
    item.playUrl = audio.aacPlayUrl;
    item.audioId = audio.audioId;
    item.type = RV_RESOURCE_AUDIO;

    std::mutex mutex;
    std::condition_variable progressed;
    int dropped_calls = 0, kept_calls = 0;
    rv::PlayerCallbacks dropped, kept;
    dropped.progress = [&](int32_t, int64_t, int64_t) {
        std::lock_guard lock(mutex);
        ++dropped_calls;
        progressed.notify_all();
    };
    kept.progress = [&](int32_t kind, int64_t, int64_t) {
        EXPECT_EQ(kind, RV_PROGRESS_PLAYER);
        std::lock_guard lock(mutex);
        ++kept_calls;
        progressed.notify_all();
    };
    std::optional<rv::ListenerHandle> dropped_handle(player.listen(std::move(dropped)));
    rv::ListenerHandle kept_handle = player.listen(std::move(kept));
    player.play(item);

    std::unique_lock lock(mutex);
    ASSERT_TRUE(progressed.wait_for(lock, 30s, [&] { return dropped_calls >= 2; }));
    lock.unlock();
    dropped_handle.reset();  // on the test's thread, while the engine's thread reports
    lock.lock();
    const int at_drop = dropped_calls;
    const int kept_then = kept_calls;
    ASSERT_TRUE(progressed.wait_for(lock, 30s, [&] { return kept_calls >= kept_then + 3; }));
    EXPECT_EQ(dropped_calls, at_drop);
    lock.unlock();
    player.stop();
}

// Asks the player, under its lock, from every method, as an application may.
struct Asking : rv::PlayerListener {
    Asking(rv::Player p, rvmock::Service &m) : player(p), mock(m) {}
    void ask(const std::string &slot) {
        (void)player.size();
        (void)player.has_next();
        std::lock_guard lock(mutex);
        heard.push_back(slot);
        asked.notify_all();
    }
    // Every slot is heard (since the last clear), each within 30 s.
    bool wait_for(std::initializer_list<std::string> slots) {
        std::unique_lock lock(mutex);
        return std::all_of(slots.begin(), slots.end(), [&](const std::string &slot) {
            return asked.wait_for(lock, 30s, [&] { return std::ranges::count(heard, slot) > 0; });
        });
    }
    void forget() {
        std::lock_guard lock(mutex);
        heard.clear();
    }
    bool refreshing() const {
        const auto asked = mock.requests();
        return std::ranges::count(asked, "/v2/broadcast/programlist", &rvmock::Received::path) > 1;
    }
    void on_prepare_complete() override { ask("prepared"); }
    void on_playing() override { ask("playing"); }
    void on_paused() override { ask("paused"); }
    void on_progress(int32_t kind, int64_t, int64_t) override {
        if (kind == RV_PROGRESS_LIVE && refreshing()) {
            // The clock's thread waits here for the live programme update (a worker).
            std::unique_lock lock(mutex);
            asked.wait_for(lock, 3s, [&] { return std::ranges::count(heard, "live") > 0; });
        }
        ask(kind == RV_PROGRESS_LIVE ? "live progress" : "progress");
    }
    void on_error(int32_t, int32_t) override { ask("error"); }
    void on_play_end() override { ask("end"); }
    void on_seek_start() override { ask("seek"); }
    void on_seek_complete() override { ask("seeked"); }
    void on_buffering_start() override { ask("buffering"); }
    void on_buffering_complete() override { ask("buffered"); }
    void on_download_progress(int64_t, int64_t) override { ask("download"); }
    void on_live_program_updated(const rv::PlayItem &item) override {
        (void)player.index_of(item);
        ask("live");
    }

    rv::Player player;
    rvmock::Service &mock;
    std::mutex mutex;  // guards heard
    std::condition_variable asked;
    std::vector<std::string> heard;
};

TEST_F(CppSdkPlayer, AListenerAskingThePlayerFromEverySlotNeverDeadlocks) {
    _time_monitor_set_tick(100);  // a programme second every 100 ms
    rv::Player player = sdk_->player();
    Asking asking(player, mock_);
    rv::ListenerHandle handle = player.listen(asking);

    // The real album player, download progress included.
    player.play(sdk_->get_album_audio_info(3000000101).get());  // 2 s
    EXPECT_TRUE(asking.wait_for({"prepared", "playing", "progress", "download"}));
    player.seek(500);
    player.pause();
    EXPECT_TRUE(asking.wait_for({"seek", "seeked", "paused"}));
    player.resume();
    EXPECT_TRUE(asking.wait_for({"end"}));

    // The real broadcast player: once it holds the engine, the stream's download
    // progress and a live programme update whose list comes late enough to meet
    // the clock's thread in the listener.
    player.play(sdk_->get_broadcast_info(1001).get());
    EXPECT_TRUE(asking.wait_for({"live progress"}));
    asking.forget();
    rvmock::Fault late;
    late.delay_ms = 500;
    late.times = 1;
    mock_.set_fault("/v2/broadcast/programlist", late);
    EXPECT_TRUE(asking.wait_for({"download", "live"}));
    player.stop();
    _time_monitor_set_tick(1000);
}

}  // namespace
