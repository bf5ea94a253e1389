// What the playback tests share: the event recorder bound to the engine, the capture file
// that the test ALSA configuration writes, and small process probes.
#ifndef TESTS_ORVELLAPLAYER_PLAYER_HARNESS_H
#define TESTS_ORVELLAPLAYER_PLAYER_HARNESS_H

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "tone.h"

namespace rvtest {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// `what` of a now-playing change (the engine's metadata callback), recorded among the events.
constexpr int kNowPlaying = 1000;

struct Event {
    int what;
    int arg1;
    int arg2;
    Clock::time_point at;
    std::thread::id thread;
    std::string title{};  // kNowPlaying only
    std::string artist{};
};

// Records every event the engine delivers; optionally runs a hook inside the callback.
class Events {
  public:
    static Events &get();
    static void callback(int what, int arg1, int arg2);
    static void now_playing(const char *title, const char *artist, const char *url);

    void clear();
    std::vector<Event> snapshot() const;
    // True once an event `what` (and `arg1`, unless -1) has arrived.
    bool wait_for(int what, int arg1 = -1, std::chrono::milliseconds timeout = 20s) const;
    int count(int what, int arg1 = -1) const;
    void set_hook(std::function<void(int, int, int)> hook);

  private:
    mutable std::mutex mu_;  // protects events_, hook_
    mutable std::condition_variable cv_;
    std::vector<Event> events_;
    std::function<void(int, int, int)> hook_;
};

// Each test writes its own capture file: RV_PCM_CAPTURE (or `variable`, for another device
// of the test configuration) names it for the next device open.
class Capture {
  public:
    explicit Capture(const std::string &name, const char *variable = "RV_PCM_CAPTURE");
    ~Capture();
    const std::string &path() const { return path_; }
    std::uintmax_t size() const;
    rvtone::Pcm read(int rate, int channels) const {
        return rvtone::read_raw_s16(path_, rate, channels);
    }

  private:
    std::string dir_;
    std::string path_;
};

// A UDP socket bound to a free loopback port; `port` gets the port.
int loopback_udp(int &port);

// A UDP port that takes DNS queries and never answers.
class DeafDns {
  public:
    DeafDns();
    ~DeafDns();
    DeafDns(const DeafDns &) = delete;
    DeafDns &operator=(const DeafDns &) = delete;
    std::string address() const { return "127.0.0.1:" + std::to_string(port_); }
    // Queries that came since the last call.
    int queries();

  private:
    int fd_ = -1;
    int port_ = 0;
};

int thread_count();
// The thread count once it is `expected`, or whatever it is after five seconds:
// a joined thread leaves /proc/self/task a little after its join returned (long
// after, under qemu-user), so a count right after a join may still include it.
int thread_count_settled(int expected);

// Registers the recorder and makes the engine ready (again, after a native_finalize).
void ready_engine();
// Stops and returns once what was written has played out and the device is closed, so
// that the capture is whole (a stop returns before that).
void stop_heard_out();

// Registers the recorder, makes the engine ready and resets it after each test.
class PlayerTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;
};

// Plays the endless stream at `url` for `play` and checks it behaves as live: no position,
// end or error event, and its tone (`hz`) for the whole time.
void expect_plays_as_live(const std::string &url, double hz, const std::string &capture_name,
                          std::chrono::seconds play = 10s);

// Tone file in the given codec, for the server or disk.
std::vector<std::uint8_t> tone_file(rvtone::Codec codec, double hz, double seconds,
                                    int rate = 44100, int channels = 1);

}  // namespace rvtest

#endif
