// live_start_bench: how fast a live station starts, against the ffmpeg command-line tool on
// the same streams in the same run.
//   1. Icecast 2 mounts fed by ffmpeg (MP3 128 kbit/s, ADTS AAC 64 kbit/s, Ogg Vorbis
//      64 kbit/s), each with its full 64 KB burst waiting, and a live HLS stream from
//      ffmpeg's hls muxer: prepareAsync to the first PCM frame on the device, median of 10
//      connects; ffmpeg's start (process start to its first decoded PCM byte), median of 10,
//      probing as it does by default and with the demuxer named on its command line; and the
//      server floor: a plain socket listener connecting at the same moment as the engine,
//      request to the first byte of the body.
//      Icecast hands a joining listener its data only when the source next sends, and the
//      Ogg Vorbis source sends a page about once a second: a start lies anywhere between
//      0.3 and 1 s, by where in that second the connect falls. Back-to-back connects fall at
//      the same point every time, so a change in the time between two of them (a reset
//      that lets the written audio play out) moved a whole median. Every connect therefore
//      waits a random part of a second first (the same seeded draws for each client), and
//      the engine is compared with the listener of the same connect.
//   2. HTTPS against HTTP on the local service: prepareAsync to the first PCM frame of the
//      same file, with the CA file that signed the server.
#include <stdio.h>
#include <stdlib.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "first_pcm.h"
#include "live_servers.h"
#include "mock_service.h"
#include "orvellaplayer.h"

namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;
constexpr int kRuns = 10;
constexpr int kSeed = 26;

// A random point of the next second, so that a connect samples the source's send cadence.
class RandomJoin {
  public:
    void wait() { std::this_thread::sleep_for(std::chrono::milliseconds(within_(draws_))); }

  private:
    std::mt19937 draws_{kSeed};
    std::uniform_int_distribution<int> within_{0, 999};
};

// Process start to the first byte of decoded PCM ffmpeg writes, median of kRuns joins.
double ffmpeg_start_ms(const std::string &url, const char *demuxer) {
    RandomJoin join;
    std::vector<double> times;
    const std::string forced = demuxer != nullptr ? std::string("-f ") + demuxer + " " : "";
    const std::string command = "ffmpeg -nostdin -hide_banner -loglevel quiet " + forced + "-i '" +
                                url + "' -t 0.2 -f s16le - 2>/dev/null";
    for (int i = 0; i < kRuns; ++i) {
        join.wait();
        const auto t0 = Clock::now();
        FILE *pipe = popen(command.c_str(), "r");
        if (pipe == nullptr) {
            return -1;
        }
        const bool got = std::fgetc(pipe) != EOF;
        times.push_back(got ? std::chrono::duration<double, std::milli>(Clock::now() - t0).count()
                            : 10000.0);
        pclose(pipe);
    }
    return bench::median(times);
}

// Request to the first byte of the answer's body from the server itself (the floor any
// player starts from).
double server_first_byte_ms(int port, const std::string &path) {
    httplib::Client client("127.0.0.1", port);
    const auto t0 = Clock::now();
    double took = 10000.0;
    client.Get(
        path, [](const httplib::Response &) { return true; },
        [&](const char *, std::size_t) {
            took = std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
            return false;
        });
    return took;
}

// Medians of kRuns joins; the lag is engine - floor taken per join.
struct Start {
    double engine;
    double floor;
    double lag;
};

// The engine and the plain listener joining a mount at the same moment, kRuns times.
Start engine_and_floor_ms(const std::string &url, int port, const std::string &mount,
                          const std::string &capture) {
    RandomJoin join;
    std::vector<double> engine;
    std::vector<double> floor;
    std::vector<double> lag;
    for (int i = 0; i < kRuns; ++i) {
        join.wait();
        double listener = 0;
        std::thread plain([&] { listener = server_first_byte_ms(port, mount); });
        engine.push_back(bench::first_pcm_ms(url, capture, 1));
        plain.join();
        floor.push_back(listener);
        lag.push_back(engine.back() - listener);
    }
    return {bench::median(engine), bench::median(floor), bench::median(lag)};
}

}  // namespace

