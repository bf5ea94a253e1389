#include "player_harness.h"

#include <netinet/in.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "orvellaplayer.h"

namespace rvtest {

Events &Events::get() {
    static Events events;
    return events;
}

void Events::callback(int what, int arg1, int arg2) {
    Events &self = get();
    std::function<void(int, int, int)> hook;
    {
        std::lock_guard lock(self.mu_);
        self.events_.push_back(Event{what, arg1, arg2, Clock::now(), std::this_thread::get_id()});
        hook = self.hook_;
        self.cv_.notify_all();
    }
    if (hook) {
        hook(what, arg1, arg2);
    }
}

void Events::now_playing(const char *title, const char *artist, const char * /*url*/) {
    Events &self = get();
    std::lock_guard lock(self.mu_);
    self.events_.push_back(
        Event{kNowPlaying, 0, 0, Clock::now(), std::this_thread::get_id(), title, artist});
    self.cv_.notify_all();
}

void Events::clear() {
    std::lock_guard lock(mu_);
    events_.clear();
}

std::vector<Event> Events::snapshot() const {
    std::lock_guard lock(mu_);
    return events_;
}

bool Events::wait_for(int what, int arg1, std::chrono::milliseconds timeout) const {
    std::unique_lock lock(mu_);
    return cv_.wait_for(lock, timeout, [&] {
        for (const Event &e : events_) {
            if (e.what == what && (arg1 == -1 || e.arg1 == arg1)) {
                return true;
            }
        }
        return false;
    });
}

int Events::count(int what, int arg1) const {
    std::lock_guard lock(mu_);
    int n = 0;
    for (const Event &e : events_) {
        n += e.what == what && (arg1 == -1 || e.arg1 == arg1);
    }
    return n;
}

int thread_count_settled(int expected) {
    int n = thread_count();
    for (int i = 0; i < 500 && n != expected; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        n = thread_count();
    }
    return n;
}

void Events::set_hook(std::function<void(int, int, int)> hook) {
    std::lock_guard lock(mu_);
    hook_ = std::move(hook);
}

Capture::Capture(const std::string &name, const char *variable) {
    std::string pattern = (std::filesystem::temp_directory_path() / "rv-capture-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("mkdtemp failed");
    }
    dir_ = pattern;
    path_ = dir_ + "/" + name + ".raw";
    setenv(variable, path_.c_str(), 1);
}

Capture::~Capture() {
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
}

std::uintmax_t Capture::size() const {
    std::error_code ec;
    const auto n = std::filesystem::file_size(path_, ec);
    return ec ? 0 : n;
}

int loopback_udp(int &port) {
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    ::bind(fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr);
    ::getsockname(fd, reinterpret_cast<sockaddr *>(&addr), &len);
    port = ntohs(addr.sin_port);
    return fd;
}

DeafDns::DeafDns() {
    fd_ = loopback_udp(port_);
}

DeafDns::~DeafDns() {
    ::close(fd_);
}

int DeafDns::queries() {
    int n = 0;
    char datagram[512];
    while (::recv(fd_, datagram, sizeof datagram, MSG_DONTWAIT) >= 0) {
        ++n;
    }
    return n;
}

int thread_count() {
    int n = 0;
    for ([[maybe_unused]] const auto &entry :
         std::filesystem::directory_iterator("/proc/self/task")) {
        ++n;
    }
    return n;
}

void ready_engine() {
    Register_post_event(&Events::callback);
    Register_metadata_event(&Events::now_playing);
    IjkMediaPlayer_native_init();
    IjkMediaPlayer_setVolume(1.0f, 1.0f);
    IjkMediaPlayer_setPlaybackSpeed(1.0f);
}

void stop_heard_out() {
    IjkMediaPlayer_stop();
    IjkMediaPlayer_native_finalize();
    ready_engine();
}

void PlayerTest::SetUp() {
    ASSERT_NE(std::getenv("ALSA_CONFIG_PATH"), nullptr) << "run through CTest";
    ready_engine();
    Events::get().set_hook(nullptr);
    Events::get().clear();
}

void PlayerTest::TearDown() {
    Events::get().set_hook(nullptr);
    IjkMediaPlayer_reset();
}

std::vector<std::uint8_t> tone_file(rvtone::Codec codec, double hz, double seconds, int rate,
                                    int channels) {
    rvtone::ToneSpec tone;
    tone.frequency_hz = hz;
    tone.duration_s = seconds;
    tone.sample_rate = rate;
    tone.channels = channels;
    return rvtone::encode_tone(codec, tone);
}

void expect_plays_as_live(const std::string &url, double hz, const std::string &capture_name,
                          std::chrono::seconds play) {
    using namespace std::chrono_literals;
    Capture capture(capture_name);
    IjkMediaPlayer_setDataSourceAndHeaders(url.c_str());
    IjkMediaPlayer_prepareAsync(0, 4);
    ASSERT_TRUE(Events::get().wait_for(ORV_EVENT_PREPARED, -1, 10s));
    std::this_thread::sleep_for(play);
    IjkMediaPlayer_stop();
    EXPECT_EQ(Events::get().count(ORV_EVENT_POSITION), 0);
    EXPECT_EQ(Events::get().count(ORV_EVENT_COMPLETED), 0);
    EXPECT_EQ(Events::get().count(ORV_EVENT_ERROR), 0);
    // Of unknown size: once a second, the audio decoded ahead (at most the output's lead
    // and a packet or two) and no duration.
    int downloads = 0;
    for (const Event &e : Events::get().snapshot()) {
        if (e.what == ORV_EVENT_DOWNLOAD_PROGRESS) {
            ++downloads;
            EXPECT_GE(e.arg1, 0);
            EXPECT_LE(e.arg1, 2000);
            EXPECT_EQ(e.arg2, 0);
        }
    }
    // About one a second of playing (the first comes a second after prepared).
    const auto seconds = static_cast<int>(play.count());
    EXPECT_GE(downloads, seconds - 3);
    EXPECT_LE(downloads, seconds + 2);
    const auto mono = capture.read(44100, 1).mono();
    EXPECT_NEAR(rvtone::tone_seconds(mono, 44100, hz), static_cast<double>(play.count()), 0.6);
}

}  // namespace rvtest
