// Local media servers for the playback tests, on OS-chosen ports:
//   /file/<name>   registered bytes with Content-Length and byte ranges
//   /live/<name>   an endless chunked stream of a registered ADTS file, sent in real time
//   /cut/<name>    as /live, but the first connection breaks off after `cut_after_s` of
//                  audio and the next ones answer only after `reconnect_delay_s`
//   /chunked/<name> registered bytes, chunked (no length), ending cleanly
//   /drop/<name>   as /file, but a request from the first byte breaks off halfway through
//   /plain/<name> registered bytes with Content-Length, without byte ranges (Range ignored)
//   /plaincut/<name> as /plain, but the first answer breaks off halfway through
//   /mz/<path>     registered bytes under the name "mz/<path>" (the demo's media path)
// plus a proxy route (absolute-URI requests for host "media.invalid") and a TCP port that
// accepts connections but never answers.
#ifndef TESTS_ORVELLAPLAYER_MEDIA_SERVER_H
#define TESTS_ORVELLAPLAYER_MEDIA_SERVER_H

#include <httplib.h>

#include <atomic>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace rvtest {

class MediaServer {
  public:
    MediaServer();
    ~MediaServer();
    MediaServer(const MediaServer &) = delete;
    MediaServer &operator=(const MediaServer &) = delete;

    // Must be called before the name is requested.
    void add(const std::string &name, std::vector<std::uint8_t> bytes, std::string mime);

    int port() const { return port_; }
    std::string url(const std::string &route, const std::string &name) const;

    double cut_after_s = 3.0;
    double reconnect_delay_s = 2.0;
    std::string cut_next;  // when set, the file that /cut/ answers after its first connection

    int requests(const std::string &path) const;  // how many requests asked for path
    std::string last_host_header() const;
    int connections_of(const std::string &prefix) const;

  private:
    void stream(const httplib::Request &req, httplib::Response &res, bool cut);
    void serve_file(const std::string &name, httplib::Response &res);
    void serve_plain(const httplib::Request &req, httplib::Response &res, bool cut);
    void serve_file_locked(const std::string &name, httplib::Response &res);  // mu_ held
    void record(const httplib::Request &req);

    httplib::Server server_;
    int port_ = 0;
    std::thread thread_;
    mutable std::mutex mu_;  // protects files_, hits_, host_, cut_connections_
    std::map<std::string, std::pair<std::vector<std::uint8_t>, std::string>> files_;
    std::map<std::string, int> hits_;
    std::string host_;
    int cut_connections_ = 0;
};

// A port that accepts TCP connections (in the kernel's backlog) and never answers.
class SilentServer {
  public:
    SilentServer();
    ~SilentServer();
    SilentServer(const SilentServer &) = delete;
    SilentServer &operator=(const SilentServer &) = delete;
    std::string url() const;

  private:
    int fd_ = -1;
    int port_ = 0;
};

// Splits an ADTS byte stream into its frames.
std::vector<std::vector<std::uint8_t>> adts_frames(const std::vector<std::uint8_t> &bytes);

}  // namespace rvtest

#endif
