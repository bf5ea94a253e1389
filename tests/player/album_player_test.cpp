// The album player end to end: beans handed to rv_playByAudioBean against the
// local service, the real engine and the ALSA capture. The capture appends
// every item's output to one file (a pipe to `cat >>`), so the order of the
// tones in it is the order in which the items really played.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "mock_service.h"
#include "player/player_album_manager.h"
#include "player/player_manager.h"
#include "player_harness.h"
#include "request/sdk_fixture.h"
#include "rv_data.h"
#include "rv_player.h"
#include "rv_sdk.h"

namespace {

using namespace std::chrono_literals;

constexpr int64_t kAlbum = 1100001;          // 60 audios, pages of 20
constexpr int64_t kFirstAudio = 3000000101;  // audio n is kFirstAudio + n - 1
constexpr int64_t kRadio = 2100002;          // batches {301, 302}, {101, 102, 103}
constexpr int kRate = 44100;

int64_t audio(int n) {
    return kFirstAudio + n - 1;
}

// --- What the application's listener hears ---------------------------------------

class Heard {
  public:
    static Heard &get() {
        static Heard heard;
        return heard;
    }
    void add(const std::string &what) {
        std::lock_guard lock(mutex_);
        ++counts_[what];
        if (what == "prepared") {
            last_position_ = -1;  // positions below are the new item's
        }
        cv_.notify_all();
    }
    int count(const std::string &what) {
        std::lock_guard lock(mutex_);
        return counts_[what];
    }
    bool wait_count(const std::string &what, int n, std::chrono::seconds timeout = 30s) {
        std::unique_lock lock(mutex_);
        return cv_.wait_for(lock, timeout, [&] { return counts_[what] >= n; });
    }
    void clear() {
        std::lock_guard lock(mutex_);
        counts_.clear();
        last_position_ = -1;
        progress_hook_ = nullptr;
    }
    // Runs inside OnProgress (on the engine's thread), without the recorder's lock.
    void set_progress_hook(std::function<void(int64_t)> hook) {
        std::lock_guard lock(mutex_);
        progress_hook_ = std::move(hook);
    }
    void progress(int64_t position) {
        std::function<void(int64_t)> hook;
        {
            std::lock_guard lock(mutex_);
            ++counts_["progress"];
            last_position_ = position;
            hook = progress_hook_;
            cv_.notify_all();
        }
        if (hook) {
            hook(position);
        }
    }
    bool wait_position(int64_t at_least, std::chrono::seconds timeout = 30s) {
        std::unique_lock lock(mutex_);
        return cv_.wait_for(lock, timeout, [&] { return last_position_ >= at_least; });
    }

