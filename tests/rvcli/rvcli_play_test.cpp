// `rvcli play` through a pseudo-terminal: the keys move through the album and
// the ALSA capture holds each audio's tone, in order.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
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

// What a terminal shows of `out`: carriage return, newline and erase to the
// end of the line applied, one string per row.
std::vector<std::string> screen_rows(const std::string &out) {
    std::vector<std::string> rows(1);
    size_t column = 0;
    for (size_t i = 0; i < out.size(); ++i) {
        std::string &row = rows.back();
        if (out.compare(i, 3, "\x1b[K") == 0) {
            row.resize(std::min(row.size(), column));
            i += 2;
        } else if (out[i] == '\r') {
            column = 0;
        } else if (out[i] == '\n') {
            rows.emplace_back();
            column = 0;
        } else {
            if (column < row.size()) {
                row[column] = out[i];
            } else {
                row += out[i];
            }
            ++column;
        }
    }
    return rows;
}

// The local service and a data directory for rvcli on a pseudo-terminal.
class RvcliPlay : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_NE(std::getenv("ALSA_CONFIG_PATH"), nullptr) << "run through CTest";
        ASSERT_TRUE(service_.start());
        ASSERT_NE(mkdtemp(dir_), nullptr);
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }

    rvtest::RunOptions on_terminal() const {
        return {{{"RV_OPEN_API_HTTP", service_.http_url()},
                 {"RV_OPEN_API_HTTPS", service_.https_url()},
                 {"RV_REPORT_HOST", service_.http_url()},
                 {"RV_CA_FILE", service_.ca_file()}},
                /*terminal=*/true};
    }

    rvmock::Service service_;
    char dir_[32] = "/tmp/rvcli-play-XXXXXX";
};

TEST_F(RvcliPlay, KeysNextNextQuitPlayThreeAudiosInOrder) {
    // Each item opens the device again: append them all to one file, in order.
    const std::string capture = std::string(dir_) + "/capture.raw";
    rvtest::RunOptions options = on_terminal();
    options.env["RV_PCM_CAPTURE"] = "|cat >> " + capture;
    rvtest::RvcliProcess play({"--data-dir", dir_, "play", "album", "1100002"}, options);
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
    std::vector<double> want;
    for (int64_t id : audios) {
        want.push_back(rvtone::frequency_for_audio_id(id));
    }
    EXPECT_EQ(tones_in_order(mono, 44100), want);
}

// Space, the arrows, p, n and q on a 5 s audio (shown as 00:04) of a long album: each key's
// effect shows in what rvcli draws, and q ends it with status 0.
TEST_F(RvcliPlay, KeysPauseSeekAndMoveThroughTheAlbum) {
    rvtest::RvcliProcess play({"--data-dir", dir_, "play", "audio", "3000000104"}, on_terminal());
    const auto since = [&](size_t from) {
        return play.out().substr(std::min(from, play.out().size()));
    };
    ASSERT_TRUE(play.wait_for_output("playing 3000000104 ", 20s)) << play.out() << play.err();
    ASSERT_TRUE(play.wait_for_output("> 00:02 / 00:04", 10s)) << play.out();

    // Sends `keys`; true once `shown` appears in what rvcli draws from then on.
    size_t at = 0;
    const auto press = [&](const std::string &keys, const std::string &shown) {
        at = play.out().size();
        play.send(keys);
        return play.wait_for_output(shown, 20s, at);
    };

    // Space pauses: "paused", and no progress of a playing item while paused.
    ASSERT_TRUE(press(" ", "paused")) << since(at);
    at = play.out().size();
    std::this_thread::sleep_for(1s);
    play.wait_for_output("\x1b", 0ms);  // collect what came meanwhile
    EXPECT_EQ(since(at).find("\r> "), std::string::npos) << since(at);
    // Space again resumes, and Left typed at once with it (one read) goes back
    // 10 s, to the start of the audio (it was past 2 s).
    ASSERT_TRUE(press(" \x1b[D", "> 00:00 / 00:04")) << since(at);
    // Right: 10 s on, past its end: the next audio follows without the audio
    // having been heard through its last seconds.
    ASSERT_TRUE(press("\x1b[C", "playing 3000000105 ")) << since(at);
    const std::string skipped = since(at);
    EXPECT_EQ(skipped.find("00:02 / 00:04"), std::string::npos) << skipped;
    EXPECT_EQ(skipped.find("00:03 / 00:04"), std::string::npos) << skipped;

    // p goes back to the audio before 3000000105, n forward again.
    ASSERT_TRUE(press("p", "playing 3000000104 ")) << since(at);
    ASSERT_TRUE(press("n", "playing 3000000105 ")) << since(at);
    play.send("q");
    EXPECT_EQ(play.finish(20s), 0) << play.err();
}

// No sound card (an ALSA configuration without devices): the engine's one
// warning, no line of the PCM sink or ALSA, and every row that holds the bar
// holds the bar alone.
TEST_F(RvcliPlay, WithoutASoundCardTheScreenShowsOnlyRvcliAndTheBarAlone) {
    const std::string no_devices = std::string(dir_) + "/no-devices.conf";
    std::ofstream(no_devices).close();
    rvtest::RunOptions options = on_terminal();
    options.env["ALSA_CONFIG_PATH"] = no_devices;
    rvtest::RvcliProcess play({"--data-dir", dir_, "play", "album", "1100002"}, options);
    // Quit while the second audio's bar is up.
    ASSERT_TRUE(play.wait_for_output("playing 3000000202 ", 20s)) << play.out() << play.err();
    ASSERT_TRUE(play.wait_for_output("> 00:01 / 00:02", 10s, play.out().find("playing 3000000202")))
        << play.out();
    // Ctrl-C quits like q (raw mode would otherwise be left on the terminal).
    play.send("\x03");
    ASSERT_EQ(play.finish(20s), 0) << play.err();
    for (const char *chatter : {"SDL_Linux_", "unable to open pcm", "ALSA lib"}) {
        EXPECT_EQ((play.out() + play.err()).find(chatter), std::string::npos) << chatter;
    }
    const std::string warning = "orvellaplayer: W cannot open the audio device";
    const size_t once = play.err().find(warning);
    EXPECT_NE(once, std::string::npos) << play.err();
    EXPECT_EQ(play.err().find(warning, once + 1), std::string::npos) << play.err();

    const std::regex bar(R"(> \d\d:\d\d / \d\d:\d\d \[[#-]{30}\])");
    const std::vector<std::string> rows = screen_rows(play.out());
    int bars = 0;
    for (const std::string &row : rows) {
        if (row.find(" / ") != std::string::npos || row.find("[#") != std::string::npos) {
            EXPECT_TRUE(std::regex_match(row, bar)) << row;
            ++bars;
        }
    }
    // The second audio's bar left at the end, none stranded above the items' lines.
    EXPECT_EQ(bars, 1) << play.out();
    EXPECT_NE(std::find(rows.begin(), rows.end(), "ended 3000000201"), rows.end()) << play.out();
    EXPECT_NE(std::find(rows.begin(), rows.end(),
                        "playing 3000000202 Glass Islands episode 2 (Voyage to the Glass Islands)"),
              rows.end())
        << play.out();
}

}  // namespace
