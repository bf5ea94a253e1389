// What real servers send, one row each: how the server answers, what must come out of the
// device and which events the listener sees.
#include <cmath>
#include <functional>
#include <numbers>

#include "media_server.h"
#include "orvellaplayer.h"
#include "player_harness.h"

namespace rvtest {
namespace {

constexpr int kRate = 44100;  // every row's output opens at its first audio's rate
constexpr double kWindowS = 0.05;

enum class Outcome { Completes, FailsOnNetwork, PlaysLive };

struct Tone {
    double hz;
    double seconds;  // at least this much of it comes out
};

struct Row {
    const char *label;
    std::function<std::string(MediaServer &)> serve;  // registers the bytes; the URL to play
    Outcome outcome;
    std::vector<Tone> tones;           // in this order
    const char *never_requested = "";  // path prefix the engine must not fetch
    double play_s = 0;                 // PlaysLive: how long it plays before stop
};

void PrintTo(const Row &row, std::ostream *os) {
    *os << row.label;
}

std::vector<std::uint8_t> bytes_of(const std::string &text) {
    return {text.begin(), text.end()};
}

// A canonical 16-bit mono WAV file: what simple tools write and static servers serve.
std::vector<std::uint8_t> wav_tone(double hz, double seconds) {
    const auto frames = static_cast<std::uint32_t>(seconds * kRate);
    std::vector<std::uint8_t> out;
    auto put = [&out](std::uint32_t v, int bytes) {
        for (int i = 0; i < bytes; ++i) {
            out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
        }
    };
    auto text = [&out](const char *s) {
        for (int i = 0; i < 4; ++i) {
            out.push_back(static_cast<std::uint8_t>(s[i]));
        }
    };
    text("RIFF");
    put(36 + frames * 2, 4);
    text("WAVE");
    text("fmt ");
    put(16, 4);
    put(1, 2);  // PCM
    put(1, 2);  // mono
    put(kRate, 4);
    put(kRate * 2, 4);
    put(2, 2);
    put(16, 2);
    text("data");
    put(frames * 2, 4);
    for (std::uint32_t i = 0; i < frames; ++i) {
        const double v = 16000 * std::sin(2 * std::numbers::pi * hz * i / kRate);
        put(static_cast<std::uint32_t>(static_cast<std::int16_t>(std::lround(v))), 2);
    }
    return out;
}

std::vector<std::uint8_t> aac(double hz, double seconds, int rate) {
    return tone_file(rvtone::Codec::Aac, hz, seconds, rate);
}

// A VOD playlist of one-second ADTS segments `prefix`0.. of the given tones.
std::string hls_vod(MediaServer &server, const std::string &prefix,
                    const std::vector<std::pair<double, int>> &hz_rate, int per_tone) {
    std::string list =
        "#EXTM3U\n#EXT-X-VERSION:3\n#EXT-X-TARGETDURATION:1\n"
        "#EXT-X-PLAYLIST-TYPE:VOD\n";
    int n = 0;
    for (std::size_t t = 0; t < hz_rate.size(); ++t) {
        if (t > 0) {
            list += "#EXT-X-DISCONTINUITY\n";
        }
        for (int i = 0; i < per_tone; ++i, ++n) {
            const std::string name = prefix + std::to_string(n) + ".aac";
            server.add(name, aac(hz_rate[t].first, 1.0, hz_rate[t].second), "audio/aac");
            list += "#EXTINF:1.0,\n" + name.substr(name.rfind('/') + 1) + "\n";
        }
    }
    return list + "#EXT-X-ENDLIST\n";
}

const Row kRows[] = {
    {"wav_without_ranges",
     [](MediaServer &s) {
         s.add("a.wav", wav_tone(500, 3.0), "audio/wav");
         return s.url("plain", "a.wav");
     },
     Outcome::Completes,
     {{500, 2.9}}},
    {"mp3_without_ranges",
     [](MediaServer &s) {
         s.add("a.mp3", tone_file(rvtone::Codec::Mp3, 600, 3.0), "audio/mpeg");
         return s.url("plain", "a.mp3");
     },
     Outcome::Completes,
     {{600, 2.85}}},
    {"cut_without_ranges",
     [](MediaServer &s) {
         s.add("c.wav", wav_tone(700, 4.0), "audio/wav");
         return s.url("plaincut", "c.wav");
     },
     Outcome::FailsOnNetwork,
     {}},
    {"adts_file_changing_rate",
     [](MediaServer &s) {
         auto bytes = aac(800, 2.0, 44100);
         const auto second = aac(1200, 2.0, 48000);
         bytes.insert(bytes.end(), second.begin(), second.end());
         s.add("r.aac", bytes, "audio/aac");
         return s.url("file", "r.aac");
     },
     Outcome::Completes,
     {{800, 1.85}, {1200, 1.85}}},
    {"hls_discontinuity_44k_to_48k",
     [](MediaServer &s) {
         s.add("d/list.m3u8", bytes_of(hls_vod(s, "d/s", {{900, 44100}, {1300, 48000}}, 2)),
               "application/vnd.apple.mpegurl");
         return s.url("file", "d/list.m3u8");
     },
     Outcome::Completes,
     {{900, 1.85}, {1300, 1.85}}},
    {"hls_master_two_variants",
     [](MediaServer &s) {
         s.add("lo/list.m3u8", bytes_of(hls_vod(s, "lo/s", {{1000, 44100}}, 2)),
               "application/vnd.apple.mpegurl");
         s.add("hi/list.m3u8", bytes_of(hls_vod(s, "hi/s", {{1400, 44100}}, 2)),
               "application/vnd.apple.mpegurl");
         // The default cap (192 kbit/s) takes the 128 kbit/s variant, not the one above it.
         s.add("master.m3u8",
               bytes_of("#EXTM3U\n#EXT-X-STREAM-INF:BANDWIDTH=64000,CODECS=\"mp4a.40.2\"\n"
                        "lo/list.m3u8\n#EXT-X-STREAM-INF:BANDWIDTH=128000\nhi/list.m3u8\n"
                        "#EXT-X-STREAM-INF:BANDWIDTH=320000\nlo/list.m3u8\n"),
               "application/vnd.apple.mpegurl");
         return s.url("file", "master.m3u8");
     },
     Outcome::Completes,
     {{1400, 1.85}},
     "/file/lo/"},
    {"live_reconnecting_at_48k",
     [](MediaServer &s) {
         s.cut_after_s = 2.0;
         s.reconnect_delay_s = 0.5;
         s.cut_next = "b.aac";
         s.add("a.aac", aac(1100, 10.0, 44100), "audio/aac");
         s.add("b.aac", aac(1500, 10.0, 48000), "audio/aac");
         return s.url("cut", "a.aac");
     },
     Outcome::PlaysLive,
     {{1100, 1.8}, {1500, 2.0}},
     "",
     7.0},
};

// Window index of the first / last window where the tone dominates; -1 when none.
std::pair<long, long> tone_span(const std::vector<std::int16_t> &mono, double hz) {
    const auto window = static_cast<std::size_t>(kWindowS * kRate);
    long first = -1;
    long last = -1;
    for (std::size_t at = 0, i = 0; at + window <= mono.size(); at += window, ++i) {
        if (rvtone::tone_fraction({mono.data() + at, window}, kRate, hz) >= 0.5) {
            first = first < 0 ? static_cast<long>(i) : first;
            last = static_cast<long>(i);
        }
    }
    return {first, last};
}

class Sources : public PlayerTest, public ::testing::WithParamInterface<Row> {};

TEST_P(Sources, PlayAsTheServerSaysAndEventsFollow) {
    const Row &row = GetParam();
    MediaServer server;
    const std::string url = row.serve(server);
    Capture capture(row.label);
    IjkMediaPlayer_setDataSourceAndHeaders(url.c_str());
    const auto begun = Clock::now();
    ASSERT_EQ(IjkMediaPlayer_prepareAsync(0, 4), 0);
    double total_s = 0;
    for (const Tone &t : row.tones) {
        total_s += t.seconds;
    }
    switch (row.outcome) {
        case Outcome::Completes: {
            ASSERT_TRUE(Events::get().wait_for(ORV_EVENT_COMPLETED, -1, 30s));
            EXPECT_GE(std::chrono::duration<double>(Clock::now() - begun).count(), total_s);
            std::this_thread::sleep_for(500ms);  // a replay or second end would show now
            EXPECT_EQ(Events::get().count(ORV_EVENT_COMPLETED), 1);
            EXPECT_EQ(Events::get().count(ORV_EVENT_ERROR), 0);
            // Positions every 500 ms, as far as the real duration.
            int last_position = -1;
            for (const Event &e : Events::get().snapshot()) {
                if (e.what == ORV_EVENT_POSITION) {
                    EXPECT_GE(e.arg1, last_position);
                    EXPECT_NEAR(e.arg2, total_s * 1000, 400);
                    last_position = e.arg1;
                }
            }
            EXPECT_GE(Events::get().count(ORV_EVENT_POSITION), static_cast<int>(total_s * 2) - 2);
            EXPECT_GT(last_position, (total_s - 1) * 1000);
            break;
        }
        case Outcome::FailsOnNetwork:
            ASSERT_TRUE(Events::get().wait_for(ORV_EVENT_ERROR, -1, 30s));
            std::this_thread::sleep_for(1s);
            EXPECT_EQ(Events::get().count(ORV_EVENT_ERROR), 1);
            EXPECT_EQ(Events::get().count(ORV_EVENT_ERROR, ORV_ERROR_NETWORK), 1);
            EXPECT_EQ(Events::get().count(ORV_EVENT_COMPLETED), 0);
            break;
        case Outcome::PlaysLive:
            ASSERT_TRUE(Events::get().wait_for(ORV_EVENT_PREPARED, -1, 10s));
            std::this_thread::sleep_for(std::chrono::duration<double>(row.play_s));
            EXPECT_EQ(Events::get().count(ORV_EVENT_ERROR), 0);
            EXPECT_EQ(Events::get().count(ORV_EVENT_COMPLETED), 0);
            EXPECT_EQ(Events::get().count(ORV_EVENT_INFO, ORV_INFO_BUFFERING_START), 1);
            break;
    }
    IjkMediaPlayer_stop();

    // Every stall ends, in sound or in an error.
    int open_stalls = 0;
    for (const Event &e : Events::get().snapshot()) {
        if (e.what == ORV_EVENT_INFO && e.arg1 == ORV_INFO_BUFFERING_START) {
            EXPECT_EQ(open_stalls++, 0) << "a stall started inside a stall";
        } else if ((e.what == ORV_EVENT_INFO && e.arg1 == ORV_INFO_BUFFERING_END) ||
                   e.what == ORV_EVENT_ERROR) {
            open_stalls = 0;
        }
    }
    EXPECT_EQ(open_stalls, 0) << "buffering started and never ended";
    if (*row.never_requested != '\0') {
        EXPECT_EQ(server.connections_of(row.never_requested), 0);
    }
    // The tones, each at its own pitch, one after the other.
    const auto mono = capture.read(kRate, 1).mono();
    long previous_last = -1;
    for (const Tone &t : row.tones) {
        SCOPED_TRACE(t.hz);
        EXPECT_GE(rvtone::tone_seconds(mono, kRate, t.hz, kWindowS), t.seconds);
        const auto [first, last] = tone_span(mono, t.hz);
        EXPECT_GT(first, previous_last - 2);
        previous_last = last;
    }
}

INSTANTIATE_TEST_SUITE_P(Table, Sources, ::testing::ValuesIn(kRows),
                         [](const auto &info) { return std::string(info.param.label); });

}  // namespace
}  // namespace rvtest