  private:
    std::mutex mutex_;  // guards counts_, last_position_, progress_hook_
    std::condition_variable cv_;
    std::map<std::string, int> counts_;
    int64_t last_position_ = -1;
    std::function<void(int64_t)> progress_hook_;
};

PlayerStateListener g_listener{
    .OnPrepareComplete = [] { Heard::get().add("prepared"); },
    .OnPlaying = [] { Heard::get().add("playing"); },
    .OnPaused = [] { Heard::get().add("paused"); },
    .OnProgress = [](int32_t, int64_t position, int64_t) { Heard::get().progress(position); },
    .OnError = [](int32_t, int32_t) { Heard::get().add("error"); },
    .OnPlayEnd = [] { Heard::get().add("end"); },
    .OnSeekStart = [] { Heard::get().add("seek"); },
    .OnSeekComplete = [] { Heard::get().add("seeked"); },
    .OnBufferingStart = [] { Heard::get().add("buffering"); },
    .OnBufferingComplete = [] { Heard::get().add("buffered"); },
};

// The application's own fetch listener for rv_fetchMorePlaylist.
struct OwnFetch {
    static std::mutex mutex;  // guards ready, unavailable
    static std::condition_variable cv;
    static std::vector<int64_t> ready;  // audio ids handed over
    static int unavailable;
    static void on_ready(dao_play_item *item) {
        std::lock_guard lock(mutex);
        ready.push_back(item->audioId);
        cv.notify_all();
    }
    static void on_unavailable(void *) {
        std::lock_guard lock(mutex);
        ++unavailable;
        cv.notify_all();
    }
    static bool wait(int outcomes) {
        std::unique_lock lock(mutex);
        return cv.wait_for(
            lock, 30s, [&] { return static_cast<int>(ready.size()) + unavailable >= outcomes; });
    }
    static void clear() {
        std::lock_guard lock(mutex);
        ready.clear();
        unavailable = 0;
    }
};
std::mutex OwnFetch::mutex;
std::condition_variable OwnFetch::cv;
std::vector<int64_t> OwnFetch::ready;
int OwnFetch::unavailable = 0;
FetchPlaylistListener g_own_fetch{OwnFetch::on_ready, OwnFetch::on_unavailable};

// --- Helpers ---------------------------------------------------------------------------

using BeanPtr = std::unique_ptr<dao_play_audio_bean, decltype(&dao_play_audio_bean_del)>;

BeanPtr bean(int32_t type, int64_t id, int64_t audio_id, int32_t pre_page = 1,
             int32_t next_page = 1) {
    BeanPtr b(dao_play_audio_bean_new(), dao_play_audio_bean_del);
    b->type = type;
    b->id = id;
    b->audioId = audio_id;
    b->sortType = 1;
    b->prePage = pre_page;
    b->nextPage = next_page;
    b->name = strdup("A Radio");
    return b;
}

std::vector<int64_t> play_list_ids() {
    std::vector<int64_t> ids;
    const int32_t size = rv_getPlayListSize();
    for (int32_t i = 0; i < size; ++i) {
        const dao_play_item *item = rv_getPlayItem(i);
        ids.push_back(item != nullptr ? item->audioId : -1);
    }
    return ids;
}

std::vector<int64_t> audio_range(int first, int last) {
    std::vector<int64_t> ids;
    for (int n = first; n <= last; ++n) {
        ids.push_back(audio(n));
    }
    return ids;
}

// The tones of the capture in the order they sounded (runs of at least 0.3 s).
std::vector<double> tone_order(const std::vector<int16_t> &mono) {
    constexpr std::size_t kWindow = kRate / 10;
    std::vector<double> order;
    double run_hz = 0;
    int run = 0;
    for (std::size_t at = 0; at + kWindow <= mono.size(); at += kWindow) {
        const std::span window(mono.data() + at, kWindow);
        const double hz = rvtone::dominant_frequency(window, kRate, 250, 2400, 10);
        if (rvtone::tone_fraction(window, kRate, hz) < 0.5) {
            run = 0;
            continue;
        }
        run = std::abs(hz - run_hz) < 15 ? run + 1 : 1;
        run_hz = hz;
        if (run == 3 && (order.empty() || std::abs(order.back() - hz) >= 15)) {
            order.push_back(hz);
        }
    }
    return order;
}

std::vector<double> tones_of(const std::vector<int64_t> &ids) {
    std::vector<double> hz;
    for (int64_t id : ids) {
        hz.push_back(rvtone::frequency_for_audio_id(id));
    }
    return hz;
}

// The service's reports with `eventcode`.
std::vector<rvmock::Report> reports(const rvmock::Service &service, const std::string &code) {
    std::vector<rvmock::Report> found;
    for (const rvmock::Report &r : service.reports()) {
        if (r.value("eventcode") == code) {
            found.push_back(r);
        }
    }
    return found;
}

// Reports travel on a pool worker: waits until `n` with `code` arrived.
std::vector<rvmock::Report> wait_reports(const rvmock::Service &service, const std::string &code,
                                         std::size_t n) {
    for (int i = 0; i < 100 && reports(service, code).size() < n; ++i) {
        std::this_thread::sleep_for(50ms);
    }
    return reports(service, code);
}

// --- The suite -----------------------------------------------------------------------------

class AlbumPlayer : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_NE(std::getenv("ALSA_CONFIG_PATH"), nullptr) << "run through CTest";
        ASSERT_TRUE(service_.start());
        ASSERT_EQ(rv::test::start_sdk(service_.http_url(), dir_.path()), 0);
        Heard::get().clear();
        OwnFetch::clear();
        setPlayerStateListener(&g_listener);
        capture_path_ = dir_.file("capture.raw");
        const std::string pipe = "|cat >> " + capture_path_;
        setenv("RV_PCM_CAPTURE", pipe.c_str(), 1);
    }
    void TearDown() override {
        Heard::get().set_progress_hook(nullptr);
        rv_releaseSdk();
        removePlayerStateListener();
        // The first play-end report since load is marked; later ones are not.
        s_reported_ = s_reported_ || !reports(service_, "101010").empty();
    }

    void play(int32_t type, int64_t id, int64_t audio_id, int32_t pre_page = 1,
              int32_t next_page = 1) {
        BeanPtr b = bean(type, id, audio_id, pre_page, next_page);
        rv_playByAudioBean(b.get());  // the bean stays the caller's
    }
    int64_t current_audio() {
        const dao_play_item *item = rv_getCurPlayItem();
        return item != nullptr ? item->audioId : -1;
    }
    // Stops the engine (the capture's writer ends) and reads what came out.
    std::vector<int16_t> stop_and_listen() {
        rv_stop();
        std::this_thread::sleep_for(300ms);
        return rvtone::read_raw_s16(capture_path_, kRate, 1).mono();
    }
    // Checks the play-end reports for `ids` (in that order): one each.
    void expect_play_end_reports(const std::vector<int64_t> &ids) {
        const auto found = wait_reports(service_, "101010", ids.size());
        ASSERT_EQ(found.size(), ids.size());
        for (std::size_t i = 0; i < ids.size(); ++i) {
            EXPECT_EQ(found[i].value("audioid"), std::to_string(ids[i]));
            EXPECT_EQ(found[i].value("remarks1"), "player");
            EXPECT_EQ(found[i].value("remarks4"), i == 0 && !s_reported_ ? "1" : "0");
            EXPECT_TRUE(found[i].signature_ok);
        }
    }

    rvmock::Service service_;
    rv::test::TempDir dir_;
    rv::test::LogCapture log_;
    std::string capture_path_;
    static bool s_reported_;  // a play-end report was sent earlier in this process
};
bool AlbumPlayer::s_reported_ = false;

