// A seeded hostile host: for every connection it draws a rate, a cut after some bytes, a
// stall or a refusal, ignoring Range, or a 503. Whatever it draws, each source is heard
// whole, once and in order, or ends in an error within the give-up time after the host's
// last byte. Controls called on the way (pause, seek, stop, release) return at once, and
// neither threads nor memory grow from source to source. Fixed seeds by default; RV_HOSTILE_SEED
// and RV_HOSTILE_SOURCES choose a walk (the soak runs a long one, from a random seed when none is
// given; the seed is printed).
#include <algorithm>
#include <cstdlib>
#include <random>

#include "link_server.h"
#include "orvellaplayer.h"
#include "player_harness.h"
#include "support/resident_memory.h"

namespace rvtest {
namespace {

constexpr int kRate = 44100;
constexpr double kToneS = 1.5;  // two tones per source, in order
constexpr double kGiveUpS = 30;
// A control waits for nothing: one that takes longer is held by the network or a lock.
// Release waits for what was written ahead to play out and fade, as documented.
constexpr auto kControlBound = 50ms;
constexpr auto kPlayOutBound = std::chrono::milliseconds(ORV_MAX_AHEAD_MS + 2 * ORV_FADE_MS) + 50ms;
constexpr long kGrowthKib = 24 << 10;  // three read-ahead buffers of slack, whatever the count

enum class Control { None, Pause, Seek, Stop, Release };
constexpr int kLatestControlMs = 2800;
constexpr int kSeekTargetMs = kLatestControlMs + 100;  // past any position at the control

// The control a source gets, and when after its prepare.
struct ControlPlan {
    Control what = Control::None;
    std::chrono::milliseconds at{};
};

ControlPlan draw_control(std::uint64_t seed, int source) {
    std::mt19937_64 rng(seed * 7919 + static_cast<std::uint64_t>(source));
    std::uniform_int_distribution<int> what(0, 7);  // half of the sources get none
    std::uniform_int_distribution<int> at(200, kLatestControlMs);
    const int pick = what(rng);
    return {pick > 4 ? Control::None : static_cast<Control>(pick),
            std::chrono::milliseconds(at(rng))};
}

// Times each control on the caller's thread; a slow one is counted, not fatal at once.
struct ControlClock {
    int calls = 0;
    int slow = 0;
    Clock::duration longest{};

