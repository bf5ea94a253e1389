// A local stand-in for the radio service: the open API over HTTP and HTTPS, the
// report host, media files and live streams. Tests start it in-process on ports
// chosen by the OS; the rv-mock-service binary wraps the same class.
//
// Threads: start() runs each listener on its own thread with a pool of handler
// threads behind it. Every public member may be called from any thread; none
// blocks for long except start() (binds and loads fixtures) and stop() (joins the
// listeners, waking delayed answers and live streams first).
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace rvmock {

struct Config {
    std::string appid = "rv-test-app";      // the app id the service accepts
    std::string secret = "rv-test-secret";  // its secret key (signature check)
    // Empty: the installed fixtures (share/radio_sdk/mock_service/ beside the
    // program's bin/), else the source tree's.
    std::string fixtures_dir;
    // ca.pem, server.pem and server.key to serve HTTPS with. Empty: those the
    // service makes for itself in `data_dir`/certs at its first start
    // (certificates.h), or without a data_dir the build tree's test certificates.
    std::string cert_dir;
    // Where the service keeps what it makes (its certificates).
    std::string data_dir;
    uint16_t http_port = 0, https_port = 0;  // 0: chosen by the OS
    int qr_confirm_polls = 3;                // qrcheck polls before "confirmed"
    bool short_programmes = false;           // programmes last a few seconds
    std::string host = "127.0.0.1";          // address both listeners bind to ("0.0.0.0": all)
};

// A fault switched on for one path (exact path, or a prefix ending in "*").
// The delay comes first; then the kind decides what the answer looks like.
struct Fault {
    enum class Kind {
        None,       // answer normally (after the delay)
        Malformed,  // a body that is not valid JSON
        Error,      // the error envelope {"errcode": errcode, "errmsg": errmsg}
        Drop,       // close the connection without sending a byte
        Oversize,   // the normal answer padded to `bytes` bytes (still valid JSON)
        Cut,        // announce the full length, send `bytes` bytes of the body, close
        Retype,     // every member named `field` of the answer gets a value of another type
        Strip,      // every member named `field` of the answer is left out
        Status,     // HTTP `status` with the error envelope, and Retry-After when set
        Stall,      // raw paths: send `bytes` bytes of the body, then nothing until the
                    // client leaves or the service stops
        NoIfRange,  // raw paths: a Range is answered whatever If-Range says, as by a
                    // host that does not know If-Range
    };
    Kind kind = Kind::None;
    int delay_ms = 0;
    std::string errcode = "50600";
    std::string errmsg = "fault injected";
    size_t bytes = 0;
    std::string field = "";  // Retype, Strip: the member name, at any depth ("result" too)
    int times = 0;           // requests affected; 0 = every request until cleared
    int status = 503;        // Status: the HTTP status
    int retry_after = -1;    // Status: Retry-After in seconds; -1 = no header
};

// One request received on the report path "/c.gif".
struct Report {
    std::string query;                                        // raw query text as received
    std::vector<std::pair<std::string, std::string>> params;  // decoded, in order (keys repeat)
    bool signature_ok = false;  // the common block's signature checked out
    int64_t time_ms = 0;        // arrival, milliseconds since the epoch

    // The first value of `key`, or "" when absent.
    std::string value(const std::string &key) const;
    bool has(const std::string &key) const;
};

// One open-API request as the service received it (before any fault).
struct Received {
    std::string scheme;  // "http" or "https"
    std::string method;  // "GET", "POST", "HEAD"
    std::string path;
    std::string query;     // raw text after the first "?", undecoded
    std::string range;     // media requests: the Range header as sent ("" without one)
    std::string if_range;  // media requests: the If-Range header as sent ("" without one)
};

class Service {
  public:
    explicit Service(Config config = {});
    ~Service();  // stops
    Service(const Service &) = delete;
    Service &operator=(const Service &) = delete;

    // Loads the fixtures, binds both ports and starts serving. False (with a
    // reason on stderr) when the fixtures or certificates cannot be loaded or a
    // port cannot be bound. A service starts once; true again when running.
    // Ignores SIGPIPE process-wide: dropped connections must not kill the host
    // process.
    bool start();
    // Stops both listeners; open live streams and delayed answers end at once.
    // Safe to call twice.
    void stop();

    std::string http_url() const;   // "http://127.0.0.1:<port>"
    std::string https_url() const;  // "https://127.0.0.1:<port>"
    std::string ca_file() const;    // the CA that signed the HTTPS certificate

    // Makes the media file or live stream at `path` ready to be served at once:
    // media are encoded on their first request, for seconds on a slow or
    // emulated board, during which a player hears nothing. Call it before
    // setting a fault on the path (it would take one use). True when the
    // service sent bytes for it.
    bool prepare_media(const std::string &path);

    // From now on the file at `path` is another version of itself, as when the
    // service's content changes: the same length, every byte changed (so it no
    // longer plays), and so another ETag. Call it with no fault on the path.
    // Returns the new bytes; "" (nothing changed) when the path served no file.
    std::string revise_media(const std::string &path);

    void set_fault(const std::string &path, const Fault &fault);  // same as POST /__mock/faults
    void clear_faults();                                          // same as DELETE /__mock/faults
    std::vector<Report> reports() const;                          // same as GET /__mock/reports
    void clear_reports();                                         // same as DELETE /__mock/reports
    std::vector<Received> requests() const;  // open-API requests, in arrival order
    void clear_requests();
    // Requests of the raw paths (media files, live streams, the report path), in arrival
    // order; clear_requests clears them too.
    std::vector<Received> media_requests() const;
    // The last enveloped open-API answer sent for `path` without a fault, as
    // printed; "" when none was.
    std::string last_answer(const std::string &path) const;

    struct State;

  private:
    std::unique_ptr<State> state_;
};

}  // namespace rvmock
