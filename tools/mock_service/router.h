// The one mechanism every endpoint group plugs into: it applies the fault
// switches, checks method, scheme, signature and user token, wraps handler
// results in the envelope, and writes bodies (with byte ranges and cuts).
#pragma once

#include <httplib.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "envelope.h"
#include "json.h"
#include "mock_service.h"
#include "query.h"

namespace rvmock {

struct Context;

enum class Method { Get, Post, Delete };

enum class Guard {
    Signed,      // the common block's signature must check out
    ServerTime,  // unsigned; a signature that is present must still check out
    Https,       // signed, and refused over plain HTTP
    AuthUser,    // signed, HTTPS only, and a valid open_uid + access_token
};

// What an endpoint handler sees of one request.
struct Call {
    const httplib::Request &req;
    Query query;
    bool https = false;
    std::string media_base;  // "http://<host the client used>:<HTTP port>"
    std::string user;        // the open uid, for AuthUser endpoints

    // A decimal parameter; a missing or malformed one is a 40000 error.
    int64_t int_param(const char *key) const;
    int64_t int_param_or(const char *key, int64_t fallback) const;
    std::string text(const char *key) const { return query.text(key); }
    // The device id of the common block (its last occurrence); 40000 when absent.
    std::string device() const;
};

// What an endpoint handler returns: the "result" member and any other
// top-level members, or a redirect instead of a body.
struct Answer {
    Json result;
    Json extras;  // an object whose members are added beside "result", or null
    std::string redirect;
};

using ApiHandler = std::function<Answer(const Call &)>;
// Raw routes (media, live streams, reports) write their own response; a cut
// fault arrives as the number of body bytes to send before closing (SIZE_MAX: no cut).
using RawHandler =
    std::function<void(const httplib::Request &, httplib::Response &, size_t cut_after)>;
// Control routes ("/__mock/...") are never subject to faults.
using ControlHandler = std::function<void(const httplib::Request &, httplib::Response &)>;

class Router {
  public:
    explicit Router(Context &context) : context_(context) {}

    void api(const std::string &path, Method method, Guard guard, ApiHandler handler);
    // `pattern` is a regular expression over the path.
    void raw(const std::string &pattern, Method method, RawHandler handler);
    void control(const std::string &pattern, Method method, ControlHandler handler);

    // Keeps an object the handlers point into alive as long as the routes.
    void keep(std::shared_ptr<void> object) { kept_.push_back(std::move(object)); }

    // Registers every route on one listener.
    void install(httplib::Server &server, bool https) const;

  private:
    struct ApiRoute {
        std::string path;
        Method method;
        Guard guard;
        ApiHandler handler;
    };
    struct RawRoute {
        std::string pattern;
        Method method;
        RawHandler handler;
    };
    struct ControlRoute {
        std::string pattern;
        Method method;
        ControlHandler handler;
    };

    void serve_api(const ApiRoute &route, bool https, const httplib::Request &req,
                   httplib::Response &res) const;
    Json answer_api(const ApiRoute &route, bool https, const httplib::Request &req,
                    httplib::Response &res) const;
    // Applies the delay and the answer-replacing kinds; true when the fault
    // already answered (or dropped) the request.
    bool fault_answered(const std::optional<Fault> &fault, const httplib::Request &req,
                        httplib::Response &res) const;

    Context &context_;
    std::vector<ApiRoute> api_routes_;
    std::vector<RawRoute> raw_routes_;
    std::vector<ControlRoute> control_routes_;
    std::vector<std::shared_ptr<void>> kept_;
};

// The query text after the first "?" of the request target, undecoded.
std::string raw_query(const httplib::Request &req);
// Sends `body` with its full length announced; honours a single byte range;
// closes the connection after `cut_after` body bytes.
void send_bytes(httplib::Response &res, std::shared_ptr<const std::string> body,
                const std::string &content_type, size_t cut_after);
// Sends a file as send_bytes does, with Accept-Ranges and a strong ETag made from its
// bytes; an If-Range that does not name that ETag gets the whole file (the router
// applies it once the handler returned).
void send_file(httplib::Response &res, std::shared_ptr<const std::string> body,
               const std::string &content_type, size_t cut_after);
void send_json(httplib::Response &res, const cJSON *body, size_t cut_after);
// A 1x1 GIF: the answer to reports (never read by clients) and to pictures.
std::shared_ptr<const std::string> pixel_gif();
// Closes the request's connection without an answer.
void drop_connection(const httplib::Request &req);

}  // namespace rvmock