int main() {
    if (std::getenv("ALSA_CONFIG_PATH") == nullptr) {
        setenv("ALSA_CONFIG_PATH", RV_ALSA_TEST_CONF, 1);
    }
    rvtest::TempDir dir("rv-live-bench");
    const std::string capture = dir.path() + "/capture.raw";
    setenv("RV_PCM_CAPTURE", capture.c_str(), 1);

    struct Station {
        const char *name;
        rvtest::LiveCodec codec;
        const char *demuxer;
    };
    const Station stations[] = {{"Icecast MP3 128k", rvtest::LiveCodec::Mp3, "mp3"},
                                {"Icecast AAC 64k ", rvtest::LiveCodec::Aac, "aac"},
                                {"Icecast Ogg 64k ", rvtest::LiveCodec::Vorbis, "ogg"}};
    rvtest::IcecastServer icecast;
    std::vector<std::unique_ptr<rvtest::IcecastSource>> sources;
    const auto fed_from = Clock::now();
    for (const Station &s : stations) {
        sources.push_back(std::make_unique<rvtest::IcecastSource>(
            icecast, std::string("/live.") + rvtest::extension(s.codec), s.codec, 440));
    }
    rvtest::HlsLive hls(440);
    for (const Station &s : stations) {
        if (!icecast.wait_on_air(std::string("/live.") + rvtest::extension(s.codec), 10s)) {
            std::fprintf(stderr, "%s did not come on air\n", s.name);
            return 1;
        }
    }
    // 64 KB at 64 kbit/s is 8.2 s of stream: from then on every burst is full.
    std::this_thread::sleep_until(fed_from + 9s);
    if (!hls.wait_segments(4, 15s)) {
        std::fprintf(stderr, "the HLS stream did not start\n");
        return 1;
    }

    Register_post_event(nullptr);
    IjkMediaPlayer_native_init();
    std::printf(
        "live start, median of %d connects: prepareAsync -> first PCM frame on the\n"
        "device (engine); process start -> first PCM byte (ffmpeg command line)\n",
        kRuns);
    std::printf("  %-18s %10s %12s %16s %14s %16s\n", "stream", "engine", "ffmpeg",
                "ffmpeg -f named", "server floor", "engine-floor");
    for (const Station &s : stations) {
        const std::string mount = std::string("/live.") + rvtest::extension(s.codec);
        const std::string url = icecast.url(mount);
        const Start start = engine_and_floor_ms(url, icecast.port(), mount, capture);
        const double probed = ffmpeg_start_ms(url, nullptr);
        const double named = ffmpeg_start_ms(url, s.demuxer);
        std::printf(
            "  %-18s %7.1f ms %9.1f ms %13.1f ms %11.1f ms %13.1f ms   engine/ffmpeg %.2f\n",
            s.name, start.engine, probed, named, start.floor, start.lag, start.engine / probed);
    }
    const double hls_engine = bench::first_pcm_ms(hls.url(), capture, kRuns);
    const double hls_ffmpeg = ffmpeg_start_ms(hls.url(), nullptr);
    std::printf("  %-18s %7.1f ms %9.1f ms %16s %14s   engine/ffmpeg %.2f\n", "HLS live (ffmpeg)",
                hls_engine, hls_ffmpeg, "-", "-", hls_engine / hls_ffmpeg);

    rvmock::Service service;
    if (!service.start()) {
        return 1;
    }
    IjkMediaPlayer_setCaFile(service.ca_file().c_str());
    const std::string path = "/media/audio/3000000103/aac_64.aac";
    const double over_http = bench::first_pcm_ms(service.http_url() + path, capture, kRuns);
    const double over_https = bench::first_pcm_ms(service.https_url() + path, capture, kRuns);
    std::printf(
        "local service, AAC file, prepareAsync -> first PCM frame (median of %d):\n"
        "  HTTP %.1f ms, HTTPS with certificate check %.1f ms (TLS adds %.1f ms)\n",
        kRuns, over_http, over_https, over_https - over_http);
    IjkMediaPlayer_native_finalize();
    return 0;
}
