#include "dns_resolver.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <random>
#include <vector>

namespace orv {
namespace {

constexpr int kPollSliceMs = 100;
constexpr int kTimeoutMs = 2000;

class Socket {
  public:
    Socket() : fd_(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0)) {}
    ~Socket() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    Socket(const Socket &) = delete;
    Socket &operator=(const Socket &) = delete;
    int fd() const { return fd_; }

  private:
    int fd_;
};

std::optional<sockaddr_in> parse_server(const std::string &server) {
    std::string ip = server;
    std::uint16_t port = 53;
    if (const auto colon = server.find(':'); colon != std::string::npos) {
        ip = server.substr(0, colon);
        const int p = std::atoi(server.c_str() + colon + 1);
        if (p <= 0 || p > 65535) {
            return std::nullopt;
        }
        port = static_cast<std::uint16_t>(p);
    }
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(port);
    if (inet_pton(AF_INET, ip.c_str(), &addr.sin_addr) != 1) {
        return std::nullopt;
    }
    return addr;
}

std::vector<std::uint8_t> build_query(std::uint16_t id, const std::string &host) {
    std::vector<std::uint8_t> q = {static_cast<std::uint8_t>(id >> 8),
                                   static_cast<std::uint8_t>(id & 0xff),
                                   0x01,
                                   0x00,  // recursion desired
                                   0,
                                   1,
                                   0,
                                   0,
                                   0,
                                   0,
                                   0,
                                   0};
    std::size_t start = 0;
    while (start <= host.size()) {
        std::size_t dot = host.find('.', start);
        if (dot == std::string::npos) {
            dot = host.size();
        }
        const std::size_t len = dot - start;
        if (len == 0 || len > 63) {
            return {};
        }
        q.push_back(static_cast<std::uint8_t>(len));
        q.insert(q.end(), host.begin() + static_cast<std::ptrdiff_t>(start),
                 host.begin() + static_cast<std::ptrdiff_t>(dot));
        start = dot + 1;
    }
    q.insert(q.end(), {0, 0, 1, 0, 1});  // root, type A, class IN
    return q;
}

// Skips a (possibly compressed) name; 0 when it runs past the end.
std::size_t skip_name(const std::uint8_t *p, std::size_t n, std::size_t at) {
    while (at < n) {
        const std::uint8_t len = p[at];
        if (len == 0) {
            return at + 1;
        }
        if ((len & 0xC0) == 0xC0) {
            return at + 2 <= n ? at + 2 : 0;
        }
        at += 1 + len;
    }
    return 0;
}

std::optional<std::string> parse_answer(const std::uint8_t *p, std::size_t n, std::uint16_t id) {
    auto u16 = [&](std::size_t at) { return static_cast<std::uint16_t>((p[at] << 8) | p[at + 1]); };
    if (n < 12 || u16(0) != id || (p[3] & 0x0F) != 0) {
        return std::nullopt;
    }
    std::size_t at = skip_name(p, n, 12);
    if (at == 0 || at + 4 > n) {
        return std::nullopt;
    }
    at += 4;
    for (unsigned i = 0, count = u16(6); i < count; ++i) {
        at = skip_name(p, n, at);
        if (at == 0 || at + 10 > n) {
            return std::nullopt;
        }
        const std::uint16_t type = u16(at);
        const std::uint16_t rdlen = u16(at + 8);
        at += 10;
        if (at + rdlen > n) {
            return std::nullopt;
        }
        if (type == 1 && rdlen == 4) {
            char text[INET_ADDRSTRLEN] = {};
            inet_ntop(AF_INET, p + at, text, sizeof text);
            return std::string(text);
        }
        at += rdlen;
    }
    return std::nullopt;
}

}  // namespace

std::optional<std::string> query_ipv4(const std::string &server, const std::string &host,
                                      const std::atomic<bool> &abort) {
    const auto addr = parse_server(server);
    std::random_device rd;
    const auto id = static_cast<std::uint16_t>(rd());
    const auto query = build_query(id, host);
    Socket sock;
    if (!addr || query.empty() || sock.fd() < 0 ||
        ::connect(sock.fd(), reinterpret_cast<const sockaddr *>(&*addr), sizeof *addr) != 0 ||
        ::send(sock.fd(), query.data(), query.size(), 0) < 0) {
        return std::nullopt;
    }
    std::uint8_t answer[1500];
    for (int waited = 0; waited < kTimeoutMs && !abort.load(); waited += kPollSliceMs) {
        pollfd pfd{sock.fd(), POLLIN, 0};
        if (::poll(&pfd, 1, kPollSliceMs) <= 0) {
            continue;
        }
        const ssize_t got = ::recv(sock.fd(), answer, sizeof answer, 0);
        if (got <= 0) {
            return std::nullopt;
        }
        if (auto ip = parse_answer(answer, static_cast<std::size_t>(got), id)) {
            return ip;
        }
    }
    return std::nullopt;
}

}  // namespace orv
