// album_bench: what the album player adds on top of the engine, against the local
// service in the same process.
//   1. rv_playByAudioBean -> first PCM frame on the device (the audio-list fetch
//      included), against rv_playByPlayItem of the same audio (no fetch) as baseline.
//   2. The pause between two audios: play end of one -> prepare complete of the next,
//      within a page and across a page boundary (a page fetch included).
//   3. How long each control holds the caller's thread while an audio plays, against
//      rv_isPlaying (a lock and a read) as baseline.
//   4. The first PCM frame of a downloaded audio (played from its file in the store),
//      against the same item streamed from the service.
// Output goes to ALSA's file plugin (tests/libpcmsink/alsa-test.conf.in).
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "mock_service.h"
#include "rv_config.h"
#include "rv_data.h"
#include "rv_download.h"
#include "rv_error.h"
#include "rv_player.h"
#include "rv_sdk.h"
#include "support/play_bean.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr int64_t kAlbum = 1100001;          // 60 audios, pages of 20
constexpr int64_t kFirstAudio = 3000000101;  // audio n is kFirstAudio + n - 1
constexpr int kRuns = 9;
constexpr int64_t kStoredAlbum = 1100002;  // five audios of 3 and 2 s, downloaded
constexpr int64_t kStoredFirst = 3000000201;

// The last play end and prepare complete, as the listener saw them.
struct Marks {
    std::mutex mutex;  // guards the fields (the listener runs on the engine's thread)
    std::condition_variable cv;
    int prepared = 0;
    int code = -1;
    int downloaded = -1;  // the download's result
    Clock::time_point ended{};
    Clock::time_point ready{};
} g_marks;

void on_prepared() {
    std::lock_guard lock(g_marks.mutex);
    ++g_marks.prepared;
    g_marks.ready = Clock::now();
    g_marks.cv.notify_all();
}

void on_end() {
    std::lock_guard lock(g_marks.mutex);
    g_marks.ended = Clock::now();
}

bool wait_prepared(int count) {
    std::unique_lock lock(g_marks.mutex);
    return g_marks.cv.wait_for(lock, 20s, [&] { return g_marks.prepared >= count; });
}

void on_init(int code, void *, int, void *) {
    std::lock_guard lock(g_marks.mutex);
    g_marks.code = code;
    g_marks.cv.notify_all();
}

std::uintmax_t size_of(const std::string &path) {
    std::error_code ec;
    const auto n = std::filesystem::file_size(path, ec);
    return ec ? 0 : n;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

// Milliseconds from `start` until the capture file holds PCM.
template <class Start>
double to_first_frame(const std::string &capture, Start start) {
    rv_stop();
    // The stopped audio fades and plays out (up to 300 ms) before the device is free.
    std::this_thread::sleep_for(400ms);
    std::filesystem::remove(capture);
    const auto t0 = Clock::now();
    start();
    while (size_of(capture) == 0 && Clock::now() - t0 < 10s) {
        std::this_thread::sleep_for(100us);
    }
    return std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
}

using ItemPtr = std::unique_ptr<dao_play_item, decltype(&dao_play_item_del)>;

ItemPtr media_item(const std::string &base, int64_t audio_id) {
    ItemPtr item(dao_play_item_new(), dao_play_item_del);
    const std::string url = base + "/media/audio/" + std::to_string(audio_id) + "/aac_64.aac";
    item->audioId = audio_id;
    item->playUrl = strdup(url.c_str());
    return item;
}

void play_bean(int64_t audio_id) {
    rv::test::play_bean(RV_RESOURCE_ALBUM, kAlbum, audio_id);
}

// Play end of audio n -> prepare complete of audio n + 1, in ms: starts at n,
// seeks close to its end and waits for the next one.
double gap_after(int n) {
    std::unique_lock lock(g_marks.mutex);
    const int before = g_marks.prepared;
    lock.unlock();
    play_bean(kFirstAudio + n - 1);
    if (!wait_prepared(before + 1)) {
        return -1;
    }
    const dao_play_item *item = rv_getCurPlayItem();
    rv_seek(static_cast<int32_t>(item->duration) - 300);
    if (!wait_prepared(before + 2)) {
        return -1;
    }
    lock.lock();
    return std::chrono::duration<double, std::milli>(g_marks.ready - g_marks.ended).count();
}

// Milliseconds `control` held this thread, while audio `n` plays after its prepare.
template <class Control>
double control_time(int n, Control control) {
    std::unique_lock lock(g_marks.mutex);
    const int before = g_marks.prepared;
    lock.unlock();
    play_bean(kFirstAudio + n - 1);
    if (!wait_prepared(before + 1)) {
        return -1;
    }
    std::this_thread::sleep_for(300ms);  // output under way: a stop has something to fade
    const auto t0 = Clock::now();
    control();
    return std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
}

void print_control_times() {
    struct Row {
        const char *name;
        void (*control)();
    };
    const Row rows[] = {
        {"rv_isPlaying (baseline)", [] { (void)rv_isPlaying(); }},
        {"rv_pause", [] { rv_pause(); }},
        {"rv_Play", [] { rv_Play(); }},
        {"rv_stop", [] { rv_stop(); }},
        {"rv_playNext", [] { rv_playNext(); }},
        {"rv_playPre", [] { rv_playPre(); }},
    };
    std::printf("time a control holds the caller's thread while an audio plays (median of 5):\n");
    for (const Row &row : rows) {
        std::vector<double> times;
        for (int run = 0; run < 5; ++run) {
            times.push_back(control_time(12 + run, row.control));
        }
        std::printf("  %-30s %7.2f ms\n", row.name, median(times));
    }
}

void on_downloaded(void *, int64_t, int result) {
    std::lock_guard lock(g_marks.mutex);
    g_marks.downloaded = result;
    g_marks.cv.notify_all();
}

// The same items alternately: from the store, then streamed (under an id the store
// does not hold, so only the source differs).
void print_downloaded_first_pcm(const std::string &base, const std::string &capture) {
    rv_download_events events{};
    events.struct_size = sizeof events;
    events.on_album_done = on_downloaded;
    if (rv_downloadAlbum(kStoredAlbum, &events) != RVE_OK) {
        std::fprintf(stderr, "album_bench: the download did not start\n");
        return;
    }
    {
        std::unique_lock lock(g_marks.mutex);
        if (!g_marks.cv.wait_for(lock, 60s, [] { return g_marks.downloaded >= 0; }) ||
            g_marks.downloaded != RVE_OK) {
            std::fprintf(stderr, "album_bench: the download did not end whole\n");
            return;
        }
    }
    std::vector<double> stored, streamed;
    for (int run = 0; run < kRuns; ++run) {
        const int64_t audio_id = kStoredFirst + run % 5;
        ItemPtr item = media_item(base, audio_id);
        stored.push_back(to_first_frame(capture, [&] { rv_playByPlayItem(item.get()); }));
        item->audioId = -audio_id;
        streamed.push_back(to_first_frame(capture, [&] { rv_playByPlayItem(item.get()); }));
    }
    rv_removeDownload(kStoredAlbum);
    const double stored_ms = median(stored);
    const double streamed_ms = median(streamed);
    std::printf("rv_playByPlayItem -> first PCM frame written (median of %d):\n", kRuns);
    std::printf("  a downloaded audio, from its file               %.1f ms\n", stored_ms);
    std::printf("  the same item streamed (baseline)               %.1f ms\n", streamed_ms);
    std::printf("  ratio downloaded / streamed                     %.2f\n",
                stored_ms / streamed_ms);
}

}  // namespace