TEST_F(AlbumPlayer, PlaysAcrossThePageBoundaryInAlbumOrderAndReportsEachAudioOnce) {
    play(RV_RESOURCE_ALBUM, kAlbum, audio(20));  // the last audio of page 1
    ASSERT_TRUE(Heard::get().wait_count("prepared", 1));
    EXPECT_EQ(current_audio(), audio(20));
    EXPECT_EQ(play_list_ids(), audio_range(1, 20));
    EXPECT_EQ(rv_getCurPlayItemIndex(), 19);
    EXPECT_TRUE(rv_hasNext());  // the next page is not fetched yet

    // 20 ends, page 2 is fetched, 21 plays and ends, 22 starts.
    ASSERT_TRUE(Heard::get().wait_count("prepared", 3));
    EXPECT_EQ(current_audio(), audio(22));
    EXPECT_EQ(play_list_ids(), audio_range(1, 40));  // each audio once, in order
    EXPECT_EQ(rv_getCurPlayItemIndex(), 21);
    ASSERT_TRUE(Heard::get().wait_position(500));
    const auto mono = stop_and_listen();

    EXPECT_EQ(tone_order(mono), tones_of({audio(20), audio(21), audio(22)}));
    EXPECT_NEAR(rvtone::tone_seconds(mono, kRate, rvtone::frequency_for_audio_id(audio(20))), 5.0,
                0.3);
    EXPECT_NEAR(rvtone::tone_seconds(mono, kRate, rvtone::frequency_for_audio_id(audio(21))), 2.0,
                0.3);
    EXPECT_EQ(Heard::get().count("end"), 2);
    EXPECT_EQ(Heard::get().count("error"), 0);
    expect_play_end_reports({audio(20), audio(21)});
    const auto played = reports(service_, "101010");
    ASSERT_EQ(played.size(), 2u);
    EXPECT_EQ(played[0].value("radioid"), std::to_string(kAlbum));
    // Played seconds + 1, counted between position reports: 5 s gives 5, 2 s gives 2.
    EXPECT_EQ(played[0].value("playtime"), "5");
    EXPECT_EQ(played[1].value("playtime"), "2");
}

