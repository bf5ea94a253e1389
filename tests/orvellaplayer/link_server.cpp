#include "link_server.h"

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <stdexcept>

namespace rvtest {
namespace {

using namespace std::chrono_literals;
constexpr auto kTick = 10ms;

// Closes with a reset, as a link that is gone does.
void cut(int fd) {
    linger off{1, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &off, sizeof off);
    ::close(fd);
}

// `audio` with an empty ICY metadata block (a zero length byte) after every `metaint`
// bytes of the answer; `since_block` carries the count from piece to piece.
std::string with_icy_blocks(const std::string &audio, std::int64_t &since_block,
                            std::int64_t metaint) {
    std::string out;
    for (const char c : audio) {
        out += c;
        if (++since_block == metaint) {
            out += '\0';
            since_block = 0;
        }
    }
    return out;
}

}  // namespace

LinkServer::LinkServer(Link link) : link_(link) {
    listen_fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof addr;
    if (listen_fd_ < 0 || ::bind(listen_fd_, reinterpret_cast<sockaddr *>(&addr), sizeof addr) ||
        ::listen(listen_fd_, 64) != 0 ||
        ::getsockname(listen_fd_, reinterpret_cast<sockaddr *>(&addr), &len) != 0) {
        throw std::runtime_error("link server: socket failed");
    }
    port_ = ntohs(addr.sin_port);
    acceptor_ = std::thread([this] { accept_loop(); });
}

LinkServer::~LinkServer() {
    stop_.store(true);
    acceptor_.join();
    ::close(listen_fd_);
    for (std::thread &t : threads_) {
        t.join();
    }
}

void LinkServer::add(const std::string &name, std::vector<std::uint8_t> bytes, std::string mime) {
    std::lock_guard lock(mu_);
    files_[name] = {std::move(bytes), std::move(mime)};
}

std::string LinkServer::url(const std::string &name) const {
    return "http://127.0.0.1:" + std::to_string(port_) + "/" + name;
}

std::vector<LinkServer::Request> LinkServer::requests() const {
    std::lock_guard lock(mu_);
    return requests_;
}

bool LinkServer::down() const {
    std::lock_guard lock(mu_);
    if (!first_request_ || link_.outage_at_s < 0) {
        return false;
    }
    const double t = std::chrono::duration<double>(Clock::now() - *first_request_).count();
    return t >= link_.outage_at_s && t < link_.outage_at_s + link_.outage_s;
}

bool LinkServer::refusing() const {
    std::lock_guard lock(mu_);
    return first_request_ && link_.refuse_after_first;
}

void LinkServer::accept_loop() {
    while (!stop_.load()) {
        pollfd p{listen_fd_, POLLIN, 0};
        if (::poll(&p, 1, 20) <= 0) {
            continue;
        }
        const int fd = ::accept4(listen_fd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) {
            continue;
        }
        if ((down() && link_.outage == Outage::CutAndRefuse) || refusing()) {
            cut(fd);
            continue;
        }
        // A small send buffer: what the link has not carried yet stays here, not in the
        // kernel, as on a real link.
        const int sndbuf = 8192;
        ::setsockopt(fd, SOL_SOCKET, SO_SNDBUF, &sndbuf, sizeof sndbuf);
        std::lock_guard lock(mu_);
        threads_.emplace_back([this, fd] { serve(fd); });
    }
}

bool LinkServer::send_all(int fd, const char *data, std::size_t n) {
    while (n > 0 && !stop_.load()) {
        const ssize_t sent = ::send(fd, data, n, MSG_NOSIGNAL);
        if (sent <= 0) {
            return false;
        }
        data += sent;
        n -= static_cast<std::size_t>(sent);
    }
    return n == 0;
}

void LinkServer::serve(int fd) {
    std::string head;
    char buf[2048];
    while (head.find("\r\n\r\n") == std::string::npos && !stop_.load()) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 20) <= 0) {
            continue;
        }
        const ssize_t got = ::recv(fd, buf, sizeof buf, 0);
        if (got <= 0) {
            ::close(fd);
            return;
        }
        head.append(buf, static_cast<std::size_t>(got));
    }
    char path[1024] = {};
    std::sscanf(head.c_str(), "GET /%1023s", path);
    Request request{path, -1};
    long long from = -1;
    if (const auto at = head.find("Range: bytes="); at != std::string::npos) {
        std::sscanf(head.c_str() + at, "Range: bytes=%lld-", &from);
        request.range_from = from;
    }
    std::string if_range;
    if (const auto at = head.find("If-Range: "); at != std::string::npos) {
        if_range = head.substr(at + 10, head.find("\r\n", at) - at - 10);
    }
    std::string body;
    std::string mime;
    bool first = false;
    bool changed = false;
    double live_s = 0;
    Plan plan;
    {
        std::lock_guard lock(mu_);
        first = !first_request_;
        plan.rate = !first && link_.rate_after_cut > 0 ? link_.rate_after_cut : link_.rate;
        plan.cut_after = first ? link_.cut_first_after : -1;
        if (link_.plan) {
            plan = link_.plan(static_cast<int>(requests_.size()));
        }
        first_request_ = first_request_.value_or(Clock::now());
        live_s = std::chrono::duration<double>(Clock::now() - *first_request_).count();
        requests_.push_back(request);
        changed = first_cut_ && link_.resume == Resume::FileChanged;
        auto it = files_.find(changed ? std::string(path) + "~2" : std::string(path));
        if (it != files_.end()) {
            body.assign(it->second.first.begin(), it->second.first.end());
            mime = it->second.second;
        }
    }
    if (plan.refuse) {
        cut(fd);
        return;
    }
    for (auto until = Clock::now() + std::chrono::duration<double>(plan.stall_s);
         Clock::now() < until && !stop_.load();) {
        std::this_thread::sleep_for(kTick);
    }
    if ((body.empty() && !link_.redirects.contains(path)) || plan.status != 200) {
        const std::string status =
            body.empty() ? "404 Not Found" : std::to_string(plan.status) + " No";
        const std::string answer =
            "HTTP/1.1 " + status + "\r\nContent-Length: 0\r\nConnection: close\r\n\r\n";
        send_all(fd, answer.data(), answer.size());
        ::close(fd);
        return;
    }
    if (const auto to = link_.redirects.find(path); to != link_.redirects.end()) {
        const std::string answer = "HTTP/1.1 302 Found\r\nLocation: " + to->second +
                                   "\r\nContent-Length: 0\r\nConnection: close\r\n\r\n";
        send_all(fd, answer.data(), answer.size());
        ::close(fd);
        return;
    }
    if (plan.ignore_range) {
        from = -1;
    }
    const auto size = static_cast<std::int64_t>(body.size());
    const bool station = link_.body == Body::Icy || link_.body == Body::FakeLength;
    const bool chunked = link_.body == Body::Chunked || link_.body == Body::ChunkedRanged;
    const bool ranged = link_.body == Body::Ranged || link_.body == Body::ChunkedRanged;
    std::int64_t at = ranged && from > 0 && from < size ? from : 0;
    const std::string etag = changed ? "\"2\"" : "\"1\"";
    if (station) {
        at = std::min(size, static_cast<std::int64_t>(live_s * link_.live_rate));
        at -= at % link_.frame_bytes;
    } else if (at > 0 && link_.resume == Resume::EarlierStart) {
        at = std::max<std::int64_t>(0, at - 4096);
    } else if (!if_range.empty() && if_range != etag) {
        at = 0;
    }
    std::string answer = link_.body == Body::Icy ? "ICY 200 OK\r\nicy-name: link\r\n"
                         : at > 0 && !station    ? "HTTP/1.1 206 Partial Content\r\n"
                                                 : "HTTP/1.1 200 OK\r\n";
    const std::int64_t metaint = link_.body == Body::Icy ? link_.icy_metaint : 0;
    if (metaint > 0) {
        answer += "icy-metaint: " + std::to_string(metaint) + "\r\n";
    }
    answer += "Content-Type: " + mime + "\r\nConnection: close\r\n";
    if (chunked) {
        answer += "Transfer-Encoding: chunked\r\n";
    } else if (link_.body == Body::FakeLength) {
        answer += "Content-Length: 2147483647\r\n";
    } else if (link_.body != Body::Icy) {
        answer += "Content-Length: " + std::to_string(size - at) + "\r\n";
    }
    if (ranged) {
        answer += "Accept-Ranges: bytes\r\n";
    }
    if (link_.body == Body::Ranged) {
        answer += "ETag: " + etag + "\r\n";
    }
    if (at > 0 && !station && link_.resume != Resume::NoContentRange) {
        answer += "Content-Range: bytes " + std::to_string(at) + "-" + std::to_string(size - 1) +
                  "/" + std::to_string(size) + "\r\n";
    }
    answer += "\r\n";
    if (!send_all(fd, answer.data(), answer.size())) {
        ::close(fd);
        return;
    }
    const std::int64_t cut_at = plan.cut_after >= 0 ? at + plan.cut_after : size;
    const double rate = plan.rate;
    // A token bucket of at most one tick's bytes: no burst after a stall.
    double tokens = 0;
    std::int64_t since_block = 0;
    auto last = Clock::now();
    while (at < size && !stop_.load()) {
        if (at >= cut_at) {
            std::lock_guard lock(mu_);
            first_cut_ = true;
            cut(fd);
            return;
        }
        std::this_thread::sleep_for(kTick);
        const auto now = Clock::now();
        if (down()) {
            if (link_.outage == Outage::CutAndRefuse) {
                cut(fd);
                return;
            }
            last = now;
            continue;
        }
        tokens = std::min(tokens + rate * std::chrono::duration<double>(now - last).count(),
                          std::max(rate * 0.05, 1.0));
        last = now;
        const auto n = static_cast<std::int64_t>(
            std::min<double>(tokens, static_cast<double>(std::min(size, cut_at) - at)));
        if (n <= 0) {
            continue;
        }
        tokens -= static_cast<double>(n);
        std::string piece(body.data() + at, static_cast<std::size_t>(n));
        if (chunked) {
            char len[32];
            std::snprintf(len, sizeof len, "%llx\r\n", static_cast<unsigned long long>(n));
            piece = len + piece + "\r\n";
        } else if (metaint > 0) {
            piece = with_icy_blocks(piece, since_block, metaint);
        }
        if (!send_all(fd, piece.data(), piece.size())) {
            ::close(fd);
            return;
        }
        at += n;
    }
    if (chunked) {
        send_all(fd, "0\r\n\r\n", 5);
    }
    ::close(fd);
}

}  // namespace rvtest