int main() {
    setenv("ALSA_CONFIG_PATH", RV_ALSA_TEST_CONF, 1);
    const auto dir = std::filesystem::temp_directory_path() / "rv-album-bench";
    std::filesystem::create_directories(dir);
    const std::string capture = (dir / "capture.raw").string();
    setenv("RV_PCM_CAPTURE", capture.c_str(), 1);

    rvmock::Service service;
    if (!service.start()) {
        std::fprintf(stderr, "album_bench: the local service did not start\n");
        return 1;
    }
    const std::string base = service.http_url();
    rv_setServiceHosts(base.c_str(), nullptr, base.c_str());
    rv_initSdk("rv-test-app", "rv-test-secret", "bench", nullptr, "com.example.bench", dir.c_str(),
               on_init, nullptr);
    {
        std::unique_lock lock(g_marks.mutex);
        if (!g_marks.cv.wait_for(lock, 20s, [] { return g_marks.code >= 0; }) ||
            g_marks.code != 0) {
            std::fprintf(stderr, "album_bench: the SDK did not start\n");
            return 1;
        }
    }
    PlayerStateListener listener{};
    listener.OnPrepareComplete = on_prepared;
    listener.OnPlayEnd = on_end;
    setPlayerStateListener(&listener);

    // Warm-up: the service encodes each medium on its first request.
    for (int n = 1; n <= 41; ++n) {
        const ItemPtr warm = media_item(base, kFirstAudio + n - 1);
        if (n == 1) {
            play_bean(kFirstAudio);  // the album player takes the engine
            wait_prepared(1);
        }
        to_first_frame(capture, [&] { rv_playByPlayItem(warm.get()); });
    }

    std::vector<double> by_bean, by_item;
    for (int run = 0; run < kRuns; ++run) {
        const int64_t audio_id = kFirstAudio + 4 + run;
        by_bean.push_back(to_first_frame(capture, [&] { play_bean(audio_id); }));
        dao_play_item *item = rv_getCurPlayItem();
        std::unique_ptr<dao_play_item, decltype(&dao_play_item_del)> copy(dao_play_item_dup(item),
                                                                          dao_play_item_del);
        by_item.push_back(to_first_frame(capture, [&] { rv_playByPlayItem(copy.get()); }));
    }
    const double bean_ms = median(by_bean);
    const double item_ms = median(by_item);
    std::printf("start -> first PCM frame written (median of %d):\n", kRuns);
    std::printf("  rv_playByAudioBean (audio-list fetch included)  %.1f ms\n", bean_ms);
    std::printf("  rv_playByPlayItem  (baseline, no fetch)         %.1f ms\n", item_ms);
    std::printf("  ratio bean / item                               %.2f\n", bean_ms / item_ms);

    std::vector<double> within, across;
    for (int run = 0; run < 5; ++run) {
        within.push_back(gap_after(5 + run));                 // audios 5..10, same page
        across.push_back(gap_after(run % 2 == 0 ? 20 : 40));  // page 1->2 or 2->3
    }
    std::printf("play end -> prepare complete of the next audio (median of 5):\n");
    std::printf("  within a page                                   %.1f ms\n", median(within));
    std::printf("  across a page boundary (page fetch included)    %.1f ms\n", median(across));
    print_control_times();
    print_downloaded_first_pcm(base, capture);

    removePlayerStateListener();
    rv_releaseSdk();
    std::filesystem::remove_all(dir);
    return 0;
}