TEST_F(AlbumPlayer, StartsAtPageOneAndMovesByHand) {
    play(RV_RESOURCE_ALBUM, kAlbum, 0);
    ASSERT_TRUE(Heard::get().wait_count("prepared", 1));
    EXPECT_EQ(current_audio(), audio(1));
    EXPECT_EQ(play_list_ids(), audio_range(1, 20));
    EXPECT_FALSE(rv_hasPre());
    EXPECT_TRUE(rv_canSeek());

    ASSERT_TRUE(Heard::get().wait_position(1500));  // 1.5 s really played
    rv_playNext();
    ASSERT_TRUE(Heard::get().wait_count("prepared", 2));
    EXPECT_EQ(current_audio(), audio(2));
    EXPECT_TRUE(rv_hasPre());
    rv_playPre();
    ASSERT_TRUE(Heard::get().wait_count("prepared", 3));
    EXPECT_EQ(current_audio(), audio(1));
    EXPECT_EQ(rv_getCurPlayItemIndex(), 0);

    rv_playPre();  // the first audio of the album
    EXPECT_EQ(log_.count("Do Not Have Prev , So Can Not Start Play... \n"), 1);
    EXPECT_EQ(current_audio(), audio(1));
    EXPECT_EQ(play_list_ids(), audio_range(1, 20));

    const auto found = wait_reports(service_, "101010", 2);
    ASSERT_EQ(found.size(), 2u);
    EXPECT_EQ(found[0].value("audioid"), std::to_string(audio(1)));
    EXPECT_EQ(found[0].value("playtime"), "2");  // 1.5 s played
    EXPECT_EQ(found[1].value("audioid"), std::to_string(audio(2)));
    expect_play_end_reports({audio(1), audio(2)});
}

TEST_F(AlbumPlayer, PreviousAtTheStartOfALaterPageFetchesTheEarlierPage) {
    play(RV_RESOURCE_ALBUM, kAlbum, 0, /*pre_page=*/2, /*next_page=*/2);
    ASSERT_TRUE(Heard::get().wait_count("prepared", 1));
    EXPECT_EQ(current_audio(), audio(21));
    EXPECT_EQ(rv_getCurPlayItemIndex(), 0);
    EXPECT_TRUE(rv_hasPre());

    rv_playPre();
    ASSERT_TRUE(Heard::get().wait_count("prepared", 2));
    EXPECT_EQ(current_audio(), audio(20));  // the audio just before 21
    EXPECT_EQ(rv_getCurPlayItemIndex(), 19);
    EXPECT_EQ(play_list_ids(), audio_range(1, 40));
    EXPECT_TRUE(rv_hasNext());
    EXPECT_TRUE(rv_hasPre());

    // Forward paging went on from page 2: next is page 3, not page 2 again.
    rv_fetchMorePlaylist(&g_own_fetch, nullptr);
    ASSERT_TRUE(OwnFetch::wait(1));
    EXPECT_EQ(play_list_ids(), audio_range(1, 60));
}

