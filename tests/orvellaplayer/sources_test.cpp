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

// A source without a length completes without position reports.
enum class Outcome { Completes, CompletesUnsized, PlaysLive };

struct Row {
    const char *label;
    std::function<std::string(MediaServer &)> serve;  // registers the bytes; the URL to play
    Outcome outcome;
    std::vector<std::pair<double, double>> tones;  // Hz and at least this many s, in order
    const char *never_requested = "";              // path prefix the engine must not fetch
};

void PrintTo(const Row &row, std::ostream *os) {
    *os << row.label;
}

// A canonical 16-bit mono WAV file, as simple tools write them.
std::vector<std::uint8_t> wav(double hz, double seconds) {
    const auto n = static_cast<std::uint32_t>(seconds * kRate);
    std::vector<std::uint8_t> out;
    auto put = [&out](std::uint32_t v, int bytes) {
        for (int i = 0; i < bytes; ++i) {
            out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
        }
    };
    for (std::uint32_t word : {0x46464952u, 36 + 2 * n, 0x45564157u, 0x20746d66u, 16u, 0x00010001u,
                               std::uint32_t{kRate}, 2u * kRate, 0x00100002u, 0x61746164u, 2 * n}) {
        put(word, 4);  // "RIFF" size "WAVE" "fmt " 16, PCM mono, rate, bytes/s, 16 bit, "data"
    }
    for (std::uint32_t i = 0; i < n; ++i) {
        put(static_cast<std::uint16_t>(
                std::lround(16000 * std::sin(2 * std::numbers::pi * hz * i / kRate))),
            2);
    }
    return out;
}

std::vector<std::uint8_t> aac(double hz, double seconds, int rate = kRate) {
    return tone_file(rvtone::Codec::Aac, hz, seconds, rate);
}

std::vector<std::uint8_t> text(const std::string &s) {
    return {s.begin(), s.end()};
}

// Registers a VOD playlist `dir`/list.m3u8 of 2 one-second ADTS segments per tone, with a
// discontinuity between tones; returns its URL.
std::string hls(MediaServer &s, const std::string &dir, std::vector<std::pair<double, int>> tones) {
    std::string list = "#EXTM3U\n#EXT-X-TARGETDURATION:1\n#EXT-X-PLAYLIST-TYPE:VOD\n";
    for (std::size_t i = 0; i < tones.size() * 2; ++i) {
        list += i > 0 && i % 2 == 0 ? "#EXT-X-DISCONTINUITY\n" : "";
        list += "#EXTINF:1.0,\n" + std::to_string(i) + ".aac\n";
        s.add(dir + "/" + std::to_string(i) + ".aac",
              aac(tones[i / 2].first, 1.0, tones[i / 2].second), "audio/aac");
    }
    s.add(dir + "/list.m3u8", text(list + "#EXT-X-ENDLIST\n"), "application/vnd.apple.mpegurl");
    return s.url("file", dir + "/list.m3u8");
}

