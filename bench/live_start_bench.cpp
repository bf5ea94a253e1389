// live_start_bench: how fast a live station starts, against the ffmpeg command-line tool on
// the same streams in the same run.
//   1. Icecast 2 mounts fed by ffmpeg (MP3 128 kbit/s, ADTS AAC 64 kbit/s, Ogg Vorbis
//      64 kbit/s), each with its full 64 KB burst waiting, and a live HLS stream from
//      ffmpeg's hls muxer: prepareAsync to the first PCM frame on the device, median of 10
//      connects; ffmpeg's start (process start to its first decoded PCM byte), median of 10,
//      probing as it does by default and with the demuxer named on its command line; and the
//      server floor: request to the first byte of the body (Icecast 2.4 hands a joining
//      listener its burst on the source's next 4 KB block, so a 64 kbit/s mount cannot
//      start much before half a second for any player).
//   2. HTTPS against HTTP on the local service: prepareAsync to the first PCM frame of the
//      same file, with the CA file that signed the server.
#include <stdio.h>
#include <stdlib.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
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

// Process start to the first byte of decoded PCM ffmpeg writes, median of kRuns.
double ffmpeg_start_ms(const std::string &url, const char *demuxer) {
    std::vector<double> times;
    const std::string forced = demuxer != nullptr ? std::string("-f ") + demuxer + " " : "";
    const std::string command = "ffmpeg -nostdin -hide_banner -loglevel quiet " + forced + "-i '" +
                                url + "' -t 0.2 -f s16le - 2>/dev/null";
    for (int i = 0; i < kRuns; ++i) {
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
// player starts from), median of kRuns.
double server_first_byte_ms(int port, const std::string &path) {
    std::vector<double> times;
    for (int i = 0; i < kRuns; ++i) {
        httplib::Client client("127.0.0.1", port);
        const auto t0 = Clock::now();
        double took = 10000.0;
        client.Get(
            path, [](const httplib::Response &) { return true; },
            [&](const char *, std::size_t) {
                took = std::chrono::duration<double, std::milli>(Clock::now() - t0).count();
                return false;
            });
        times.push_back(took);
    }
    return bench::median(times);
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
    std::printf("  %-18s %10s %12s %16s %14s\n", "stream", "engine", "ffmpeg", "ffmpeg -f named",
                "server floor");
    for (const Station &s : stations) {
        const std::string mount = std::string("/live.") + rvtest::extension(s.codec);
        const std::string url = icecast.url(mount);
        const double engine = bench::first_pcm_ms(url, capture, kRuns);
        const double probed = ffmpeg_start_ms(url, nullptr);
        const double named = ffmpeg_start_ms(url, s.demuxer);
        const double floor = server_first_byte_ms(icecast.port(), mount);
        std::printf("  %-18s %7.1f ms %9.1f ms %13.1f ms %11.1f ms   engine/ffmpeg %.2f\n", s.name,
                    engine, probed, named, floor, engine / probed);
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