TEST_F(AlbumPlayer, TheLastAudioOfTheLastPageHasNoNextAndStillReportsItsEnd) {
    play(RV_RESOURCE_ALBUM, kAlbum, audio(60));
    ASSERT_TRUE(Heard::get().wait_count("prepared", 1));
    EXPECT_EQ(play_list_ids(), audio_range(41, 60));
    EXPECT_FALSE(rv_hasNext());
    ASSERT_TRUE(Heard::get().wait_position(500));

    rv_seek(3500);  // 5 s long: 1.5 s remain
    ASSERT_TRUE(Heard::get().wait_count("seeked", 1));
    ASSERT_TRUE(Heard::get().wait_count("end", 1, 10s));
    ASSERT_TRUE(log_.wait_for("Do Not Have Next , So Can Not Start Play... \n"));
    std::this_thread::sleep_for(500ms);
    EXPECT_EQ(Heard::get().count("prepared"), 1);  // nothing else started
    EXPECT_EQ(Heard::get().count("seek"), 1);
    EXPECT_EQ(current_audio(), audio(60));
    const auto mono = stop_and_listen();
    // Half a second to a second before the seek, 1.5 s after it; not all 5 s.
    const double heard =
        rvtone::tone_seconds(mono, kRate, rvtone::frequency_for_audio_id(audio(60)));
    EXPECT_GE(heard, 1.8);
    EXPECT_LE(heard, 3.3);
    expect_play_end_reports({audio(60)});
    // Nothing after the last page: the application's listener hears so at once.
    rv_fetchMorePlaylist(&g_own_fetch, nullptr);
    ASSERT_TRUE(OwnFetch::wait(1));
    {
        std::lock_guard lock(OwnFetch::mutex);
        EXPECT_EQ(OwnFetch::unavailable, 1);
    }
    album_disablePlayer();  // as when the broadcast player takes the engine
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(reports(service_, "101010").size(), 1u);  // not reported a second time
}

TEST_F(AlbumPlayer, PauseAndResumeHoldTheOutput) {
    play(RV_RESOURCE_ALBUM, kAlbum, audio(4));  // 5 s
    ASSERT_TRUE(Heard::get().wait_count("playing", 1));
    ASSERT_TRUE(Heard::get().wait_position(1000));
    rv_switchPlayOrPause();
    ASSERT_TRUE(Heard::get().wait_count("paused", 1));
    EXPECT_TRUE(rv_isPaused());
    EXPECT_FALSE(rv_isPlaying());
    const std::uintmax_t held = std::filesystem::file_size(capture_path_);
    std::this_thread::sleep_for(800ms);
    EXPECT_LE(std::filesystem::file_size(capture_path_), held + 2 * kRate / 2);  // < 0.5 s more
    rv_switchPlayOrPause();
    ASSERT_TRUE(Heard::get().wait_count("playing", 2));
    EXPECT_TRUE(rv_isPlaying());
    ASSERT_TRUE(Heard::get().wait_count("end", 1));
    const auto mono = stop_and_listen();
    EXPECT_NEAR(rvtone::tone_seconds(mono, kRate, rvtone::frequency_for_audio_id(audio(4))), 5.0,
                0.3);
}

TEST_F(AlbumPlayer, AnAudioIdMissingFromTheAnswerIsNotAskedForAgain) {
    play(RV_RESOURCE_ALBUM, kAlbum, 3000009999);  // not in the album: page 1 comes
    ASSERT_TRUE(Heard::get().wait_count("prepared", 1));
    EXPECT_EQ(current_audio(), audio(1));
    rv_fetchMorePlaylist(&g_own_fetch, nullptr);
    ASSERT_TRUE(OwnFetch::wait(1));
    EXPECT_EQ(play_list_ids(), audio_range(1, 40));  // page 2, not page 1 twice
    {
        std::lock_guard lock(OwnFetch::mutex);
        EXPECT_EQ(OwnFetch::ready, std::vector<int64_t>{audio(21)});
    }
    // The application's listener got the page: nothing new started.
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(Heard::get().count("prepared"), 1);
    EXPECT_EQ(current_audio(), audio(1));
}

