#include "request/request_core.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdarg>
#include <cstring>
#include <memory>
#include <new>
#include <optional>
#include <random>
#include <vector>

#include "http/http_client.h"
#include "request/helper_url.h"
#include "request/util_url.h"
#include "rv_config.h"
#include "rv_error.h"
#include "util/debug.h"
#include "util/service_message.h"

namespace rv::req {

namespace {

// Filled during static initialisation only, then read-only.
std::vector<const Endpoint *> &registry() {
    static std::vector<const Endpoint *> rows;
    return rows;
}

}  // namespace

Endpoint::Endpoint(Host host_, const char *path_, const char *query_, Method method_,
                   Effect effect_, std::array<Block, 3> blocks_, Builder build_, RawReader raw_,
                   bool form_encode_)
    : host(host_),
      path(path_),
      query(query_),
      method(method_),
      effect(effect_),
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

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr const char *kTag = "REQUEST";
constexpr milliseconds kFirstWait{250};
constexpr milliseconds kMaxWait{8000};
// A retry is made only when at least this much of the request's time is left for it.
constexpr milliseconds kLeastAttempt{1000};
constexpr milliseconds kRequestTime{HTTP_TASK_TIMEOUT_SECONDS * 1000L};

std::atomic<int> s_retries{kDefaultRetries};

// One request in flight: travels with each of its transfers as their user pointer.
struct Call {
    const Endpoint *endpoint;
    rv_result_callback callback;
    void *user_data;
    std::string stem;  // host, path and own parameters; the blocks are appended per attempt
    std::optional<std::string> block_arg;
    int retries;  // allowed for this request
    int attempt;  // 1 for the first transfer
    Clock::time_point deadline;
};

int queue(Call &call, milliseconds delay);

struct CjsonDeleter {
    void operator()(cJSON *json) const { cJSON_Delete(json); }
};
using CjsonPtr = std::unique_ptr<cJSON, CjsonDeleter>;

// Why the attempt that just ended is worth another, or "" when it is not.
std::string transient(int result, const rv::http::Transfer &transfer) {
    if (transfer.status == 429 || (transfer.status >= 500 && transfer.status <= 599)) {
        return "HTTP " + std::to_string(transfer.status);
    }
    if (result != RVE_FAILED) {
        return {};
    }
    switch (transfer.failure) {
        case rv::http::Failure::Connect:
            return "could not connect";
        case rv::http::Failure::Timeout:
            return "timed out";
        case rv::http::Failure::Cut:
            return "connection cut";
        default:
            return {};
    }
}

// About 250 ms, 1 s, 4 s ... before retry `retry` (1 for the first), each within
// +-20 %, never less than a Retry-After.
milliseconds retry_wait(int retry, long retry_after_s) {
    thread_local std::minstd_rand random(std::random_device{}());
    milliseconds wait = kFirstWait;
    for (int i = 1; i < retry && wait < kMaxWait; i++) {
        wait *= 4;
    }
    wait = std::min(wait, kMaxWait);
    std::uniform_int_distribution<long> jitter(-wait.count() / 5, wait.count() / 5);
    wait += milliseconds(jitter(random));
    return std::max(wait, milliseconds(retry_after_s > 0 ? retry_after_s * 1000 : 0));
}

// Sends the call again when the attempt that just ended allows it: nothing when
// it does not, else the outcome of queueing the next attempt (0: the call belongs
// to it now; otherwise the code to deliver, such as 3 once the SDK stops).
std::optional<int> retry(Call &call, int result) {
    const rv::http::Transfer &transfer = rv::http::current_transfer();
    if (call.endpoint->effect != Effect::Reads || call.attempt > call.retries ||
        transfer.retry_after_s > kMaxRetryAfterSeconds) {
        return std::nullopt;
    }
    const std::string reason = transient(result, transfer);
    if (reason.empty()) {
        return std::nullopt;
    }
    const milliseconds wait = retry_wait(call.attempt, transfer.retry_after_s);
    if (Clock::now() + wait + kLeastAttempt > call.deadline) {
        return std::nullopt;
    }
    call.attempt++;
    LOGW(kTag, "retry %d of %d for %s in %ld ms: %s\n", call.attempt - 1, call.retries,
         call.endpoint->path, static_cast<long>(wait.count()), reason.c_str());
    return queue(call, wait);
}

// The transfer's completion, on a pool worker (or, for a request that never ran, on
// the thread that stopped the client).
void on_answer(int result, const char *data, size_t size, void *user) {
    std::unique_ptr<Call> call(static_cast<Call *>(user));
    std::optional<int> retried;
    try {
        retried = retry(*call, result);
    } catch (const std::bad_alloc &) {
        retried = RVE_NO_MEMORY;
    }
    if (retried == RVE_OK) {
        call.release();  // the next transfer owns it
        return;
    }
    json::Answer answer{retried.value_or(result)};
    if (!retried && result == RVE_OK) {
        try {
            answer = call->endpoint->raw != nullptr
                         ? call->endpoint->raw(data, size, rv::http::current_transfer().status)
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

// The blocks come last: each attempt gets a fresh signature.
int append_blocks(const Call &call, std::string &url) {
    for (Block block : call.endpoint->blocks) {
        if (block != nullptr) {
            int code = block(url, call.block_arg ? call.block_arg->c_str() : nullptr);
            if (code != RVE_OK) {
                return code;
            }
        }
    }
    return RVE_OK;
}

rv::http::Verb verb_of(const Endpoint &endpoint) {
    using rv::http::Verb;
    const bool https = endpoint.host == Host::OpenApiHttps;
    switch (endpoint.method) {
        case Method::Get:
            return https ? Verb::HttpsGet : Verb::HttpGet;
        case Method::Post:
            return https ? Verb::HttpsPost : Verb::HttpPost;
        case Method::RedirectProbe:
            break;
    }
    return Verb::HttpsProbe;
}

// Builds and queues the next attempt of `call` after `delay`; it gets the time left.
int queue(Call &call, milliseconds delay) {
    std::string url = call.stem;
    if (int code = append_blocks(call, url); code != RVE_OK) {
        return code;
    }
    const auto left =
        std::chrono::duration_cast<milliseconds>(call.deadline - Clock::now()) - delay;
    const rv::http::Options options{delay, std::max(left, kLeastAttempt), kMaxAnswerBytes,
                                    call.endpoint->effect == Effect::Changes};
    return rv::http::request(verb_of(*call.endpoint), url.c_str(), "", nullptr, on_answer, &call,
                             options);
}

}  // namespace

json::Answer read_envelope(const Endpoint &endpoint, const char *body, size_t size) {
    CjsonPtr root(body != nullptr ? cJSON_ParseWithLength(body, size) : nullptr);
    if (root == nullptr) {
        return {RVE_BAD_RESPONSE};
    }
    int code = cjson_check_request_data(root.get());
    if (code != RVE_OK) {
        const cJSON *message = cJSON_GetObjectItem(root.get(), "errmsg");
        return {code, nullptr, 0, nullptr,
                cJSON_IsString(message) ? message->valuestring : std::string()};
    }
    const cJSON *result = cJSON_GetObjectItem(root.get(), "result");
    if (result == nullptr) {
        return {RVE_BAD_RESPONSE};
    }
    return endpoint.build(result, root.get());
}

void notify(rv_result_callback callback, void *user_data, const json::Answer &answer) {
    if (callback != nullptr) {
        const service_message::Scope scope(answer.message);
        callback(answer.code, answer.data, answer.count, user_data);
    } else if (answer.data != nullptr && answer.release != nullptr) {
        answer.release(answer.data);  // nobody receives it
    }
}

void set_retries(int count) {
    s_retries.store(std::max(count, 0));
}

int retries() {
    return s_retries.load();
}

void send(const Endpoint &endpoint, const char *block_arg, rv_result_callback callback,
          void *user_data, ...) {
    int code;
    va_list ap;
    va_start(ap, user_data);
    try {
        auto call = std::make_unique<Call>(
            Call{&endpoint, callback, user_data,
                 service_host(endpoint.host) + endpoint.path +
                     format_query(endpoint.query, endpoint.form_encode, &ap),
                 block_arg != nullptr ? std::optional<std::string>(block_arg) : std::nullopt,
                 retries(), 1, Clock::now() + kRequestTime});
        code = queue(*call, milliseconds(0));
        if (code == RVE_OK) {
            call.release();  // the transfer owns it now; on_answer takes it back
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

extern "C" void rv_setRequestRetries(int count) {
    rv::req::set_retries(count);
}
