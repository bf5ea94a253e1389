// What a listener hears of speed and of pauses and stops, checked in the capture.
#include <cmath>

#include "media_server.h"
#include "orvellaplayer.h"
#include "player_harness.h"

namespace rvtest {
namespace {

constexpr int kRate = 44100;

double seconds_between(Clock::time_point a, Clock::time_point b) {
    return std::chrono::duration<double>(b - a).count();
}

// Media seconds per wall second of the position reports after `from`.
double position_rate(const std::vector<Event> &events, Clock::time_point from) {
    const Event *first = nullptr;
    const Event *last = nullptr;
    for (const Event &e : events) {
        // (Reports held at the end say nothing of the rate.)
        if (e.what == ORV_EVENT_POSITION && e.at >= from && e.arg1 < e.arg2 - 100) {
            first = first != nullptr ? first : &e;
            last = &e;
        }
    }
    if (first == nullptr || first == last) {
        return 0.0;
    }
    return (last->arg1 - first->arg1) / 1000.0 / seconds_between(first->at, last->at);
}

struct SpeedCase {
    const char *name;
    double tone_s;
    float speed;        // from the start
    float later_speed;  // 0: none; else set after `change_after_s` of playing
    double change_after_s;
    double expect_s;  // wall seconds from prepared to completed
};

class Speed : public PlayerTest, public ::testing::WithParamInterface<SpeedCase> {};

// The item completes after its media time divided by the speed, its tone keeps its pitch,
// positions run in media time, and a change mid-item is heard within the output's lead.
TEST_P(Speed, CompletesSoonerOrLaterAtThePitchAndPositionsInMediaTime) {
    const SpeedCase c = GetParam();
    const double hz = rvtone::frequency_for_audio_id(9);
    MediaServer server;
    server.add("tone.aac", tone_file(rvtone::Codec::Aac, hz, c.tone_s), "audio/aac");
    Capture capture(c.name);
    ASSERT_EQ(IjkMediaPlayer_setPlaybackSpeed(c.speed), 0);
    IjkMediaPlayer_setDataSourceAndHeaders(server.url("file", "tone.aac").c_str());
    ASSERT_EQ(IjkMediaPlayer_prepareAsync(0, 4), 0);
    ASSERT_TRUE(Events::get().wait_for(ORV_EVENT_PREPARED, -1, 10s));
    const auto prepared = Clock::now();
    Clock::time_point changed{};
    if (c.later_speed > 0) {
        std::this_thread::sleep_until(prepared + std::chrono::duration<double>(c.change_after_s));
        changed = Clock::now();
        ASSERT_EQ(IjkMediaPlayer_setPlaybackSpeed(c.later_speed), 0);
    }
    ASSERT_TRUE(Events::get().wait_for(ORV_EVENT_COMPLETED, -1, 40s));
    const double took = seconds_between(prepared, Clock::now());
    stop_heard_out();

    EXPECT_NEAR(took, c.expect_s, 0.5);
    const auto events = Events::get().snapshot();
    const float final_speed = c.later_speed > 0 ? c.later_speed : c.speed;
    // Media time: the duration reported is the file's, the rate the speed.
    for (const Event &e : events) {
        if (e.what == ORV_EVENT_POSITION) {
            EXPECT_NEAR(e.arg2, c.tone_s * 1000, c.tone_s * 50);  // estimated from the bit rate
        }
    }
    if (c.later_speed > 0) {
        // Where positions would be had the change been heard at once, less where they
        // are: the delay, in media seconds, times the difference of the speeds.
        const auto after = changed + 700ms;
        EXPECT_NEAR(position_rate(events, after), final_speed, 0.25 * final_speed);
        const Event *e = nullptr;
        for (const Event &x : events) {
            if (x.what == ORV_EVENT_POSITION && x.at >= after && e == nullptr) {
                e = &x;
            }
        }
        ASSERT_NE(e, nullptr);
        const double at_change = c.change_after_s * c.speed;
        const double ideal = at_change + seconds_between(changed, e->at) * c.later_speed;
        const double delay = (ideal - e->arg1 / 1000.0) / (c.later_speed - c.speed);
        EXPECT_LT(delay, (ORV_MAX_AHEAD_MS + 100) / 1000.0 + 0.15) << "heard after " << delay;
    } else {
        EXPECT_NEAR(position_rate(events, prepared), c.speed, 0.25 * c.speed);
    }
    const auto mono = capture.read(kRate, 1).mono();
    EXPECT_NEAR(rvtone::dominant_frequency(mono, kRate, hz * 0.9, hz * 1.1, 1), hz, hz * 0.02);
    EXPECT_NEAR(rvtone::tone_seconds(mono, kRate, hz), c.expect_s, c.expect_s * 0.05);
}

INSTANTIATE_TEST_SUITE_P(Rows, Speed,
                         ::testing::Values(SpeedCase{"OneAndAHalf", 12.0, 1.5f, 0, 0, 8.0},
                                           SpeedCase{"ThreeQuarters", 4.5, 0.75f, 0, 0, 6.0},
                                           SpeedCase{"DoubledMidItem", 6.0, 1.0f, 2.0f, 2.0, 4.0}),
                         [](const auto &info) { return std::string(info.param.name); });

TEST_F(PlayerTest, SpeedOutsideTheRangeOrOnALiveStreamIsRefused) {
    EXPECT_EQ(IjkMediaPlayer_setPlaybackSpeed(0.49f), -1);
    EXPECT_EQ(IjkMediaPlayer_setPlaybackSpeed(2.01f), -1);
    EXPECT_EQ(IjkMediaPlayer_setPlaybackSpeed(NAN), -1);
    const double hz = rvtone::frequency_for_audio_id(5);
    MediaServer server;
    server.add("live.aac", tone_file(rvtone::Codec::Aac, hz, 2.0), "audio/aac");
    Capture capture("live_speed");
    ASSERT_EQ(IjkMediaPlayer_setPlaybackSpeed(2.0f), 0);  // kept, but not for a live stream
    IjkMediaPlayer_setDataSourceAndHeaders(server.url("live", "live.aac").c_str());
    IjkMediaPlayer_prepareAsync(0, 4);
    ASSERT_TRUE(Events::get().wait_for(ORV_EVENT_PREPARED, -1, 10s));
    EXPECT_EQ(IjkMediaPlayer_setPlaybackSpeed(1.5f), -2);
    std::this_thread::sleep_for(3s);
    stop_heard_out();
    const auto mono = capture.read(kRate, 1).mono();
    EXPECT_NEAR(rvtone::tone_seconds(mono, kRate, hz), 3.0, 0.4) << "a live stream plays at 1";
}

// Largest step between neighbouring samples in [from, to) seconds of the capture.
int largest_step(const std::vector<std::int16_t> &pcm, double from, double to) {
    int step = 0;
    const auto a = static_cast<std::size_t>(from * kRate);
    const auto b = std::min(pcm.size(), static_cast<std::size_t>(to * kRate));
    for (std::size_t i = a + 1; i < b; ++i) {
        step = std::max(step, std::abs(pcm[i] - pcm[i - 1]));
    }
    return step;
}

// How often the sound comes back from near silence (1 ms windows): the fades' troughs.
int troughs(const std::vector<std::int16_t> &pcm, int loud) {
    const std::size_t w = kRate / 1000;
    int count = 0;
    bool in = true;  // before the first sample
    for (std::size_t i = 0; i + w <= pcm.size(); i += w) {
        int peak = 0;
        for (std::size_t j = i; j < i + w; ++j) {
            peak = std::max(peak, std::abs(static_cast<int>(pcm[j])));
        }
        const bool quiet = peak < loud / 10;
        count += in && !quiet ? 1 : 0;
        in = quiet;
    }
    return count;
}

// Around a pause, a seek and a stop the wave is never cut: the capture (all that was
// written) has no step larger than the tone's own, it fades to silence at each and ends
// on silence.
TEST_F(PlayerTest, PauseSeekAndStopFadeInsteadOfCutting) {
    const double hz = 1000.0;
    MediaServer server;
    server.add("tone.aac", tone_file(rvtone::Codec::Aac, hz, 10.0), "audio/aac");
    Capture capture("fades");
    IjkMediaPlayer_setDataSourceAndHeaders(server.url("file", "tone.aac").c_str());
    IjkMediaPlayer_prepareAsync(0, 4);
    ASSERT_TRUE(Events::get().wait_for(ORV_EVENT_PREPARED, -1, 10s));
    std::this_thread::sleep_for(1s);
    IjkMediaPlayer_pause();
    std::this_thread::sleep_for(400ms);
    IjkMediaPlayer_start();
    std::this_thread::sleep_for(700ms);
    IjkMediaPlayer_seekTo(5123);
    ASSERT_TRUE(Events::get().wait_for(ORV_EVENT_SEEK_COMPLETE, -1, 10s));
    std::this_thread::sleep_for(700ms);
    stop_heard_out();

    const auto pcm = capture.read(kRate, 1).mono();
    ASSERT_GT(pcm.size(), static_cast<std::size_t>(kRate));
    // The tone's own largest step, where it plays steadily.
    const int own = largest_step(pcm, 0.3, 0.8);
    const int loud = *std::max_element(pcm.begin() + kRate / 4, pcm.begin() + kRate * 3 / 4);
    EXPECT_NEAR(own, 2 * M_PI * hz / kRate * loud, 0.2 * own);
    // (The file's own onset, after the encoder's priming, is left out.)
    EXPECT_LE(largest_step(pcm, 0.1, 1e9), own * 1.1);
    EXPECT_EQ(troughs(pcm, loud), 3) << "the file's priming, the pause and the seek";
    EXPECT_LE(std::abs(pcm.back()), own) << "the stop cut the wave";
}

}  // namespace
}  // namespace rvtest