TEST_F(AlbumPlayer, ASingleAudioPlaysAlone) {
    play(RV_RESOURCE_AUDIO, 0, 3000000202);  // 2 s
    ASSERT_TRUE(Heard::get().wait_count("prepared", 1));
    EXPECT_EQ(play_list_ids(), std::vector<int64_t>{3000000202});
    EXPECT_FALSE(rv_hasNext());
    EXPECT_FALSE(rv_hasPre());
    ASSERT_TRUE(Heard::get().wait_count("end", 1));
    ASSERT_TRUE(log_.wait_for("Do Not Have Next , So Can Not Start Play... \n"));
    const auto mono = stop_and_listen();
    EXPECT_NEAR(rvtone::tone_seconds(mono, kRate, rvtone::frequency_for_audio_id(3000000202)), 2.0,
                0.3);
    const auto found = wait_reports(service_, "101010", 1);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].value("audioid"), "3000000202");
    EXPECT_EQ(found[0].value("radioid"), "1100002");

    // An audio the service does not know ends in the failure warning.
    play(RV_RESOURCE_AUDIO, 0, 3000009999);
    ASSERT_TRUE(log_.wait_for("Fetch Playlist Failed, So Can Not Start Play... \n"));
    EXPECT_EQ(rv_getPlayListSize(), 0);
    EXPECT_EQ(Heard::get().count("prepared"), 1);
}

TEST_F(AlbumPlayer, ASmartcastRadioComesBatchByBatchUntilExhausted) {
    play(RV_RESOURCE_SMARTCAST, kRadio, 0);
    ASSERT_TRUE(Heard::get().wait_count("prepared", 1));
    EXPECT_EQ(play_list_ids(), (std::vector<int64_t>{3000000301, 3000000302}));
    const dao_play_item *first = rv_getPlayItem(0);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->type, RV_RESOURCE_SMARTCAST);
    EXPECT_STREQ(first->radioName, "A Radio");
    rv_playNext();
    ASSERT_TRUE(Heard::get().wait_count("prepared", 2));
    EXPECT_FALSE(rv_hasPre() && rv_getCurPlayItemIndex() == 0);
    // At the batch's end the next batch is asked with the last item's clock id.
    rv_playNext();
    ASSERT_TRUE(Heard::get().wait_count("prepared", 3));
    EXPECT_EQ(current_audio(), 3000000101);
    EXPECT_EQ(play_list_ids(),
              (std::vector<int64_t>{3000000301, 3000000302, 3000000101, 3000000102, 3000000103}));
    const dao_play_item *last = rv_getPlayItem(4);
    ASSERT_NE(last, nullptr);
    ASSERT_NE(last->clockId, nullptr);
    rv_fetchMorePlaylist(&g_own_fetch, last->clockId);  // after the last batch: empty
    ASSERT_TRUE(OwnFetch::wait(1));
    rv_fetchMorePlaylist(&g_own_fetch, last->clockId);  // exhausted: answered at once
    ASSERT_TRUE(OwnFetch::wait(2));
    EXPECT_EQ(rv_getPlayListSize(), 5);
    // The fetch listener runs under the player global mutex: no playback call
    // while holding a lock that the listener takes.
    std::lock_guard lock(OwnFetch::mutex);
    EXPECT_TRUE(OwnFetch::ready.empty());
    EXPECT_EQ(OwnFetch::unavailable, 2);
}

