// memory_bench: resident memory and thread count of an application that started the SDK
// and plays an album (album_process), against player_demo alone driving the engine (with
// its read-ahead as by default and bounded to 64 KiB, to tell what it costs), all
// playing AAC 64 kbit/s from the local service run here, each in its own process.
// Output goes to ALSA's file plugin (tests/libpcmsink/alsa-test.conf.in). Each process
// plays for a while before sampling starts; /proc/<pid>/status is then read every 500 ms.
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "mock_service.h"
#include "proc_status.h"

extern char **environ;

namespace {

using namespace std::chrono_literals;

constexpr auto kSettle = 5s;  // started, playing, first allocations done
constexpr int kSamples = 20;  // every 500 ms after that

struct Figures {
    std::vector<long> rss_kib;
    std::vector<long> anon_kib;  // heap and other private memory, the rest is mapped files
    std::vector<long> threads;
    std::uintmax_t pcm_bytes = 0;
};

long median(std::vector<long> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

// Runs `argv` with the capture at `capture`, samples it, then ends it.
Figures measure(const std::vector<std::string> &argv, const std::string &capture) {
    std::filesystem::remove(capture);
    std::vector<char *> args;
    for (const std::string &a : argv) {
        args.push_back(const_cast<char *>(a.c_str()));
    }
    args.push_back(nullptr);
    pid_t pid = 0;
    Figures f;
    if (posix_spawn(&pid, args[0], nullptr, nullptr, args.data(), environ) != 0) {
        std::fprintf(stderr, "memory_bench: cannot run %s\n", args[0]);
        return f;
    }
    std::this_thread::sleep_for(kSettle);
    for (int i = 0; i < kSamples; ++i) {
        f.rss_kib.push_back(bench::status_value(pid, "VmRSS:"));
        f.anon_kib.push_back(bench::status_value(pid, "RssAnon:"));
        f.threads.push_back(bench::status_value(pid, "Threads:"));
        std::this_thread::sleep_for(500ms);
    }
    std::error_code ec;
    f.pcm_bytes = std::filesystem::file_size(capture, ec);
    kill(pid, SIGTERM);
    int status = 0;
    waitpid(pid, &status, 0);
    return f;
}

void print_row(const char *name, const Figures &f) {
    std::printf(
        "  %-28s VmRSS median %6.1f MiB (anonymous %5.1f), max %6.1f MiB; threads %ld..%ld; "
        "capture file %ju KiB\n",
        name, median(f.rss_kib) / 1024.0, median(f.anon_kib) / 1024.0,
        *std::max_element(f.rss_kib.begin(), f.rss_kib.end()) / 1024.0,
        *std::min_element(f.threads.begin(), f.threads.end()),
        *std::max_element(f.threads.begin(), f.threads.end()), f.pcm_bytes / 1024);
}

}  // namespace

int main() {
    const auto dir = std::filesystem::temp_directory_path() / "rv-memory-bench";
    std::filesystem::create_directories(dir);
    const std::string capture = (dir / "capture.raw").string();
    setenv("ALSA_CONFIG_PATH", RV_ALSA_TEST_CONF, 1);
    setenv("RV_PCM_CAPTURE", capture.c_str(), 1);

    rvmock::Service service;
    if (!service.start()) {
        std::fprintf(stderr, "memory_bench: the local service did not start\n");
        return 1;
    }
    const std::string base = service.http_url();
    setenv("RV_MEDIA_HOST", base.c_str(), 1);  // player_demo's stream host

    const Figures demo = measure({RV_PLAYER_DEMO}, capture);
    // The same with the read-ahead bounded to 64 KiB (a few seconds of this stream).
    setenv("RV_READ_AHEAD_BYTES", "65536", 1);
    const Figures bounded = measure({RV_PLAYER_DEMO}, capture);
    unsetenv("RV_READ_AHEAD_BYTES");
    const Figures sdk = measure({RV_ALBUM_PROCESS, base, dir.string()}, capture);
    if (demo.rss_kib.empty() || bounded.rss_kib.empty() || sdk.rss_kib.empty() ||
        demo.rss_kib.front() <= 0 || bounded.rss_kib.front() <= 0 || sdk.rss_kib.front() <= 0) {
        std::fprintf(stderr, "memory_bench: a process did not run\n");
        return 1;
    }
    std::printf(
        "resident memory and threads while playing (%d samples, 500 ms apart, after %lld s):\n",
        kSamples, static_cast<long long>(kSettle.count()));
    print_row("player_demo (engine alone)", demo);
    print_row("player_demo, read-ahead 64K", bounded);
    print_row("SDK + album player", sdk);
    std::printf("  read-ahead cost              VmRSS %.1f MiB, anonymous %.1f MiB\n",
                (median(demo.rss_kib) - median(bounded.rss_kib)) / 1024.0,
                (median(demo.anon_kib) - median(bounded.anon_kib)) / 1024.0);
    std::printf("  ratio SDK / demo             VmRSS %.2f, extra %.1f MiB\n",
                static_cast<double>(median(sdk.rss_kib)) / median(demo.rss_kib),
                (median(sdk.rss_kib) - median(demo.rss_kib)) / 1024.0);
    std::filesystem::remove_all(dir);
    return 0;
}
