// An HTTP server on an OS-chosen port that answers each path with the body a
// test scripts for it, and records every request exactly as sent. Paths
// without a script get an error envelope with errcode "40400".
#ifndef RV_TESTS_REQUEST_SCRIPTED_SERVER_H
#define RV_TESTS_REQUEST_SCRIPTED_SERVER_H

#include <memory>
#include <string>
#include <vector>

namespace rv::test {

struct SeenRequest {
    std::string method;
    std::string target;  // path and query, byte for byte
    std::string body;
};

class ScriptedServer {
  public:
    ScriptedServer();
    ~ScriptedServer();
    ScriptedServer(const ScriptedServer &) = delete;
    ScriptedServer &operator=(const ScriptedServer &) = delete;

    // "http://127.0.0.1:<port>".
    std::string url() const;
    // Answers GET and POST of `path` (without query) with `body` from now on,
    // after waiting `delay_ms`.
    void script(const std::string &path, const std::string &body, int delay_ms = 0);
    std::vector<SeenRequest> requests() const;
    // The requests whose path (the target up to "?") is `path`.
    std::vector<SeenRequest> requests_to(const std::string &path) const;
    void clear_requests();

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace rv::test

#endif
