// Shared by the benches: the time from prepareAsync to the first PCM frame reaching the
// device. The test ALSA configuration (tests/libpcmsink/alsa-test.conf.in) makes the
// device a file plugin writing the file named by RV_PCM_CAPTURE, so the first frame is the
// moment that file stops being empty.
#ifndef BENCH_FIRST_PCM_H
#define BENCH_FIRST_PCM_H

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "orvellaplayer.h"

namespace bench {

inline double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0.0 : values[values.size() / 2];
}

inline std::uintmax_t size_of(const std::string &path) {
    std::error_code ec;
    const auto n = std::filesystem::file_size(path, ec);
    return ec ? 0 : n;
}

// Milliseconds from prepareAsync until `capture` holds PCM, median of `runs` (a run that
// never gets there counts as 10 s).
inline double first_pcm_ms(const std::string &url, const std::string &capture, int runs) {
    using Clock = std::chrono::steady_clock;
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        std::filesystem::remove(capture);
        IjkMediaPlayer_setDataSourceAndHeaders(url.c_str());
        const auto t0 = Clock::now();
        IjkMediaPlayer_prepareAsync(0, 4);
        while (size_of(capture) == 0 && Clock::now() - t0 < std::chrono::seconds(10)) {
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        times.push_back(std::chrono::duration<double, std::milli>(Clock::now() - t0).count());
        IjkMediaPlayer_reset();
    }
    return median(times);
}

}  // namespace bench

#endif
