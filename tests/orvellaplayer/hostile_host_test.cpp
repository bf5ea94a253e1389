// A seeded hostile host: for every connection it draws a rate, a cut after some bytes, a
// stall or a refusal, ignoring Range, or a 503. Whatever it draws, each source is heard
// whole, once and in order, or ends in an error within the give-up time after the host's
// last byte; no thread is left behind. Fixed seeds by default; RV_HOSTILE_SEED and
// RV_HOSTILE_SOURCES choose a walk (the soak runs a long one, from a random seed when none
// is given; the seed is printed).
#include <cstdlib>
#include <random>

#include "link_server.h"
#include "orvellaplayer.h"
#include "player_harness.h"

namespace rvtest {
namespace {

constexpr int kRate = 44100;
constexpr double kToneS = 1.5;  // two tones per source, in order
constexpr double kGiveUpS = 30;

struct Walk {
    std::uint64_t seed;
    int sources;
};

// Every connection's plan, drawn from the seed, the source and the connection's number, so
// that a failure replays. After eight connections the host behaves, well within the give-up
// time of backing off: a source whose first answer came then ends.
LinkServer::Plan draw(std::uint64_t seed, int source, int connection, double byte_rate,
                      std::int64_t size) {
    std::mt19937_64 rng(seed * 1000003 + static_cast<std::uint64_t>(source) * 101 +
                        static_cast<std::uint64_t>(connection));
    std::uniform_real_distribution<double> u(0, 1);
    LinkServer::Plan plan;
    plan.rate = byte_rate * (1.5 + 6 * u(rng));
    if (connection >= 8) {
        return plan;
    }
    const double kind = u(rng);
    if (kind < 0.3) {
        plan.cut_after = static_cast<std::int64_t>(u(rng) * static_cast<double>(size));
    } else if (kind < 0.4) {
        plan.refuse = true;
    } else if (kind < 0.5) {
        plan.stall_s = 3 * u(rng);
    } else if (kind < 0.6) {
        plan.status = 503;
    }
    plan.ignore_range = u(rng) < 0.2;
    return plan;
}

double pitch(int source, int tone) {
    return rvtone::frequency_for_audio_id(5 + source % 20 * 3 + tone);
}

void play_one(std::uint64_t seed, int source) {
    SCOPED_TRACE("seed " + std::to_string(seed) + " source " + std::to_string(source));
    const auto codec = source % 2 == 0 ? rvtone::Codec::Mp3 : rvtone::Codec::Aac;
    std::vector<std::uint8_t> file;
    for (int tone = 0; tone < 2; ++tone) {
        rvtone::ToneSpec sine;
        sine.frequency_hz = pitch(source, tone);
        sine.duration_s = kToneS;
        sine.bitrate = 128000;
        const auto part = rvtone::encode_tone(codec, sine);
        file.insert(file.end(), part.begin(), part.end());
    }
    const double byte_rate = static_cast<double>(file.size()) / (2 * kToneS);
    const auto size = static_cast<std::int64_t>(file.size());
    LinkServer::Link link;
    link.plan = [=](int connection) { return draw(seed, source, connection, byte_rate, size); };
    LinkServer server(link);
    server.add("s", file, rvtone::mime_type(codec));
    Events::get().clear();
    Capture capture("hostile" + std::to_string(seed) + "_" + std::to_string(source));
    IjkMediaPlayer_setDataSourceAndHeaders(server.url("s").c_str());
    ASSERT_EQ(IjkMediaPlayer_prepareAsync(0, 4), 0);
    const auto deadline = Clock::now() + std::chrono::seconds(static_cast<int>(kGiveUpS) + 60);
    while (Events::get().count(ORV_EVENT_COMPLETED) + Events::get().count(ORV_EVENT_ERROR) == 0 &&
           Clock::now() < deadline) {
        std::this_thread::sleep_for(50ms);
    }
    std::this_thread::sleep_for(300ms);  // a second end or an error after it would show now
    IjkMediaPlayer_stop();
    const int ends = Events::get().count(ORV_EVENT_COMPLETED);
    const int errors = Events::get().count(ORV_EVENT_ERROR);
    std::printf("  source %d: %s after %zu connections\n", source, errors > 0 ? "error" : "heard",
                server.requests().size());
    ASSERT_EQ(ends + errors, 1) << "neither an end nor an error, or both";
    if (errors == 1) {
        // Due only when the first answer failed: after it, the host gives in in time.
        const LinkServer::Plan first = draw(seed, source, 0, byte_rate, size);
        EXPECT_TRUE(first.refuse || first.status != 200) << "an error where none was due";
        return;
    }
    const auto mono = capture.read(kRate, 1).mono();
    EXPECT_NEAR(static_cast<double>(mono.size()) / kRate, 2 * kToneS, 0.3) << "not once";
    const auto window = static_cast<std::size_t>(0.05 * kRate);
    std::size_t first_end = 0;
    for (int tone = 0; tone < 2; ++tone) {
        EXPECT_NEAR(rvtone::tone_seconds(mono, kRate, pitch(source, tone)), kToneS, 0.15);
        for (std::size_t at = 0; at + window <= mono.size(); at += window) {
            const bool here = rvtone::tone_fraction({mono.data() + at, window}, kRate,
                                                    pitch(source, tone)) >= 0.5;
            if (here && tone == 0) {
                first_end = at;
            } else if (here) {
                EXPECT_GE(at + 2 * window, first_end) << "tones out of order";
            }
        }
    }
}

Walk walk() {
    const char *seed = std::getenv("RV_HOSTILE_SEED");
    const char *sources = std::getenv("RV_HOSTILE_SOURCES");
    return {seed != nullptr ? std::strtoull(seed, nullptr, 10) : std::random_device{}(),
            sources != nullptr ? std::atoi(sources) : 0};
}

class HostileHost : public PlayerTest {};

TEST_F(HostileHost, EverySourceWholeOnceOrAnErrorInTime) {
    const Walk chosen = walk();
    int threads = -1;  // once the engine has played a source
    const std::vector<Walk> walks =
        chosen.sources > 0 ? std::vector<Walk>{chosen} : std::vector<Walk>{{11, 3}, {23, 3}};
    for (const Walk &w : walks) {
        std::printf("hostile host: seed %llu, %d sources\n",
                    static_cast<unsigned long long>(w.seed), w.sources);
        for (int source = 0; source < w.sources && !HasFatalFailure(); ++source) {
            play_one(w.seed, source);
            threads = threads < 0 ? thread_count_settled(thread_count()) : threads;
        }
    }
    EXPECT_EQ(thread_count_settled(threads), threads) << "threads left behind";
}

}  // namespace
}  // namespace rvtest