    template <typename F>
    void time(const char *name, F &&control, Clock::duration bound = kControlBound) {
        const auto start = Clock::now();
        control();
        const auto took = Clock::now() - start;
        ++calls;
        longest = std::max(longest, took);
        if (took > bound) {
            ++slow;
            std::printf("  %s took %lld ms\n", name,
                        static_cast<long long>(
                            std::chrono::duration_cast<std::chrono::milliseconds>(took).count()));
        }
    }
};

// Runs the source's control; true when it ended the source (stop or release).
bool apply(Control what, ControlClock &clock) {
    switch (what) {
        case Control::None:
            return false;
        case Control::Pause:
            clock.time("pause", [] { IjkMediaPlayer_pause(); });
            std::this_thread::sleep_for(300ms);
            clock.time("start", [] { IjkMediaPlayer_start(); });
            return false;
        case Control::Seek:  // ahead of wherever it plays: skipped, nothing heard twice
            clock.time("seekTo", [] { IjkMediaPlayer_seekTo(kSeekTargetMs); });
            return false;
        case Control::Stop:
            clock.time("stop", [] { IjkMediaPlayer_stop(); });
            return true;
        case Control::Release:
            clock.time(
                "native_finalize", [] { IjkMediaPlayer_native_finalize(); }, kPlayOutBound);
            ready_engine();
            return true;
    }
    return false;
}

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

void play_one(std::uint64_t seed, int source, ControlClock &controls) {
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
    const ControlPlan control = draw_control(seed, source);
    const auto prepared_at = Clock::now();
    ASSERT_EQ(IjkMediaPlayer_prepareAsync(0, 4), 0);
    const auto deadline = prepared_at + std::chrono::seconds(static_cast<int>(kGiveUpS) + 60);
    bool controlled = control.what == Control::None;
    bool ended_by_control = false;
    while (!ended_by_control &&
           Events::get().count(ORV_EVENT_COMPLETED) + Events::get().count(ORV_EVENT_ERROR) == 0 &&
           Clock::now() < deadline) {
        std::this_thread::sleep_for(50ms);
        if (!controlled && Clock::now() - prepared_at >= control.at) {
            controlled = true;
            ended_by_control = apply(control.what, controls);
        }
    }
    const int ends_before = Events::get().count(ORV_EVENT_COMPLETED);
    std::this_thread::sleep_for(300ms);  // a second end or an error after it would show now
    controls.time("stop", [] { IjkMediaPlayer_stop(); });
    stop_heard_out();  // the capture is whole
    const int ends = Events::get().count(ORV_EVENT_COMPLETED);
    const int errors = Events::get().count(ORV_EVENT_ERROR);
    const auto events = Events::get().snapshot();
    const auto error = std::find_if(events.begin(), events.end(),
                                    [](const Event &e) { return e.what == ORV_EVENT_ERROR; });
    std::printf("  source %d: %s (%d, %d) after %zu connections, control %d\n", source,
                ended_by_control ? "ended by its control"
                : errors > 0     ? "error"
                                 : "heard",
                error != events.end() ? error->arg1 : 0, error != events.end() ? error->arg2 : 0,
                server.requests().size(), static_cast<int>(control.what));
    if (ended_by_control) {
        EXPECT_EQ(ends, ends_before) << "an end after the source was stopped";
        EXPECT_LE(ends + errors, 1) << "both an end and an error";
        return;
    }
    ASSERT_EQ(ends + errors, 1) << "neither an end nor an error, or both";
    if (errors == 1) {
        // Due only when the first answer failed: after it, the host gives in in time.
        const LinkServer::Plan first = draw(seed, source, 0, byte_rate, size);
        EXPECT_TRUE(first.refuse || first.status != 200) << "an error where none was due";
        return;
    }
    const auto mono = capture.read(kRate, 1).mono();
    // A seek skips part of the source (or nothing, where it cannot seek); nothing twice.
    const bool sought = control.what == Control::Seek;
    const double heard = static_cast<double>(mono.size()) / kRate;
    if (sought) {
        EXPECT_LE(heard, 2 * kToneS + 0.3) << "not once";
    } else {
        EXPECT_NEAR(heard, 2 * kToneS, 0.3) << "not once";
    }
    const auto window = static_cast<std::size_t>(0.05 * kRate);
    std::size_t first_end = 0;
    for (int tone = 0; tone < 2; ++tone) {
        const double seconds = rvtone::tone_seconds(mono, kRate, pitch(source, tone));
        if (sought) {
            EXPECT_LE(seconds, kToneS + 0.15);
        } else {
            EXPECT_NEAR(seconds, kToneS, 0.15);
        }
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
    const std::vector<Walk> walks =
        chosen.sources > 0 ? std::vector<Walk>{chosen} : std::vector<Walk>{{6, 4}, {23, 4}};
    for (const Walk &w : walks) {
        SCOPED_TRACE("seed " + std::to_string(w.seed));
        std::printf("hostile host: seed %llu, %d sources\n",
                    static_cast<unsigned long long>(w.seed), w.sources);
        int threads = -1;  // once the engine has played a source
        long rss = 0;
        ControlClock controls;
        for (int source = 0; source < w.sources && !HasFatalFailure(); ++source) {
            play_one(w.seed, source, controls);
            // A release ends the engine's threads until the next source starts them.
            if (threads < 0 && draw_control(w.seed, source).what != Control::Release) {
                threads = thread_count_settled(thread_count());
                rss = resident_kib();
            }
        }
        const long grown = resident_kib() - rss;
        std::printf(
            "hostile host: seed %llu: %d controls, %d slow, longest %lld ms; "
            "resident memory grew %ld KiB\n",
            static_cast<unsigned long long>(w.seed), controls.calls, controls.slow,
            static_cast<long long>(
                std::chrono::duration_cast<std::chrono::milliseconds>(controls.longest).count()),
            grown);
        EXPECT_EQ(controls.slow, 0) << "controls that waited";
        EXPECT_LE(thread_count_settled(threads), threads) << "threads left behind";
        EXPECT_LT(grown, kGrowthKib) << "memory grew across the sources";
    }
}

}  // namespace
}  // namespace rvtest
