// Our own network input: one HTTP(S) resource fetched ahead of the reader into a bounded
// buffer on a thread of its own (libcurl's multi interface), resumed at the byte it lacks
// when the transfer breaks, and given up at once when its owner is done with it.
#ifndef ORV_FETCHER_H
#define ORV_FETCHER_H

extern "C" {
#include <libavformat/avio.h>
}

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "now_playing.h"

namespace orv {

constexpr std::int64_t kDefaultReadAheadBytes = 8 << 20;
// The read-ahead's byte bound is kept within these, whatever is asked (a 4 GiB bound
// would not fit a 32-bit size and read as none: no room, a prepare waiting for ever).
constexpr std::int64_t kMinReadAheadBytes = 64 << 10;
constexpr std::int64_t kMaxReadAheadBytes = 256 << 20;
constexpr int kDefaultReadAheadSeconds = 240;
// How long the engine keeps trying without a byte coming: a fetch that wants bytes gives
// up with AVERROR(ETIMEDOUT) after it (whatever the phase: opening, playing, paused after
// a seek), and a live source is reconnected for as long.
constexpr std::chrono::seconds kGiveUpAfter{30};

struct FetchOptions {
    std::string url;
    std::string proxy;       // "http://host:port" or empty
    std::string ca_file;     // PEM bundle; empty: the system's store
    std::string dns_server;  // "a.b.c.d[:port]": the URL's host is asked of it; empty: system
    std::int64_t max_bytes = kDefaultReadAheadBytes;  // the buffer's bound
};

// The one rule for every URL the engine fetches (play URLs, prefetches, playlist entries,
// segments, keys): an absolute http or https URL, the scheme in any case, as libcurl
// parses it. Any thread.
bool fetchable_url(std::string_view url);

// What the server said in its first answer.
struct FetchHead {
    std::int64_t size = -1;  // the resource's length; -1 unknown (live, chunked, close-delimited)
    bool ranges = false;     // it answers Range requests with 206 (or says it would)
    bool no_ranges = false;  // it said it does not, or answered one with the whole body
    bool icy = false;        // it sent icy- headers (a SHOUTcast/Icecast station)
    std::string mime_type;
    std::string location;  // the URL it was fetched from, after redirects
};

class Fetcher {
  public:
    // Starts fetching at once. Only http:// and https:// are fetched (redirects included).
    explicit Fetcher(FetchOptions options);
    // Abandons the transfer and a name lookup in flight without waiting for either.
    ~Fetcher();
    Fetcher(const Fetcher &) = delete;
    Fetcher &operator=(const Fetcher &) = delete;

    // The reader's side, for one reader thread at a time. Every wait polls `interrupt`
    // (null: none) about every 20 ms and ends with AVERROR_EXIT when it says so.

    // 0 once the first answer's head is in (head() then holds it), or an AVERROR; `why`
    // gets libcurl's or the server's reason for a failure.
    int wait_head(const AVIOInterruptCB *interrupt, std::string *why = nullptr);
    FetchHead head() const;
    // Up to `size` bytes at the read position: > 0, AVERROR_EOF at the end, or an AVERROR.
    int read(std::uint8_t *buf, int size, const AVIOInterruptCB *interrupt);
    // New read position, or AVERROR(EINVAL) (a source without a length seeks only within
    // what is buffered). A target outside the buffer drops it and fetches from there.
    std::int64_t seek(std::int64_t pos);
    std::int64_t position() const;

    // Bytes of the source in hand from its start or the last seek target: the download
    // progress. Equal to head().size once the whole of a sized source is fetched.
    std::int64_t fetched() const;
    bool complete() const;
    // The source cannot be had (its first answer failed, or a resume was refused).
    bool failed() const;
    // The transfer of a source without a length ended with the server's own end of body
    // (final chunk or close), not broken off.
    bool ended_cleanly() const;
    // A new bound for the buffer (for example once the bit rate tells what 4 minutes are).
    void set_limit(std::int64_t max_bytes);
    std::size_t buffered_bytes() const;
    // When the last byte came (or the fetch began, was sent elsewhere, or found room).
    std::chrono::steady_clock::time_point progress_at() const;
    // The ICY titles (the server's icy-metaint blocks, taken out of the body) whose audio
    // starts at or before byte `upto` of the source, in order; each is handed out once.
    std::vector<NowPlaying> take_now_playing(std::int64_t upto);

  private:
    struct Transfer;
    enum class End { None, Clean, Broken, Failed };
    enum class Tail { None, Wanted, Fetching, Ready, Failed };