TEST_F(AlbumPlayer, AStallIsReportedWhenItStartsAndWhenItEnds) {
    play(RV_RESOURCE_ALBUM, kAlbum, audio(8));
    ASSERT_TRUE(Heard::get().wait_count("prepared", 1));
    // Audio 8 again, from a live stream whose connection is cut and whose
    // reconnection is answered late enough for the output to run dry.
    const std::string live = "/live/1003.aac";
    service_.set_fault(live, {.kind = rvmock::Fault::Kind::Cut, .bytes = 30000, .times = 1});
    service_.set_fault("/live/*",
                       {.kind = rvmock::Fault::Kind::None, .delay_ms = 2500, .times = 1});
    std::unique_ptr<dao_play_item, decltype(&dao_play_item_del)> item(dao_play_item_new(),
                                                                      dao_play_item_del);
    item->audioId = audio(8);
    item->playUrl = strdup((service_.http_url() + live).c_str());
    rv_playByPlayItem(item.get());
    ASSERT_TRUE(Heard::get().wait_count("buffering", 1));
    ASSERT_TRUE(Heard::get().wait_count("buffered", 1));
    const auto started = wait_reports(service_, "300030", 1);
    const auto ended = wait_reports(service_, "300022", 1);
    rv_stop();
    ASSERT_EQ(started.size(), 1u);
    ASSERT_EQ(ended.size(), 1u);
    for (const auto &r : {started[0], ended[0]}) {
        // About the current item of the play list.
        EXPECT_EQ(r.value("audioid"), std::to_string(audio(8)));
        EXPECT_EQ(r.value("radioid"), std::to_string(kAlbum));
        EXPECT_EQ(r.value("type"), "0");  // not after a seek
        EXPECT_NE(r.value("remarks2").find("/media/audio/" + std::to_string(audio(8))),
                  std::string::npos);
    }
    EXPECT_LE(started[0].time_ms, ended[0].time_ms);
    EXPECT_GE(std::stoi(ended[0].value("playtime")), 1);  // whole seconds of the stall
    EXPECT_LE(std::stoi(ended[0].value("playtime")), 5);
}

TEST_F(AlbumPlayer, AListenerMayMoveOnFromInsideOnProgress) {
    static std::atomic<bool> moved;  // outlives the body: the hook may run until release
    moved = false;
    Heard::get().set_progress_hook([](int64_t) {
        if (!moved.exchange(true)) {
            rv_playNext();  // on the engine's thread, inside the album player's handler
        }
    });
    play(RV_RESOURCE_ALBUM, kAlbum, audio(3));
    ASSERT_TRUE(Heard::get().wait_count("prepared", 2, 10s));
    EXPECT_EQ(current_audio(), audio(4));
    ASSERT_TRUE(Heard::get().wait_count("playing", 2, 10s));
    Heard::get().set_progress_hook(nullptr);
    rv_stop();
}

TEST_F(AlbumPlayer, ReleaseWhilePlayingReturnsPromptlyAndLeavesNoThread) {
    int after_release = -1;
    for (int cycle = 0; cycle < 2; ++cycle) {
        if (cycle > 0) {
            ASSERT_EQ(rv::test::start_sdk(service_.http_url(), dir_.path()), 0);
        }
        play(RV_RESOURCE_ALBUM, kAlbum, audio(4));
        ASSERT_TRUE(Heard::get().wait_count("playing", cycle + 1));
        const auto before = std::chrono::steady_clock::now();
        rv_releaseSdk();
        EXPECT_LT(std::chrono::steady_clock::now() - before, 1s);
        const int progress = Heard::get().count("progress");
        std::this_thread::sleep_for(700ms);
        EXPECT_EQ(Heard::get().count("progress"), progress);
        EXPECT_EQ(rv_getPlayListSize(), -1);  // the album player is gone with the SDK
        EXPECT_FALSE(album_isPlayerEnable());
        EXPECT_EQ(playerCb.onPlayEnd.load(), nullptr);
        // A second start and release leaves exactly as many threads as the first.
        if (cycle > 0) {
            EXPECT_EQ(rvtest::thread_count(), after_release);
        }
        after_release = rvtest::thread_count();
    }
}

}  // namespace
