// Real live-radio servers for the playback tests and the start-time bench: an Icecast 2
// server on a free port with a generated configuration, sources fed by the ffmpeg
// command-line tool from its sine generator, and a live HLS stream written by ffmpeg's hls
// muxer and served by a static HTTP server. Each object owns its processes and files and
// ends them when destroyed. Failures to start throw std::runtime_error.
#ifndef TESTS_ORVELLAPLAYER_LIVE_SERVERS_H
#define TESTS_ORVELLAPLAYER_LIVE_SERVERS_H

#include <httplib.h>
#include <sys/types.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

namespace rvtest {

// A child process, ended with SIGTERM (then SIGKILL) when destroyed.
class ChildProcess {
  public:
    // argv[0] is looked up in PATH; its output goes to `log_path` (or nowhere when empty).
    explicit ChildProcess(const std::vector<std::string> &argv, const std::string &log_path = "");
    ~ChildProcess();
    ChildProcess(const ChildProcess &) = delete;
    ChildProcess &operator=(const ChildProcess &) = delete;

    pid_t pid() const { return pid_; }
    bool running();

  private:
    pid_t pid_ = -1;
};

// A temporary directory, removed with its content.
class TempDir {
  public:
    explicit TempDir(const std::string &prefix);
    ~TempDir();
    TempDir(const TempDir &) = delete;
    TempDir &operator=(const TempDir &) = delete;
    const std::string &path() const { return path_; }

  private:
    std::string path_;
};

class IcecastServer {
  public:
    IcecastServer();  // returns once the server accepts connections
    ~IcecastServer();
    IcecastServer(const IcecastServer &) = delete;
    IcecastServer &operator=(const IcecastServer &) = delete;

    int port() const { return port_; }
    // Listener URL of `mount` ("/name.ext").
    std::string url(const std::string &mount) const;
    // Where a source publishes `mount` (ffmpeg's icecast protocol).
    std::string source_url(const std::string &mount) const;
    // True once `mount` is on air (a listener request answers 200).
    bool wait_on_air(const std::string &mount, std::chrono::milliseconds timeout) const;

  private:
    TempDir dir_{"rv-icecast"};
    int port_ = 0;
    std::unique_ptr<ChildProcess> process_;
};

enum class LiveCodec { Mp3, Aac, Vorbis };

// Content-Type a source announces for the codec, and the mount extension used with it.
const char *content_type(LiveCodec codec);
const char *extension(LiveCodec codec);

// ffmpeg encoding a sine tone (at `rate` Hz) in real time into an Icecast mount, until
// destroyed.
class IcecastSource {
  public:
    IcecastSource(const IcecastServer &server, const std::string &mount, LiveCodec codec, double hz,
                  int rate = 44100);

  private:
    ChildProcess process_;
};

// ffmpeg's hls muxer writing a live AAC tone (1 s segments, a window of 4, older segments
// deleted) into a directory served over HTTP, playlist as application/vnd.apple.mpegurl.
class HlsLive {
  public:
    explicit HlsLive(double hz);
    ~HlsLive();
    HlsLive(const HlsLive &) = delete;
    HlsLive &operator=(const HlsLive &) = delete;

    std::string url() const;  // the playlist
    // True once the playlist lists at least `segments` segments.
    bool wait_segments(int segments, std::chrono::milliseconds timeout) const;

  private:
    TempDir dir_{"rv-hls"};
    std::unique_ptr<ChildProcess> encoder_;
    httplib::Server http_;
    int port_ = 0;
    std::thread thread_;
};

// A port on 127.0.0.1 that was free a moment ago.
int free_port();

}  // namespace rvtest

#endif
