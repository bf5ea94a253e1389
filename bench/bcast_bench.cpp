// bcast_bench: the silence at a programme change of a live broadcast.
//
// A live programme that ends is replaced by the next one on the same stream:
// the broadcast player stops the engine and prepares it again. Measured here,
// against the local service and the ALSA file device, is the time from that
// restart (the refreshed list's live item handed to the player) to the first
// PCM frame of the new session on the device, beside the same measure for a
// cold start of the stream in the same process (the ratio is the figure that
// carries over between machines).
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "mock_service.h"
#include "player/bcast_data_manager.h"
#include "player/bcast_play_manager.h"
#include "player/ijk_media_player.h"
#include "rv_config.h"
#include "rv_sdk.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kRuns = 15;
constexpr int64_t kBroadcast = 1001;

std::uintmax_t size_of(const std::string &path) {
    std::error_code ec;
    const auto n = std::filesystem::file_size(path, ec);
    return ec ? 0 : n;
}

// Milliseconds from `start` until the capture file (removed first) holds PCM.
double first_frame_ms(const std::string &capture, const std::function<void()> &start) {
    std::filesystem::remove(capture);  // the device writes into a new file at its next open
    const auto t0 = Clock::now();
    start();
    while (size_of(capture) == 0 && Clock::now() - t0 < std::chrono::seconds(10)) {
        std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    return std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
}

struct Summary {
    double median, max;
};

Summary summarise(std::vector<double> times) {
    std::sort(times.begin(), times.end());
    return {times[times.size() / 2], times.back()};
}

std::mutex g_mutex;
std::condition_variable g_cv;
int g_init = -1;

}  // namespace

int main() {
    if (std::getenv("ALSA_CONFIG_PATH") == nullptr) {
        setenv("ALSA_CONFIG_PATH", RV_ALSA_TEST_CONF, 1);
    }
    const auto dir = std::filesystem::temp_directory_path() / "rv-bcast-bench";
    std::filesystem::create_directories(dir);
    const std::string capture = (dir / "capture.raw").string();
    setenv("RV_PCM_CAPTURE", capture.c_str(), 1);

    rvmock::Config config;
    config.short_programmes = true;
    rvmock::Service service(config);
    if (!service.start()) {
        return 1;
    }
    const std::string url = service.http_url();
    rv_setServiceHosts(url.c_str(), nullptr, url.c_str());
    rv_initSdk(
        "rv-test-app", "rv-test-secret", "bench", nullptr, "com.example.bench", dir.c_str(),
        [](int code, void *, int, void *) {
            std::lock_guard lock(g_mutex);
            g_init = code;
            g_cv.notify_all();
        },
        nullptr);
    {
        std::unique_lock lock(g_mutex);
        g_cv.wait(lock, [] { return g_init != -1; });
    }
    if (g_init != 0) {
        std::fprintf(stderr, "start-up failed: %d\n", g_init);
        return 1;
    }

    // The live programme, from the broadcast's list.
    bcast_playByBroadcastId(kBroadcast);
    for (int i = 0; i < 500 && !bcast_isPlaying(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    dao_play_item *live = bcast_getCurPlayItem();
    if (live == nullptr || live->status != RV_PLAY_STATUS_LIVE) {
        std::fprintf(stderr, "no live programme\n");
        return 1;
    }
    dao_play_item *item = dao_play_item_dup(live);

    std::vector<double> cold, change;
    for (int i = 0; i < kRuns; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(600));
        // A programme change: the refreshed list's live item reaches the player.
        change.push_back(first_frame_ms(capture, [&] { onUpdatePlaylistReady(item); }));
        std::this_thread::sleep_for(std::chrono::milliseconds(600));
        bcast_stop();
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        // Baseline: the stream started from a stopped engine.
        cold.push_back(first_frame_ms(capture, [&] {
            ijk_SetDataSource(item->playUrl);
            ijk_Prepare();
        }));
    }
    dao_play_item_del(item);
    rv_releaseSdk();

    const Summary c = summarise(cold), p = summarise(change);
    std::printf("live stream, local service, %d runs each (first PCM frame on the device):\n",
                kRuns);
    std::printf("  cold start          median %.1f ms  max %.1f ms\n", c.median, c.max);
    std::printf("  programme change    median %.1f ms  max %.1f ms  (silence; goal < 150 ms)\n",
                p.median, p.max);
    std::printf("  ratio change/cold   %.2f\n", p.median / c.median);
    return 0;
}