    void run();
    // Fetcher thread; mu_ held where the name says so.
    bool start_transfer(Transfer &t);
    bool finish_transfer(Transfer &t, int curl_code);
    void finish_tail(Transfer &t, int curl_code);
    void take_head_locked(Transfer &t, long status);
    // Whether a resumed answer continues the file of the first answer.
    bool same_source_locked(const Transfer &t, long status, std::int64_t length) const;
    bool make_room_locked();
    // Ends a fetch that wants bytes and got none for kGiveUpAfter.
    void give_up_if_stuck_locked();
    std::int64_t window_end_locked() const {
        return window_start_ + static_cast<std::int64_t>(window_.size());
    }

    static std::size_t on_header(char *data, std::size_t size, std::size_t n, void *opaque);
    static std::size_t take_header(Transfer &t, const char *data, std::size_t bytes);
    static std::size_t on_write(char *data, std::size_t size, std::size_t n, void *opaque);
    // The body's bytes as the server sent them; ICY metadata blocks are taken out here,
    // before deliver(), which gets the audio and where each title's audio starts.
    std::size_t on_body(Transfer &t, const char *data, std::size_t n);
    std::size_t deliver(Transfer &t, const char *data, std::size_t n,
                        std::span<IcyStripper::Mark> marks);
    bool wait_locked(std::unique_lock<std::mutex> &lock, const AVIOInterruptCB *interrupt);

    const FetchOptions options_;
    void *multi_ = nullptr;  // CURLM*, fetcher thread (curl_multi_wakeup from any thread)
    // The source's "host:port:addresses" for CURLOPT_RESOLVE, empty when libcurl connects
    // as given; unset until looked up. Fetcher thread.
    std::optional<std::string> pinned_;

    // Protects everything below up to thread_; the fetcher thread fills, readers take.
    mutable std::mutex mu_;
    std::condition_variable cv_;  // data, head, end or failure came
    bool stop_ = false;
    std::int64_t max_bytes_;
    std::deque<std::uint8_t> window_;  // source bytes [window_start_, window_end)
    std::int64_t window_start_ = 0;
    std::int64_t read_pos_ = 0;
    std::deque<std::pair<std::int64_t, NowPlaying>> icy_marks_;  // source byte, title
    std::uint64_t restart_ = 0;  // bumped by a seek outside the window
    bool head_ready_ = false;
    FetchHead head_;
    std::string etag_;       // of the first answer
    std::string validator_;  // its strong ETag, else Last-Modified: a resume's If-Range
    int failed_ = 0;         // AVERROR once the source cannot be had
    std::string why_;
    End end_ = End::None;
    bool paused_ = false;   // the transfer waits for room
    bool flowing_ = false;  // the body is coming (the window's transfer brought bytes)
    std::chrono::steady_clock::time_point progress_at_;
    // The source's last bytes, fetched apart when a reader looks there (see seek()).
    std::vector<std::uint8_t> tail_;
    std::int64_t tail_start_ = 0;
    Tail tail_state_ = Tail::None;
    std::uint64_t tail_generation_ = 0;
    bool in_tail_ = false;  // the reader is at tail_pos_ in tail_, read_pos_ kept
    std::int64_t tail_pos_ = 0;
    bool end_via_window_ = false;  // the reader waits in the window for the end it looked at

    std::atomic<bool> abort_{false};  // read by the name lookup on the fetcher thread
    std::thread thread_;              // last member
};

// FFmpeg 5 looks for options on an AVIOContext's opaque as if it were a class: our readers
// give it this, whose first member is an AVClass without options.
struct IoOpaque {
    const AVClass *cls;
    void *self;
};
IoOpaque io_opaque(void *self);

// An FFmpeg reader over a Fetcher (as MemoryIo is over bytes in memory). Sources with a
// length are seekable; with a server without ranges FFmpeg is told they are not, so that
// probes of the file's end do not re-read it whole.
class FetchIo {
  public:
    // Waits for the head; null with *error set when the source cannot be had.
    static std::unique_ptr<FetchIo> open(std::unique_ptr<Fetcher> fetcher,
                                         const AVIOInterruptCB &interrupt, int *error,
                                         std::string *why);
    ~FetchIo();
    FetchIo(const FetchIo &) = delete;
    FetchIo &operator=(const FetchIo &) = delete;

    AVIOContext *get() const { return io_; }
    Fetcher &fetcher() const { return *fetcher_; }

  private:
    FetchIo(std::unique_ptr<Fetcher> fetcher, const AVIOInterruptCB &interrupt);
    static int read(void *opaque, std::uint8_t *buf, int size);
    static std::int64_t seek(void *opaque, std::int64_t offset, int whence);

    IoOpaque opaque_;
    std::unique_ptr<Fetcher> fetcher_;
    AVIOInterruptCB interrupt_;
    AVIOContext *io_ = nullptr;
};

}  // namespace orv

#endif
