#include "request/request_core.h"

#include <cstdarg>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#include "http/http_client.h"
#include "request/helper_url.h"
#include "request/util_url.h"
#include "rv_error.h"

namespace rv::req {

namespace {

// Filled during static initialisation only, then read-only.
std::vector<const Endpoint *> &registry() {
    static std::vector<const Endpoint *> rows;
    return rows;
}

}  // namespace

Endpoint::Endpoint(Host host_, const char *path_, const char *query_, Method method_,
                   std::array<Block, 3> blocks_, Builder build_, RawReader raw_, bool form_encode_)
    : host(host_),
      path(path_),
      query(query_),
      method(method_),
      blocks(blocks_),
      build(build_),
      raw(raw_),
      form_encode(form_encode_) {
    registry().push_back(this);
}

std::span<const Endpoint *const> all_endpoints() {
    return registry();
}

namespace {

// One request in flight: travels with the transfer as its user pointer.
struct Call {
    const Endpoint *endpoint;
    rv_result_callback callback;
    void *user_data;
};

struct CjsonDeleter {
    void operator()(cJSON *json) const { cJSON_Delete(json); }
};
using CjsonPtr = std::unique_ptr<cJSON, CjsonDeleter>;

// The transfer's completion, on a pool worker.
void on_answer(int result, const char *data, size_t size, void *user) {
    std::unique_ptr<Call> call(static_cast<Call *>(user));
    json::Answer answer{result};
    if (result == RVE_OK) {
        try {
            answer = call->endpoint->raw != nullptr ? call->endpoint->raw(data, size)
                                                    : read_envelope(*call->endpoint, data, size);
        } catch (const std::bad_alloc &) {
            answer = {RVE_NO_MEMORY};
        }
    }
    notify(call->callback, call->user_data, answer);
}

// Formats one integer conversion such as "%lld" (its length modifiers counted in `longs`).
template <class Int, class Long, class LongLong>
std::string format_integer(const std::string &conversion, int longs, va_list *ap) {
    switch (longs) {
        case 0:
            return format(conversion.c_str(), va_arg(*ap, Int));
        case 1:
            return format(conversion.c_str(), va_arg(*ap, Long));
        default:
            return format(conversion.c_str(), va_arg(*ap, LongLong));
    }
}

// The endpoint's own parameters, one conversion at a time so that text
// arguments can be form-encoded on their way in.
std::string format_query(const char *fmt, bool encode, va_list *args) {
    std::string out;
    for (const char *p = fmt; *p != '\0'; p++) {
        if (*p != '%') {
            out += *p;
            continue;
        }
        const char *start = p++;
        p += strspn(p, "-+ #0123456789.");
        const int longs = static_cast<int>(strspn(p, "l"));
        p += longs;
        if (*p == '\0') {
            break;  // a stray "%" at the end
        }
        const std::string conversion(start, p + 1);
        switch (*p) {
            case 's': {
                const char *text = va_arg(*args, const char *);
                if (encode) {
                    url_encode_append(out, text != nullptr ? text : "");
                } else {
                    out += format(conversion.c_str(), text != nullptr ? text : "");
                }
                break;
            }
            case 'd':
            case 'i':
                out += format_integer<int, long, long long>(conversion, longs, args);
                break;
            case 'u':
            case 'x':
                out += format_integer<unsigned, unsigned long, unsigned long long>(conversion,
                                                                                   longs, args);
                break;
            default:
                out += *p;  // "%%"
                break;
        }
    }
    return out;
}

int build_url(const Endpoint &endpoint, const char *block_arg, std::string &url, va_list *ap) {
    url = service_host(endpoint.host) + endpoint.path +
          format_query(endpoint.query, endpoint.form_encode, ap);
    for (Block block : endpoint.blocks) {
        if (block != nullptr) {
            int code = block(url, block_arg);
            if (code != RVE_OK) {
                return code;
            }
        }
    }
    return RVE_OK;
}

int queue(const Endpoint &endpoint, const std::string &url, Call *call) {
    const bool https = endpoint.host == Host::OpenApiHttps;
    switch (endpoint.method) {
        case Method::Get:
            return https ? https_request_get(url.c_str(), nullptr, on_answer, call)
                         : http_request_get(url.c_str(), on_answer, call);
        case Method::Post:
            return https ? https_request_post(url.c_str(), "", nullptr, on_answer, call)
                         : http_request_post(url.c_str(), "", on_answer, call);
        case Method::RedirectProbe:
            return https_request_get_redirect_uri(url.c_str(), nullptr, on_answer, call);
    }
    return RVE_BAD_ARGS;
}

}  // namespace

json::Answer read_envelope(const Endpoint &endpoint, const char *body, size_t size) {
    CjsonPtr root(body != nullptr ? cJSON_ParseWithLength(body, size) : nullptr);
    if (root == nullptr) {
        return {RVE_BAD_RESPONSE};
    }
    int code = cjson_check_request_data(root.get());
    if (code != RVE_OK) {
        return {code};
    }
    const cJSON *result = cJSON_GetObjectItem(root.get(), "result");
    if (result == nullptr) {
        return {RVE_BAD_RESPONSE};
    }
    return endpoint.build(result, root.get());
}

void notify(rv_result_callback callback, void *user_data, const json::Answer &answer) {
    if (callback != nullptr) {
        callback(answer.code, answer.data, answer.count, user_data);
    } else if (answer.data != nullptr && answer.release != nullptr) {
        answer.release(answer.data);  // nobody receives it
    }
}

void send(const Endpoint &endpoint, const char *block_arg, rv_result_callback callback,
          void *user_data, ...) {
    int code;
    va_list ap;
    va_start(ap, user_data);
    try {
        std::string url;
        code = build_url(endpoint, block_arg, url, &ap);
        if (code == RVE_OK) {
            auto call = std::make_unique<Call>(Call{&endpoint, callback, user_data});
            code = queue(endpoint, url, call.get());
            if (code == RVE_OK) {
                call.release();  // the transfer owns it now; on_answer takes it back
            }
        }
    } catch (const std::bad_alloc &) {
        code = RVE_NO_MEMORY;
    }
    va_end(ap);
    if (code == RVE_OK) {
        return;
    }
    notify(callback, user_data, {code});
}

}  // namespace rv::req
