// `rvcli play` through a pseudo-terminal: the keys move through the album and
// the ALSA capture holds each audio's tone, in order.
#include <gtest/gtest.h>

#include <filesystem>
#include <thread>

#include "mock_service.h"
#include "rvcli_process.h"
#include "tone.h"

namespace {

using namespace std::chrono_literals;

// The tones heard, in order: 100 ms windows holding one tone, runs of at
// least three windows, repeats of the same tone merged.
std::vector<double> tones_in_order(const std::vector<int16_t> &mono, int rate) {
    const size_t window = static_cast<size_t>(rate / 10);
    std::vector<double> heard;
    double run_tone = 0;
    int run = 0;
    for (size_t at = 0; at + window <= mono.size(); at += window) {
        const std::span<const int16_t> part(mono.data() + at, window);
        const double hz = rvtone::dominant_frequency(part, rate, 200, 2500, 50);
        const bool tone = rvtone::tone_fraction(part, rate, hz) > 0.5;
        run = tone && hz == run_tone ? run + 1 : tone ? 1 : 0;
        run_tone = tone ? hz : 0;
        if (run == 3 && (heard.empty() || heard.back() != hz)) {
            heard.push_back(hz);
        }
    }
    return heard;
}

TEST(RvcliPlay, KeysNextNextQuitPlayThreeAudiosInOrder) {
    ASSERT_NE(std::getenv("ALSA_CONFIG_PATH"), nullptr) << "run through CTest";
    rvmock::Service service;
    ASSERT_TRUE(service.start());
    char dir[] = "/tmp/rvcli-play-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    // Each item opens the device again: append them all to one file, in order.
    const std::string capture = std::string(dir) + "/capture.raw";
    rvtest::RunOptions options{{{"RV_PCM_CAPTURE", "|cat >> " + capture},
                                {"RV_OPEN_API_HTTP", service.http_url()},
                                {"RV_OPEN_API_HTTPS", service.https_url()},
                                {"RV_REPORT_HOST", service.http_url()},
                                {"RV_CA_FILE", service.ca_file()}},
                               /*terminal=*/true};
    rvtest::RvcliProcess play({"--data-dir", dir, "play", "album", "1100002"}, options);
    const std::vector<int64_t> audios = {3000000201, 3000000202, 3000000203};
    for (size_t i = 0; i < audios.size(); ++i) {
        ASSERT_TRUE(play.wait_for_output("playing " + std::to_string(audios[i]) + " ", 20s))
            << play.out() << play.err();
        // Past the start, so that some of the tone reaches the capture.
        ASSERT_TRUE(play.wait_for_output(i == 0 ? "00:01 /" : "playing", 10s));
        std::this_thread::sleep_for(1200ms);
        play.send(i + 1 < audios.size() ? "n" : "q");
    }
    EXPECT_EQ(play.finish(20s), 0) << play.err();
    const std::vector<int16_t> mono = rvtone::read_raw_s16(capture, 44100, 1).mono();
    std::filesystem::remove_all(dir);
    std::vector<double> want;
    for (int64_t id : audios) {
        want.push_back(rvtone::frequency_for_audio_id(id));
    }
    EXPECT_EQ(tones_in_order(mono, 44100), want);
}

}  // namespace