const Row kRows[] = {
    {"wav_without_ranges",
     [](MediaServer &s) {
         s.add("a.wav", wav(500, 3.0), "audio/wav");
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
         s.add("c.wav", wav(700, 4.0), "audio/wav");
         return s.url("plaincut", "c.wav");
     },
     Outcome::Completes,
     {{700, 3.9}}},  // read again from the start, what was had skipped: nothing twice
    {"mp3_stream_labelled_as_a_playlist",
     [](MediaServer &s) {
         // Some stations label their stream so: the first bytes say it is no playlist.
         s.add("s.mp3", tone_file(rvtone::Codec::Mp3, 650, 3.0), "audio/x-mpegurl");
         return s.url("chunked", "s.mp3");
     },
     Outcome::CompletesUnsized,
     {{650, 2.85}}},
    {"adts_file_changing_rate",
     [](MediaServer &s) {
         auto bytes = aac(800, 2.0);
         const auto second = aac(1200, 2.0, 48000);
         bytes.insert(bytes.end(), second.begin(), second.end());
         s.add("r.aac", bytes, "audio/aac");
         return s.url("file", "r.aac");
     },
     Outcome::Completes,
     {{800, 1.85}, {1200, 1.85}}},
    {"hls_discontinuity_44k_to_48k",
     [](MediaServer &s) {
         return hls(s, "d", {{900, 44100}, {1300, 48000}});
     },
     Outcome::Completes,
     {{900, 1.85}, {1300, 1.85}}},
    {"hls_master_two_variants",
     [](MediaServer &s) {
         hls(s, "lo", {{1000, 44100}});
         hls(s, "hi", {{1400, 44100}});
         // The default cap (192 kbit/s) takes the 128 kbit/s variant, none above or below.
         s.add("master.m3u8",
               text("#EXTM3U\n#EXT-X-STREAM-INF:BANDWIDTH=64000,CODECS=\"mp4a.40.2\"\n"
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
         s.add("a.aac", aac(1100, 10.0), "audio/aac");
         s.add("b.aac", aac(1500, 10.0, 48000), "audio/aac");
         return s.url("cut", "a.aac");
     },
     Outcome::PlaysLive,
     {{1100, 1.8}, {1500, 2.0}}},
};

class Sources : public PlayerTest, public ::testing::WithParamInterface<Row> {};

TEST_P(Sources, PlayAsTheServerSaysAndEventsFollow) {
    const Row &row = GetParam();
    MediaServer server;
    Capture capture(row.label);
    IjkMediaPlayer_setDataSourceAndHeaders(row.serve(server).c_str());
    const auto begun = Clock::now();
    ASSERT_EQ(IjkMediaPlayer_prepareAsync(0, 4), 0);
    double total_s = 0;
    for (const auto &[hz, seconds] : row.tones) {
        total_s += seconds;
    }
    const bool completes = row.outcome != Outcome::PlaysLive;
    const bool sized = row.outcome == Outcome::Completes;
    if (row.outcome == Outcome::PlaysLive) {
        std::this_thread::sleep_for(7s);
    } else {
        ASSERT_TRUE(Events::get().wait_for(ORV_EVENT_COMPLETED, -1, 30s));
        EXPECT_GE(std::chrono::duration<double>(Clock::now() - begun).count(), total_s);
        std::this_thread::sleep_for(800ms);  // a replay, a second end or error would show now
    }
    stop_heard_out();
    EXPECT_EQ(Events::get().count(ORV_EVENT_COMPLETED), completes ? 1 : 0);
    EXPECT_EQ(Events::get().count(ORV_EVENT_ERROR), 0);
    if (row.outcome == Outcome::PlaysLive) {
        EXPECT_EQ(Events::get().count(ORV_EVENT_INFO, ORV_INFO_BUFFERING_START), 1);
    }
    // Positions up to the real duration; every stall ends, in sound or in an error.
    int last_position = -1;
    int open_stalls = 0;
    for (const Event &e : Events::get().snapshot()) {
        if (e.what == ORV_EVENT_POSITION && sized) {
            EXPECT_GE(e.arg1, last_position);
            EXPECT_NEAR(e.arg2, total_s * 1000, 400);
            last_position = e.arg1;
        } else if (e.what == ORV_EVENT_INFO && e.arg1 == ORV_INFO_BUFFERING_START) {
            EXPECT_EQ(open_stalls++, 0) << "a stall started inside a stall";
        } else if (e.what == ORV_EVENT_INFO || e.what == ORV_EVENT_ERROR) {
            open_stalls = 0;
        }
    }
    EXPECT_EQ(open_stalls, 0) << "buffering started and never ended";
    if (sized) {
        EXPECT_GE(Events::get().count(ORV_EVENT_POSITION), static_cast<int>(total_s * 2) - 2);
        EXPECT_GT(last_position, (total_s - 1) * 1000);
    }
    if (*row.never_requested != '\0') {
        EXPECT_EQ(server.connections_of(row.never_requested), 0);
    }
    // The tones, each at its own pitch, one after the other: every 50 ms window of one
    // comes after the last of the tone before.
    const auto mono = capture.read(kRate, 1).mono();
    const auto window = static_cast<std::size_t>(kWindowS * kRate);
    std::size_t before = 0;
    for (const auto &[hz, seconds] : row.tones) {
        SCOPED_TRACE(hz);
        EXPECT_GE(rvtone::tone_seconds(mono, kRate, hz, kWindowS), seconds);
        std::size_t last = before;
        for (std::size_t at = 0; at + window <= mono.size(); at += window) {
            if (rvtone::tone_fraction({mono.data() + at, window}, kRate, hz) >= 0.5) {
                EXPECT_GE(at + 2 * window, before) << "tones out of order";
                last = at;
            }
        }
        before = last;
    }
}

INSTANTIATE_TEST_SUITE_P(Table, Sources, ::testing::ValuesIn(kRows),
                         [](const auto &info) { return std::string(info.param.label); });

}  // namespace
}  // namespace rvtest
