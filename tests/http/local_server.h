// In-process servers for transport tests and benchmarks, on OS-chosen ports.
//
// LocalServer answers over HTTP or HTTPS (the build tree's test certificate):
//   GET  /bytes/<n>       n bytes of the pattern body_pattern(n)
//   GET  /empty, POST /empty   an empty 200 answer
//   GET  /echo...         the request target (path and query) as the body
//   POST /echo            the request body
//   GET  /redirect/<n>    302 to /redirect/<n-1>; /redirect/0 answers "final"
//   GET  /redirect-to?url=<u>  302 to <u>
//   GET  /authorize       302 to /callback?code=GRANT-SECRET&state=7 (answers "ok")
//   GET  /huge/<n>        n bytes, sent chunked (no length known in advance)
//   GET  /json            a JSON body with credentials, for log masking checks
// Every request is recorded. SilentServer accepts connections and never answers.
#ifndef RV_TESTS_HTTP_LOCAL_SERVER_H
#define RV_TESTS_HTTP_LOCAL_SERVER_H

#include <cstddef>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace rv::test {

struct RecordedRequest {
    std::string method;
    std::string target;  // path and query exactly as sent
    std::string body;
    std::multimap<std::string, std::string> headers;
    int remote_port = 0;
};

// The body served by /bytes/<n> and /huge/<n>: letters a..z repeated.
std::string body_pattern(size_t n);

class LocalServer {
  public:
    // Serves on `host` (an address of this machine); HTTPS when `tls`.
    explicit LocalServer(bool tls = false, const std::string &host = "127.0.0.1");
    ~LocalServer();
    LocalServer(const LocalServer &) = delete;
    LocalServer &operator=(const LocalServer &) = delete;

    int port() const;
    // Scheme, host and port followed by `path`.
    std::string url(const std::string &path) const;
    std::vector<RecordedRequest> requests() const;
    // Number of distinct client connections seen so far.
    size_t connections() const;

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

class SilentServer {
  public:
    SilentServer();
    ~SilentServer();
    SilentServer(const SilentServer &) = delete;
    SilentServer &operator=(const SilentServer &) = delete;

    int port() const;
    std::string url(const std::string &path, bool tls = false) const;
    // Blocks until `n` connections were accepted or `seconds` passed; returns the count.
    size_t wait_accepted(size_t n, int seconds) const;

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// Path of a file of the build tree's test TLS material (ca.pem, other-ca.pem, ...).
std::string cert_file(const char *name);

}  // namespace rv::test

#endif
