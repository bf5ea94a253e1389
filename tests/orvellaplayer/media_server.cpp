#include "media_server.h"

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <stdexcept>

namespace rvtest {
namespace {

using Clock = std::chrono::steady_clock;
constexpr double kFrameSamples = 1024;
constexpr double kLiveBurstS = 1.0;  // sent at once on connect, as live servers do

int adts_rate(const std::vector<std::uint8_t> &f) {
    static const int rates[] = {96000, 88200, 64000, 48000, 44100, 32000, 24000,
                                22050, 16000, 12000, 11025, 8000,  7350};
    const int index = (f[2] >> 2) & 0x0F;
    return index < 13 ? rates[index] : 44100;
}

}  // namespace

std::vector<std::vector<std::uint8_t>> adts_frames(const std::vector<std::uint8_t> &bytes) {
    std::vector<std::vector<std::uint8_t>> frames;
    std::size_t at = 0;
    while (at + 7 <= bytes.size() && bytes[at] == 0xFF && (bytes[at + 1] & 0xF0) == 0xF0) {
        const std::size_t len =
            ((bytes[at + 3] & 3u) << 11) | (bytes[at + 4] << 3) | (bytes[at + 5] >> 5);
        if (len < 7 || at + len > bytes.size()) {
            break;
        }
        frames.emplace_back(bytes.begin() + static_cast<std::ptrdiff_t>(at),
                            bytes.begin() + static_cast<std::ptrdiff_t>(at + len));
        at += len;
    }
    return frames;
}

MediaServer::MediaServer() {
    server_.Get(R"(/file/(.+))", [this](const httplib::Request &req, httplib::Response &res) {
        record(req);
        serve_file(req.matches[1], res);
    });
    server_.Get(R"(/(mz/.+))", [this](const httplib::Request &req, httplib::Response &res) {
        record(req);
        serve_file(req.matches[1], res);
    });
    server_.Get(R"(/chunked/(.+))", [this](const httplib::Request &req, httplib::Response &res) {
        record(req);
        std::lock_guard lock(mu_);
        auto it = files_.find(req.matches[1]);
        if (it == files_.end()) {
            res.status = 404;
            return;
        }
        auto body = std::make_shared<std::vector<std::uint8_t>>(it->second.first);
        res.set_chunked_content_provider(
            it->second.second.c_str(), [body](std::size_t offset, httplib::DataSink &sink) {
                if (offset >= body->size()) {
                    sink.done();
                    return true;
                }
                const std::size_t n = std::min<std::size_t>(4096, body->size() - offset);
                return sink.write(reinterpret_cast<const char *>(body->data()) + offset, n);
            });
    });
    server_.Get(R"(/drop/(.+))", [this](const httplib::Request &req, httplib::Response &res) {
        record(req);
        std::lock_guard lock(mu_);
        auto it = files_.find(req.matches[1]);
        const bool from_start = req.ranges.empty() || req.ranges[0].first <= 0;
        if (it == files_.end() || !from_start) {
            serve_file_locked(req.matches[1], res);
            return;
        }
        // The whole length announced, half of it sent, then the connection drops.
        auto body = std::make_shared<std::string>(it->second.first.begin(), it->second.first.end());
        res.set_content_provider(body->size(), it->second.second.c_str(),
                                 [body](std::size_t offset, std::size_t, httplib::DataSink &sink) {
                                     const std::size_t half = body->size() / 2;
                                     if (offset >= half) {
                                         return false;
                                     }
                                     return sink.write(body->data() + offset, half - offset);
                                 });
    });
    for (const bool cut : {false, true}) {
        server_.Get(cut ? R"(/plaincut/(.+))" : R"(/plain/(.+))",
                    [this, cut](const httplib::Request &req, httplib::Response &res) {
                        record(req);
                        serve_plain(req, res, cut);
                    });
    }
    server_.Get(R"(/live/(.+))", [this](const httplib::Request &req, httplib::Response &res) {
        record(req);
        stream(req, res, false);
    });
    server_.Get(R"(/cut/(.+))", [this](const httplib::Request &req, httplib::Response &res) {
        record(req);
        stream(req, res, true);
    });
    // What a proxy receives: the absolute URI of a host only the proxy can reach.
    server_.Get(R"(http://media\.invalid(?::80)?/file/(.+))",
                [this](const httplib::Request &req, httplib::Response &res) {
                    record(req);
                    serve_file(req.matches[1], res);
                });
    port_ = server_.bind_to_any_port("127.0.0.1");
    if (port_ <= 0) {
        throw std::runtime_error("media server: bind failed");
    }
    thread_ = std::thread([this] { server_.listen_after_bind(); });
    while (!server_.is_running()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

MediaServer::~MediaServer() {
    server_.stop();
    thread_.join();
}

void MediaServer::add(const std::string &name, std::vector<std::uint8_t> bytes, std::string mime) {
    std::lock_guard lock(mu_);
    files_[name] = {std::move(bytes), std::move(mime)};
}

std::string MediaServer::url(const std::string &route, const std::string &name) const {
    return "http://127.0.0.1:" + std::to_string(port_) + "/" + route + "/" + name;
}

void MediaServer::serve_file(const std::string &name, httplib::Response &res) {
    std::lock_guard lock(mu_);
    serve_file_locked(name, res);
}

void MediaServer::serve_file_locked(const std::string &name, httplib::Response &res) {
    auto it = files_.find(name);
    if (it == files_.end()) {
        res.status = 404;
        return;
    }
    const auto &[bytes, mime] = it->second;
    res.set_content(std::string(bytes.begin(), bytes.end()), mime.c_str());
}

void MediaServer::serve_plain(const httplib::Request &req, httplib::Response &res, bool cut) {
    // A server without byte ranges: a Range header is ignored and the whole body answers.
    const_cast<httplib::Request &>(req).ranges.clear();
    std::lock_guard lock(mu_);
    auto it = files_.find(req.matches[1]);
    if (it == files_.end()) {
        res.status = 404;
        return;
    }
    auto body = std::make_shared<std::string>(it->second.first.begin(), it->second.first.end());
    const bool first = hits_[req.path] <= 1;
    const std::size_t end = cut && first ? body->size() / 2 : body->size();
    res.set_content_provider(body->size(), it->second.second.c_str(),
                             [body, end](std::size_t offset, std::size_t, httplib::DataSink &sink) {
                                 return offset < end &&
                                        sink.write(body->data() + offset,
                                                   std::min<std::size_t>(end - offset, 16384));
                             });
}

void MediaServer::record(const httplib::Request &req) {
    std::lock_guard lock(mu_);
    ++hits_[req.path];
    host_ = req.get_header_value("Host");
}

int MediaServer::requests(const std::string &path) const {
    std::lock_guard lock(mu_);
    auto it = hits_.find(path);
    return it == hits_.end() ? 0 : it->second;
}

std::string MediaServer::last_host_header() const {
    std::lock_guard lock(mu_);
    return host_;
}

int MediaServer::connections_of(const std::string &prefix) const {
    std::lock_guard lock(mu_);
    int n = 0;
    for (const auto &[path, count] : hits_) {
        if (path.rfind(prefix, 0) == 0) {
            n += count;
        }
    }
    return n;
}

void MediaServer::stream(const httplib::Request &req, httplib::Response &res, bool cut) {
    std::vector<std::vector<std::uint8_t>> frames;
    int connection = 0;
    {
        std::lock_guard lock(mu_);
        connection = cut ? cut_connections_++ : 0;
        auto it = files_.find(connection > 0 && !cut_next.empty() ? cut_next
                                                                  : std::string(req.matches[1]));
        if (it == files_.end()) {
            res.status = 404;
            return;
        }
        frames = adts_frames(it->second.first);
    }
    if (frames.empty()) {
        res.status = 415;
        return;
    }
    if (cut && connection > 0) {
        std::this_thread::sleep_for(std::chrono::duration<double>(reconnect_delay_s));
    }
    const double frame_s = kFrameSamples / adts_rate(frames[0]);
    const double limit_s = cut && connection == 0 ? cut_after_s : 1e12;
    struct State {
        Clock::time_point start = Clock::now();
        std::size_t sent = 0;
    };
    auto state = std::make_shared<State>();
    res.set_chunked_content_provider("audio/aac", [frames = std::move(frames), frame_s, limit_s,
                                                   state](std::size_t, httplib::DataSink &sink) {
        const double elapsed = std::chrono::duration<double>(Clock::now() - state->start).count();
        const double due_s = std::min(elapsed + kLiveBurstS, limit_s);
        bool wrote = false;
        while (static_cast<double>(state->sent) * frame_s < due_s) {
            const auto &f = frames[state->sent % frames.size()];
            if (!sink.write(reinterpret_cast<const char *>(f.data()), f.size())) {
                return false;
            }
            ++state->sent;
            wrote = true;
        }
        if (static_cast<double>(state->sent) * frame_s >= limit_s) {
            return false;  // break the connection off without a final chunk
        }
        if (!wrote) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return true;
    });
}

SilentServer::SilentServer() {
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    if (fd_ < 0 || ::bind(fd_, reinterpret_cast<sockaddr *>(&addr), sizeof addr) != 0 ||
        ::listen(fd_, 128) != 0 ||
        ::getsockname(fd_, reinterpret_cast<sockaddr *>(&addr), &len) != 0) {
        throw std::runtime_error("silent server: socket failed");
    }
    port_ = ntohs(addr.sin_port);
}

SilentServer::~SilentServer() {
    ::close(fd_);
}

std::string SilentServer::url() const {
    return "http://127.0.0.1:" + std::to_string(port_) + "/never.aac";
}

}  // namespace rvtest
