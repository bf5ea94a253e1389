// link_bench: playback over a poor mobile link, ours against mpv (when installed) on servers
// alike and the same file, side by side. Tunnel: a 96 KB/s link that drops out for 30 s twelve
// seconds into a 60 s file, the connection either held open and silent or cut with new
// connections refused. Episode: a 150 s MP3 over a link 1.5 times its bit rate, cut for 15 s
// at 40 s, from a host with byte ranges and from one without. Silence heard: play time less
// the file's length (ours: first PCM on the device to the completion event; mpv with its timed
// null output: process start to exit). A row without an outage gives each player's floor.
// Then the first PCM of an item prefetched ahead against the same item not prefetched,
// alternately in this process.
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "first_pcm.h"
#include "link_server.h"
#include "orvellaplayer.h"
#include "player_harness.h"
#include "proc_status.h"

namespace {

using rvtest::Clock;
using rvtest::LinkServer;
using namespace std::chrono_literals;

constexpr double kLinkRate = 96 * 1024;
constexpr int kRate = 44100;
constexpr double kHz = 440;

struct Row {
    const char *label;
    rvtone::Codec codec;
    int bitrate;
    double outage_s;  // 0: none
    LinkServer::Outage outage;
    double length_s = 60;
    double outage_at_s = 12;
    double link_x = 0;  // the link's rate in times the file's bit rate; 0: kLinkRate
    LinkServer::Body body = LinkServer::Body::Ranged;
};

const Row kTunnelRows[] = {
    {"MP3 128 kbit/s, no outage", rvtone::Codec::Mp3, 128000, 0, LinkServer::Outage::Stall},
    {"MP3 128 kbit/s, stall", rvtone::Codec::Mp3, 128000, 30, LinkServer::Outage::Stall},
    {"MP3 128 kbit/s, cut", rvtone::Codec::Mp3, 128000, 30, LinkServer::Outage::CutAndRefuse},
    {"AAC 64 kbit/s, no outage", rvtone::Codec::Aac, 64000, 0, LinkServer::Outage::Stall},
    {"AAC 64 kbit/s, stall", rvtone::Codec::Aac, 64000, 30, LinkServer::Outage::Stall},
    {"AAC 64 kbit/s, cut", rvtone::Codec::Aac, 64000, 30, LinkServer::Outage::CutAndRefuse},
};

const Row kEpisodeRows[] = {
    {"MP3 64 kbit/s, ranges, cut", rvtone::Codec::Mp3, 64000, 15, LinkServer::Outage::CutAndRefuse,
     150, 40, 1.5},
    {"MP3 64 kbit/s, no ranges, cut", rvtone::Codec::Mp3, 64000, 15,
     LinkServer::Outage::CutAndRefuse, 150, 40, 1.5, LinkServer::Body::NoRanges},
};

LinkServer::Link link_for(const Row &row) {
    LinkServer::Link link;
    link.rate = row.link_x > 0 ? row.link_x * row.bitrate / 8 : kLinkRate;
    link.outage_at_s = row.outage_s > 0 ? row.outage_at_s : -1;
    link.outage_s = row.outage_s;
    link.outage = row.outage;
    link.body = row.body;
    return link;
}

bool have_mpv() {
    return std::system("command -v mpv >/dev/null 2>&1") == 0;
}

// Seconds mpv takes to play `url` to its end through its timed null output; < 0 on failure.
double mpv_play_s(const std::string &url) {
    const std::string command =
        "timeout 400 mpv --no-config --no-video --ao=null --really-quiet '" + url +
        "' >/dev/null 2>&1";
    const auto t0 = Clock::now();
    const int status = std::system(command.c_str());
    const double s = std::chrono::duration<double>(Clock::now() - t0).count();
    return status == 0 ? s : -1;
}

struct Ours {
    double play_s = -1;   // first PCM to completion; < 0: never completed
    double tone_s = 0;    // of it, the tone
    int buffering = 0;    // times the output ran dry
    double anon_mib = 0;  // growth of this process's anonymous memory while playing
};

Ours ours_play_s(const std::string &url, double length_s) {
    rvtest::Capture capture("link_bench");
    rvtest::Events::get().clear();
    const long anon_before = bench::status_value(0, "RssAnon:");
    long anon_max = anon_before;
    IjkMediaPlayer_setDataSourceAndHeaders(url.c_str());
    IjkMediaPlayer_prepareAsync(0, 4);
    Clock::time_point first{};
    const auto deadline = Clock::now() + std::chrono::duration<double>(length_s + 60);
    while (rvtest::Events::get().count(ORV_EVENT_COMPLETED) == 0 &&
           rvtest::Events::get().count(ORV_EVENT_ERROR) == 0 && Clock::now() < deadline) {
        if (first == Clock::time_point{} && capture.size() > 0) {
            first = Clock::now();
        }
        anon_max = std::max(anon_max, bench::status_value(0, "RssAnon:"));
        std::this_thread::sleep_for(5ms);
    }
    Ours o;
    for (const rvtest::Event &e : rvtest::Events::get().snapshot()) {
        if (e.what == ORV_EVENT_COMPLETED) {
            o.play_s = std::chrono::duration<double>(e.at - first).count();
        }
    }
    IjkMediaPlayer_reset();
    const auto mono = capture.read(kRate, 2).mono();
    o.tone_s = rvtone::tone_seconds(mono, kRate, kHz);
    o.buffering = rvtest::Events::get().count(ORV_EVENT_INFO, ORV_INFO_BUFFERING_START);
    o.anon_mib = (anon_max - anon_before) / 1024.0;
    return o;
}

void play_rows(std::span<const Row> rows, bool mpv) {
    std::printf("  %-28s %9s | %8s %8s %8s %6s %9s | %9s %8s\n", "row", "file", "ours play",
                "silence", "tone", "701s", "anon +MiB", "mpv play", "silence");
    for (const Row &row : rows) {
        rvtone::ToneSpec tone;
        tone.frequency_hz = kHz;
        tone.duration_s = row.length_s;
        tone.channels = 2;
        tone.bitrate = row.bitrate;
        const auto file = rvtone::encode_tone(row.codec, tone);
        const double length_s = rvtone::decode(file).duration_s();
        LinkServer ours_server(link_for(row));
        LinkServer mpv_server(link_for(row));
        ours_server.add("tone", file, rvtone::mime_type(row.codec));
        mpv_server.add("tone", file, rvtone::mime_type(row.codec));
        double mpv_s = -1;
        std::thread mpv_run;
        if (mpv) {
            mpv_run = std::thread([&] { mpv_s = mpv_play_s(mpv_server.url("tone")); });
        }
        const Ours o = ours_play_s(ours_server.url("tone"), length_s);
        if (mpv_run.joinable()) {
            mpv_run.join();
        }
        std::printf("  %-28s %6.1f KB | %7.2fs %7.2fs %7.2fs %6d %9.2f | ", row.label,
                    file.size() / 1024.0, o.play_s, o.play_s - length_s, o.tone_s, o.buffering,
                    o.anon_mib);
        if (!mpv) {
            std::printf("%9s %8s\n", "-", "-");
        } else {
            std::printf("%8.2fs %7.2fs\n", mpv_s, mpv_s < 0 ? 0.0 : mpv_s - length_s);
        }
        std::fflush(stdout);
    }
}

// First PCM of a 10 s MP3 over the slow link, prefetched 3 s before its prepare or not,
// alternately.
void prefetch_rows() {
    constexpr int kRuns = 9;
    rvtone::ToneSpec tone;
    tone.frequency_hz = kHz;
    tone.duration_s = 10;
    tone.channels = 2;
    tone.bitrate = 128000;
    LinkServer::Link link;
    link.rate = kLinkRate;
    LinkServer server(link);
    server.add("next", rvtone::encode_tone(rvtone::Codec::Mp3, tone),
               rvtone::mime_type(rvtone::Codec::Mp3));
    const std::string url = server.url("next");
    rvtest::Capture capture("prefetch");
    std::vector<double> plain;
    std::vector<double> prefetched;
    for (int i = 0; i < kRuns; ++i) {
        plain.push_back(bench::first_pcm_ms(url, capture.path(), 1));
        IjkMediaPlayer_prefetch(url.c_str());
        std::this_thread::sleep_for(3s);
        prefetched.push_back(bench::first_pcm_ms(url, capture.path(), 1));
    }
    const double p = bench::median(plain);
    const double f = bench::median(prefetched);
    std::printf("prefetch: prepareAsync to first PCM, 10 s MP3 over the link, median of %d\n",
                kRuns);
    std::printf("  not prefetched %.1f ms, prefetched %.1f ms, ratio %.2f\n", p, f, f / p);
}

}  // namespace

int main(int argc, char **argv) {
    setenv("ALSA_CONFIG_PATH", RV_ALSA_TEST_CONF, 1);
    Register_post_event(&rvtest::Events::callback);
    IjkMediaPlayer_native_init();
    IjkMediaPlayer_setVolume(1.0f, 1.0f);
    const std::string only = argc > 1 ? argv[1] : "";  // "tunnel", "episode" or "prefetch"
    const bool mpv = have_mpv();
    if (!mpv && only != "prefetch") {
        std::printf("mpv not found: its column is skipped\n");
    }
    if (only.empty() || only == "tunnel") {
        std::printf("tunnel: 60 s tone over a %.0f KB/s link, 30 s outage from 12 s in\n",
                    kLinkRate / 1024);
        play_rows(kTunnelRows, mpv);
    }
    if (only.empty() || only == "episode") {
        std::printf("episode: 150 s tone over a link 1.5x its bit rate, cut 15 s from 40 s in\n");
        play_rows(kEpisodeRows, mpv);
    }
    if (only.empty() || only == "prefetch") {
        prefetch_rows();
    }
    return 0;
}
