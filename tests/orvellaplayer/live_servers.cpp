#include "live_servers.h"

#include <fcntl.h>
#include <grp.h>
#include <netinet/in.h>
#include <pwd.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

extern char **environ;

namespace rvtest {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr const char *kSourcePassword = "rv-source";

// Icecast refuses to run as root unless told which user to become once its port is bound.
std::string security_block(const std::string &dir) {
    if (geteuid() != 0) {
        return "";
    }
    const passwd *user = getpwnam("nobody");
    const group *grp = user != nullptr ? getgrgid(user->pw_gid) : nullptr;
    if (user == nullptr || grp == nullptr) {
        throw std::runtime_error("no unprivileged user for icecast");
    }
    // It writes its logs after changing user.
    if (chown(dir.c_str(), user->pw_uid, user->pw_gid) != 0) {
        throw std::runtime_error("cannot hand the icecast directory over");
    }
    return std::string("<security><chroot>0</chroot><changeowner><user>") + user->pw_name +
           "</user><group>" + grp->gr_name + "</group></changeowner></security>";
}

bool answers_200(int port, const std::string &path) {
    httplib::Client client("127.0.0.1", port);
    client.set_connection_timeout(1);
    int status = 0;
    // Headers are enough: stop before the body (an endless stream for a mount).
    client.Get(
        path,
        [&](const httplib::Response &res) {
            status = res.status;
            return false;
        },
        [](const char *, std::size_t) { return false; });
    return status == 200;
}

template <typename F>
bool poll_until(std::chrono::milliseconds timeout, F &&ready) {
    const auto deadline = Clock::now() + timeout;
    while (!ready()) {
        if (Clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(50ms);
    }
    return true;
}

std::vector<std::string> sine_input(double hz, int rate = 44100) {
    std::ostringstream source;
    source << "sine=frequency=" << hz << ":sample_rate=" << rate;
    return {"ffmpeg", "-nostdin", "-hide_banner", "-loglevel", "error",
            "-re",    "-f",       "lavfi",        "-i",        source.str()};
}

}  // namespace

ChildProcess::ChildProcess(const std::vector<std::string> &argv, const std::string &log_path) {
    std::vector<char *> args;
    for (const std::string &a : argv) {
        args.push_back(const_cast<char *>(a.c_str()));
    }
    args.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    const std::string out = log_path.empty() ? "/dev/null" : log_path;
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    const int rc = posix_spawnp(&pid_, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) {
        throw std::runtime_error("cannot start " + argv[0]);
    }
}

ChildProcess::~ChildProcess() {
    if (pid_ <= 0) {
        return;
    }
    kill(pid_, SIGTERM);
    for (int i = 0; i < 40; ++i) {
        if (waitpid(pid_, nullptr, WNOHANG) == pid_) {
            return;
        }
        std::this_thread::sleep_for(50ms);
    }
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
}

bool ChildProcess::running() {
    return pid_ > 0 && waitpid(pid_, nullptr, WNOHANG) == 0;
}

TempDir::TempDir(const std::string &prefix) {
    std::string pattern = (std::filesystem::temp_directory_path() / (prefix + "-XXXXXX")).string();
    if (mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("mkdtemp failed");
    }
    path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

int free_port() {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    const bool ok = fd >= 0 && bind(fd, reinterpret_cast<sockaddr *>(&addr), sizeof addr) == 0 &&
                    getsockname(fd, reinterpret_cast<sockaddr *>(&addr), &len) == 0;
    if (fd >= 0) {
        close(fd);
    }
    if (!ok) {
        throw std::runtime_error("no free port");
    }
    return ntohs(addr.sin_port);
}

IcecastServer::IcecastServer() {
    const std::string dir = dir_.path();
    const std::string security = security_block(dir);
    // Icecast's bind and our probe can race another process for the port: a few tries.
    for (int attempt = 0; attempt < 3 && !process_; ++attempt) {
        port_ = free_port();
        const std::string config = dir + "/icecast.xml";
        std::ofstream(config) << "<icecast><location>test</location><admin>test@localhost</admin>"
                              << "<limits><clients>50</clients><sources>10</sources>"
                              << "<queue-size>524288</queue-size><burst-size>65536</burst-size>"
                              << "<source-timeout>10</source-timeout></limits>"
                              << "<authentication><source-password>" << kSourcePassword
                              << "</source-password><admin-user>admin</admin-user>"
                              << "<admin-password>rv-admin</admin-password></authentication>"
                              << "<hostname>127.0.0.1</hostname><listen-socket><port>" << port_
                              << "</port><bind-address>127.0.0.1</bind-address></listen-socket>"
                              << "<fileserve>0</fileserve><paths><basedir>" << dir
                              << "</basedir><logdir>" << dir
                              << "</logdir><webroot>/usr/share/icecast2/web</webroot>"
                              << "<adminroot>/usr/share/icecast2/admin</adminroot></paths>"
                              << "<logging><accesslog>access.log</accesslog>"
                              << "<errorlog>error.log</errorlog><loglevel>2</loglevel></logging>"
                              << security << "</icecast>\n";
        auto process = std::make_unique<ChildProcess>(
            std::vector<std::string>{"icecast2", "-c", config}, dir + "/stdout.log");
        // Any path answers once it listens (404 for a mount not on air).
        const bool up = poll_until(5s, [&] {
            httplib::Client client("127.0.0.1", port_);
            client.set_connection_timeout(1);
            return process->running() && static_cast<bool>(client.Head("/"));
        });
        if (up) {
            process_ = std::move(process);
        }
    }
    if (!process_) {
        throw std::runtime_error("icecast did not start");
    }
}

IcecastServer::~IcecastServer() = default;

std::string IcecastServer::url(const std::string &mount) const {
    return "http://127.0.0.1:" + std::to_string(port_) + mount;
}

std::string IcecastServer::source_url(const std::string &mount) const {
    return std::string("icecast://source:") + kSourcePassword +
           "@127.0.0.1:" + std::to_string(port_) + mount;
}

bool IcecastServer::wait_on_air(const std::string &mount, std::chrono::milliseconds timeout) const {
    return poll_until(timeout, [&] { return answers_200(port_, mount); });
}

namespace {

struct CodecNames {
    const char *content_type;
    const char *extension;
};

// By LiveCodec.
constexpr CodecNames kCodecNames[] = {
    {"audio/mpeg", "mp3"}, {"audio/aac", "aac"}, {"application/ogg", "ogg"}};

}  // namespace

const char *content_type(LiveCodec codec) {
    return kCodecNames[static_cast<int>(codec)].content_type;
}

const char *extension(LiveCodec codec) {
    return kCodecNames[static_cast<int>(codec)].extension;
}

namespace {

std::vector<std::string> source_args(const IcecastServer &server, const std::string &mount,
                                     LiveCodec codec, double hz, int rate) {
    std::vector<std::string> args = sine_input(hz, rate);
    switch (codec) {
        case LiveCodec::Mp3:
            args.insert(args.end(), {"-c:a", "libmp3lame", "-b:a", "128k", "-f", "mp3"});
            break;
        case LiveCodec::Aac:
            args.insert(args.end(), {"-c:a", "aac", "-b:a", "64k", "-f", "adts"});
            break;
        case LiveCodec::Vorbis:
            args.insert(args.end(), {"-c:a", "libvorbis", "-b:a", "64k", "-f", "ogg"});
            break;
    }
    args.insert(args.end(), {"-content_type", content_type(codec), server.source_url(mount)});
    return args;
}

}  // namespace

IcecastSource::IcecastSource(const IcecastServer &server, const std::string &mount, LiveCodec codec,
                             double hz, int rate)
    : process_(source_args(server, mount, codec, hz, rate)) {}

HlsLive::HlsLive(double hz) {
    const std::string dir = dir_.path();
    std::vector<std::string> args = sine_input(hz);
    args.insert(args.end(), {"-c:a", "aac", "-b:a", "64k", "-f", "hls", "-hls_time", "1",
                             "-hls_list_size", "4", "-hls_flags", "delete_segments",
                             "-hls_segment_filename", dir + "/seg%05d.ts", dir + "/live.m3u8"});
    encoder_ = std::make_unique<ChildProcess>(args);
    http_.set_file_extension_and_mimetype_mapping("m3u8", "application/vnd.apple.mpegurl");
    http_.set_file_extension_and_mimetype_mapping("ts", "video/mp2t");
    http_.set_mount_point("/", dir);
    port_ = http_.bind_to_any_port("127.0.0.1");
    thread_ = std::thread([this] { http_.listen_after_bind(); });
    while (!http_.is_running()) {
        std::this_thread::sleep_for(5ms);
    }
}

HlsLive::~HlsLive() {
    http_.stop();
    thread_.join();
}

std::string HlsLive::url() const {
    return "http://127.0.0.1:" + std::to_string(port_) + "/live.m3u8";
}

bool HlsLive::wait_segments(int segments, std::chrono::milliseconds timeout) const {
    return poll_until(timeout, [&] {
        std::ifstream playlist(dir_.path() + "/live.m3u8");
        std::string line;
        int listed = 0;
        while (std::getline(playlist, line)) {
            listed += line.rfind("#EXTINF", 0) == 0;
        }
        return listed >= segments;
    });
}

}  // namespace rvtest
