// A media server behind a poor mobile link, for the read-ahead tests and benchmarks: every
// answer is paced to `rate` bytes per second, and for `outage_s` seconds from `outage_at_s`
// after its first request the link is gone: connections stall (held open, silent) or are cut
// and new ones refused. Files are served with a length and byte ranges, or without ranges,
// or chunked (no length), or as a station (a SHOUTcast `ICY 200 OK` answer, or a relay's
// fake length) whose body starts where its live clock stands. The first answer may break off
// after a number of bytes, and every later connection may be refused. Plain sockets, an
// OS-chosen port, one thread per connection.
#ifndef TESTS_ORVELLAPLAYER_LINK_SERVER_H
#define TESTS_ORVELLAPLAYER_LINK_SERVER_H

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace rvtest {

class LinkServer {
  public:
    enum class Outage { Stall, CutAndRefuse };
    // Icy: "ICY 200 OK", icy-name, close-delimited. FakeLength: "Content-Length:
    // 2147483647", no ranges. Both send from the live clock (seconds since the first
    // request times `live_rate`, in bytes per second) and ignore Range.
    // ChunkedRanged: chunked, but Accept-Ranges and Range answered with a 206.
    enum class Body { Ranged, NoRanges, Chunked, ChunkedRanged, Icy, FakeLength };
    // How a resumed request (Range) is answered: as asked; a 206 from 4 KiB before the byte
    // asked for; a 206 without Content-Range; or, the file having changed after the cut
    // (another ETag), the new file's part, or its whole when If-Range names the old one.
    enum class Resume { AsAsked, EarlierStart, NoContentRange, FileChanged };
    // What one connection does.
    struct Plan {
        double rate = 0;              // bytes per second
        std::int64_t cut_after = -1;  // body bytes sent before the connection is cut
        double stall_s = 0;           // silent this long before answering
        bool refuse = false;          // cut at once
        bool ignore_range = false;    // the whole body, whatever was asked
        int status = 200;             // another: that status, without a body
    };
    struct Link {
        double rate = 96 * 1024;  // bytes per second
        double outage_at_s = -1;  // < 0: no outage
        double outage_s = 0;
        Outage outage = Outage::Stall;
        Body body = Body::Ranged;
        std::int64_t cut_first_after = -1;  // the first answer breaks off after these bytes
        bool refuse_after_first = false;    // every connection after the first is cut at once
        double rate_after_cut = 0;          // > 0: every later connection's rate
        Resume resume = Resume::AsAsked;    // Ranged only; the changed file is "<name>~2"
        double live_rate = 0;               // Icy and FakeLength: the live clock's bytes/s
        std::int64_t frame_bytes = 1;       // ... which sends whole frames of this size
        std::int64_t icy_metaint = 0;       // Icy: announced, an empty block after this many bytes
        std::map<std::string, std::string> redirects;  // path: where a 302 sends it
        // Decides each connection (numbered from 0) instead of the fields above.
        std::function<Plan(int connection)> plan;
    };
    struct Request {
        std::string path;
        std::int64_t range_from = -1;  // -1: no Range header
    };

    explicit LinkServer(Link link);
    ~LinkServer();
    LinkServer(const LinkServer &) = delete;
    LinkServer &operator=(const LinkServer &) = delete;

    // Before the name is requested.
    void add(const std::string &name, std::vector<std::uint8_t> bytes, std::string mime);
    std::string url(const std::string &name) const;
    std::vector<Request> requests() const;

  private:
    using Clock = std::chrono::steady_clock;
    void accept_loop();
    void serve(int fd);
    // Whether the link is down now (the outage clock starts at the first request).
    bool down() const;
    bool refusing() const;
    bool send_all(int fd, const char *data, std::size_t n);

    const Link link_;
    int listen_fd_ = -1;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    mutable std::mutex mu_;  // protects files_, requests_, first_request_, threads_
    std::map<std::string, std::pair<std::vector<std::uint8_t>, std::string>> files_;
    std::vector<Request> requests_;
    std::optional<Clock::time_point> first_request_;
    bool first_cut_ = false;  // the first answer broke off
    std::vector<std::thread> threads_;
    std::thread acceptor_;
};

}  // namespace rvtest

#endif
