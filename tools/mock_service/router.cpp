#include "router.h"

#include <arpa/inet.h>
#include <dirent.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <string_view>

#include "context.h"
#include "signature.h"

namespace rvmock {

namespace {

constexpr const char *kMalformedBody = "{\"result\":[{\"id\":";

std::string media_base_for(const httplib::Request &req, uint16_t http_port) {
    std::string host = req.get_header_value("Host");
    size_t colon = host.rfind(':');
    if (colon != std::string::npos && host.find(']', colon) == std::string::npos) {
        host.erase(colon);
    }
    if (host.empty()) {
        host = "127.0.0.1";
    }
    return "http://" + host + ":" + std::to_string(http_port);
}

bool method_matches(Method method, const httplib::Request &req) {
    switch (method) {
        case Method::Get:
            return req.method == "GET" || req.method == "HEAD";
        case Method::Post:
            return req.method == "POST";
        case Method::Delete:
            return req.method == "DELETE";
    }
    return false;
}

const char *method_name(Method method) {
    switch (method) {
        case Method::Get:
            return "GET";
        case Method::Post:
            return "POST";
        case Method::Delete:
            return "DELETE";
    }
    return "GET";
}

template <class Handler>
void register_route(httplib::Server &server, Method method, const std::string &pattern,
                    Handler handler) {
    switch (method) {
        case Method::Get:
            server.Get(pattern, handler);
            break;
        case Method::Post:
            server.Post(pattern, handler);
            break;
        case Method::Delete:
            server.Delete(pattern, handler);
            break;
    }
}

// Adds padding so that the printed envelope is `size` bytes long (or just over
// when the answer alone is longer).
std::string padded(Json envelope, size_t size) {
    size_t base = json_print(envelope.get()).size() + std::string(",\"padding\":\"\"").size();
    put_str(envelope.get(), "padding", std::string(size > base ? size - base : 0, 'x'));
    return json_print(envelope.get());
}

// Gives every member named `field` under `item` a value of another type
// (text for numbers and booleans, a number for text and null, an array of
// non-records for objects, an object for arrays), or removes it when `strip`.
void reshape(cJSON *item, const std::string &field, bool strip) {
    cJSON *child = item->child;
    while (child != nullptr) {
        cJSON *next = child->next;
        if (child->string != nullptr && field == child->string) {
            if (strip) {
                cJSON_Delete(cJSON_DetachItemViaPointer(item, child));
            } else {
                Json other;
                if (cJSON_IsString(child) || cJSON_IsNull(child)) {
                    other.reset(cJSON_CreateNumber(7));
                } else if (cJSON_IsObject(child)) {
                    other = json_array();  // holding elements that are no records
                    append(other.get(), Json(cJSON_CreateNumber(7)));
                    append(other.get(), json_string("wrong type"));
                } else if (cJSON_IsArray(child)) {
                    other = json_object();
                    put_int(other.get(), "wrong type", 7);
                } else {
                    other = json_string("wrong type");
                }
                cJSON_ReplaceItemInObjectCaseSensitive(item, child->string, other.release());
            }
        } else {
            reshape(child, field, strip);
        }
        child = next;
    }
}

}  // namespace

int64_t Call::int_param(const char *key) const {
    const QueryParam *param = query.first(key);
    std::optional<int64_t> value = param ? parse_int(param->value) : std::nullopt;
    if (!value) {
        throw ApiError(kErrBadRequest, std::string("missing or malformed parameter ") + key);
    }
    return *value;
}

int64_t Call::int_param_or(const char *key, int64_t fallback) const {
    const QueryParam *param = query.first(key);
    if (!param || param->value.empty()) {
        return fallback;
    }
    return int_param(key);
}

std::string Call::device() const {
    const QueryParam *param = query.last("deviceid");
    if (!param || param->value.empty()) {
        throw ApiError(kErrBadRequest, "missing deviceid");
    }
    return param->value;
}

std::string raw_query(const httplib::Request &req) {
    size_t mark = req.target.find('?');
    return mark == std::string::npos ? std::string() : req.target.substr(mark + 1);
}

void send_bytes(httplib::Response &res, std::shared_ptr<const std::string> body,
                const std::string &content_type, size_t cut_after) {
    // Offsets count from the start of the body; the budget counts what this
    // answer has sent, so a cut also works inside a byte range.
    auto sent = std::make_shared<size_t>(0);
    res.set_content_provider(
        body->size(), content_type,
        [body, sent, cut_after](size_t offset, size_t length, httplib::DataSink &sink) {
            constexpr size_t kChunk = 64 * 1024;
            size_t n = std::min({length, kChunk, body->size() - offset});
            if (cut_after != SIZE_MAX) {
                if (*sent >= cut_after) {
                    return false;
                }
                n = std::min(n, cut_after - *sent);
            }
            *sent += n;
            return sink.write(body->data() + offset, n);
        });
}

void send_file(httplib::Response &res, std::shared_ptr<const std::string> body,
               const std::string &content_type, size_t cut_after) {
    char etag[24];
    snprintf(etag, sizeof etag, "\"%016zx\"", std::hash<std::string_view>{}(*body));
    res.set_header("Accept-Ranges", "bytes");
    res.set_header("ETag", etag);
    send_bytes(res, std::move(body), content_type, cut_after);
}

void send_json(httplib::Response &res, const cJSON *body, size_t cut_after) {
    send_bytes(res, std::make_shared<const std::string>(json_print(body)), "application/json",
               cut_after);
}

std::shared_ptr<const std::string> pixel_gif() {
    static const auto kPixel = std::make_shared<const std::string>(
        "GIF89a\x01\x00\x01\x00\x80\x00\x00\x00\x00\x00\xff\xff\xff!\xf9\x04\x01\x00\x00"
        "\x00\x00,\x00\x00\x00\x00\x01\x00\x01\x00\x00\x02\x02D\x01\x00;",
        43);
    return kPixel;
}

void drop_connection(const httplib::Request &req) {
    // The listener does not hand out its sockets: find the one whose two ports
    // are this request's and shut it down, so the client reads end-of-stream
    // before a single byte of an answer.
    struct DirCloser {
        void operator()(DIR *dir) const { closedir(dir); }
    };
    std::unique_ptr<DIR, DirCloser> dir(opendir("/proc/self/fd"));
    if (!dir) {
        return;
    }
    while (dirent *entry = readdir(dir.get())) {
        std::optional<int64_t> fd = parse_int(entry->d_name);
        if (!fd) {
            continue;
        }
        sockaddr_storage local{}, peer{};
        socklen_t local_len = sizeof(local), peer_len = sizeof(peer);
        int sock = static_cast<int>(*fd);
        if (getsockname(sock, reinterpret_cast<sockaddr *>(&local), &local_len) != 0 ||
            getpeername(sock, reinterpret_cast<sockaddr *>(&peer), &peer_len) != 0) {
            continue;
        }
        auto port_of = [](const sockaddr_storage &addr) -> int {
            if (addr.ss_family == AF_INET) {
                return ntohs(reinterpret_cast<const sockaddr_in &>(addr).sin_port);
            }
            if (addr.ss_family == AF_INET6) {
                return ntohs(reinterpret_cast<const sockaddr_in6 &>(addr).sin6_port);
            }
            return -1;
        };
        if (port_of(local) == req.local_port && port_of(peer) == req.remote_port) {
            shutdown(sock, SHUT_RDWR);
            return;
        }
    }
}

void Router::api(const std::string &path, Method method, Guard guard, ApiHandler handler) {
    api_routes_.push_back({path, method, guard, std::move(handler)});
}

void Router::raw(const std::string &pattern, Method method, RawHandler handler) {
    raw_routes_.push_back({pattern, method, std::move(handler)});
}

void Router::control(const std::string &pattern, Method method, ControlHandler handler) {
    control_routes_.push_back({pattern, method, std::move(handler)});
}

bool Router::fault_answered(const std::optional<Fault> &fault, const httplib::Request &req,
                            httplib::Response &res) const {
    if (!fault) {
        return false;
    }
    if (fault->delay_ms > 0 &&
        !context_.stop.sleep_for(std::chrono::milliseconds(fault->delay_ms))) {
        drop_connection(req);
        return true;
    }
    switch (fault->kind) {
        case Fault::Kind::Drop:
            drop_connection(req);
            return true;
        case Fault::Kind::Malformed:
            res.set_content(kMalformedBody, "application/json");
            return true;
        case Fault::Kind::Status:
            res.status = fault->status;
            if (fault->retry_after >= 0) {
                res.set_header("Retry-After", std::to_string(fault->retry_after));
            }
            [[fallthrough]];
        case Fault::Kind::Error:
            res.set_content(json_print(error_envelope(fault->errcode, fault->errmsg).get()),
                            "application/json");
            return true;
        case Fault::Kind::None:
        case Fault::Kind::Oversize:
        case Fault::Kind::Cut:
        case Fault::Kind::Retype:
        case Fault::Kind::Strip:
        case Fault::Kind::Stall:
        case Fault::Kind::NoIfRange:
            return false;
    }
    return false;
}

// Lets the answer's first `bytes` through, then holds the connection open and silent
// until the client leaves or the service stops.
void stall_after(httplib::Response &res, size_t bytes, StopSignal &stop) {
    if (!res.content_provider_) {
        return;
    }
    auto sent = std::make_shared<size_t>(0);
    res.content_provider_ = [inner = std::move(res.content_provider_), sent, bytes, &stop](
                                size_t offset, size_t length, httplib::DataSink &sink) {
        if (*sent >= bytes) {
            while (sink.is_writable() && stop.sleep_for(std::chrono::milliseconds(50))) {
            }
            return false;
        }
        length = std::min(length, bytes - *sent);
        *sent += length;
        return inner(offset, length, sink);
    };
}

// httplib answers the Range once the handler has returned; an If-Range that does not
// name the answer's ETag asks for the whole file instead (RFC 9110, 13.1.5).
void honour_if_range(const httplib::Request &req, const httplib::Response &res) {
    if (req.ranges.empty() || !req.has_header("If-Range") ||
        req.get_header_value("If-Range") == res.get_header_value("ETag")) {
        return;
    }
    // The listener's own request, not a constant: the ranges it will apply are cleared.
    const_cast<httplib::Request &>(req).ranges.clear();
}

Json Router::answer_api(const ApiRoute &route, bool https, const httplib::Request &req,
                        httplib::Response &res) const {
    Call call{req,
              Query::parse(raw_query(req)),
              https,
              media_base_for(req, context_.http_port.load()),
              {}};
    try {
        if (!method_matches(route.method, req)) {
            throw ApiError(kErrBadRequest,
                           std::string("method not allowed, use ") + method_name(route.method));
        }
        if (!https && (route.guard == Guard::Https || route.guard == Guard::AuthUser)) {
            throw ApiError(kErrBadRequest, "this path is served over HTTPS only");
        }
        if (route.guard != Guard::ServerTime || call.query.has("sign")) {
            SignCheck check =
                check_common_block(call.query, context_.config.appid, context_.config.secret);
            if (check != SignCheck::Ok) {
                throw ApiError(kErrBadRequest, sign_check_text(check));
            }
        }
        if (route.guard == Guard::AuthUser) {
            std::optional<std::string> user =
                context_.auth.user_for(call.text("open_uid"), call.text("access_token"));
            if (!user) {
                throw ApiError(kErrUnauthorised, "invalid or expired access token");
            }
            call.user = *user;
        }
        Answer answer = route.handler(call);
        if (!answer.redirect.empty()) {
            res.set_redirect(answer.redirect);
            return nullptr;
        }
        Json envelope = json_object();
        put_item(envelope.get(), "result", std::move(answer.result));
        if (answer.extras) {
            for (cJSON *item = answer.extras->child; item; item = item->next) {
                put_item(envelope.get(), item->string, json_copy(item));
            }
        }
        return envelope;
    } catch (const ApiError &error) {
        return error_envelope(error.errcode, error.what());
    }
}

void Router::serve_api(const ApiRoute &route, bool https, const httplib::Request &req,
                       httplib::Response &res) const {
    context_.requests.add({https ? "https" : "http", req.method, req.path, raw_query(req), {}, {}});
    std::optional<Fault> fault = context_.faults.take(req.path);
    if (fault_answered(fault, req, res)) {
        return;
    }
    Json envelope = answer_api(route, https, req, res);
    if (!envelope) {
        return;  // a redirect
    }
    if (!fault) {
        context_.answers.record(req.path, json_print(envelope.get()));
    } else if (fault->kind == Fault::Kind::Oversize) {
        res.set_content(padded(std::move(envelope), fault->bytes), "application/json");
        return;
    } else if (fault->kind == Fault::Kind::Retype || fault->kind == Fault::Kind::Strip) {
        reshape(envelope.get(), fault->field, fault->kind == Fault::Kind::Strip);
    }
    send_json(res, envelope.get(),
              fault && fault->kind == Fault::Kind::Cut ? fault->bytes : SIZE_MAX);
}

void Router::install(httplib::Server &server, bool https) const {
    // Each API path answers both GET and POST in the envelope, so a client using
    // the wrong one learns why instead of getting a bare 404. Routes are all
    // added before the first install; the handlers keep references into them.
    for (const ApiRoute &route : api_routes_) {
        auto handler = [this, &route, https](const httplib::Request &req, httplib::Response &res) {
            serve_api(route, https, req, res);
        };
        server.Get(route.path, handler);
        server.Post(route.path, handler);
    }
    for (const RawRoute &route : raw_routes_) {
        register_route(server, route.method, route.pattern,
                       [this, &route, https](const httplib::Request &req, httplib::Response &res) {
                           context_.media.add({https ? "https" : "http", req.method, req.path,
                                               raw_query(req), req.get_header_value("Range"),
                                               req.get_header_value("If-Range")});
                           std::optional<Fault> fault = context_.faults.take(req.path);
                           if (fault_answered(fault, req, res)) {
                               return;
                           }
                           const size_t cut =
                               fault && fault->kind == Fault::Kind::Cut ? fault->bytes : SIZE_MAX;
                           if (const auto revised = context_.revisions.find(req.path)) {
                               send_file(res, revised->bytes, revised->content_type, cut);
                           } else {
                               route.handler(req, res, cut);
                           }
                           if (!fault || fault->kind != Fault::Kind::NoIfRange) {
                               honour_if_range(req, res);
                           }
                           if (fault && fault->kind == Fault::Kind::Stall) {
                               stall_after(res, fault->bytes, context_.stop);
                           }
                       });
    }
    for (const ControlRoute &route : control_routes_) {
        register_route(server, route.method, route.pattern, route.handler);
    }
}

}  // namespace rvmock
