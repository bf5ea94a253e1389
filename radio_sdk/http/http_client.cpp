#include "http/http_client.h"

#include <atomic>
#include <iterator>
#include <mutex>

#include "http/delay_queue.h"

#include "http/secret_mask.h"
#include "http/thread_pool.h"
#include "rv_config.h"
#include "rv_error.h"
#include "util/debug.h"
#include "util/util.h"

namespace {

constexpr const char *kTag = "HTTP_CLIENT";
constexpr int kWorkers = 3;
constexpr int kQueueLimit = 30;

std::atomic<int> s_debug_verbose{1};
// Guards s_queue_limit (rv_setRequestQueueLimit, any thread) and is held while
// http_client_init makes the pool, so that the pool never keeps an older limit.
std::mutex s_queue_limit_mutex;
int s_queue_limit = kQueueLimit;

int start_pool() {
    std::lock_guard lock(s_queue_limit_mutex);
    return thread_pool_init(kWorkers, s_queue_limit);
}
// True exactly while the client is started; request functions test it.
std::atomic<bool> s_http_client{false};

bool verbose() {
    return s_debug_verbose.load(std::memory_order_relaxed) != 0;
}

#define CLIENT_LOGV(...)             \
    do {                             \
        if (verbose()) {             \
            LOGV(kTag, __VA_ARGS__); \
        }                            \
    } while (0)

// Masking is the costly part of a line: skipped when V lines are not shown.
void log_masked(const char *format, const char *text) {
    if (verbose() && log_level_shown(4)) {
        rv::http::log_masked_v(kTag, format, text);
    }
}

struct VerbRow {
    thread_pool_task task;
    const char *url_line;
    const char *body_line;  // null: no body
};

const VerbRow &verb_row(rv::http::Verb verb) {
    using rv::http::Verb;
    static const VerbRow kRows[] = {
        {http_task_get, "HTTP-GET: url = %s\n", nullptr},
        {http_task_post, "HTTP-POST: url = %s\n", "HTTP-POST: body = %s\n"},
        {https_task_get, "HTTPS-GET: url = %s\n", nullptr},
        {https_task_post, "HTTPS-POST: url = %s\n", "HTTPS-POST: body = %s\n"},
        {https_task_get_redirect_uri, "HTTPS-GET: url = %s\n", nullptr},
    };
    static_assert(std::size(kRows) == static_cast<size_t>(Verb::HttpsProbe) + 1);
    return kRows[static_cast<size_t>(verb)];
}

// Requests waiting between attempts; started and stopped with the client.
rv::http::DelayQueue s_delayed(http_task_discard, http_task_end);

}  // namespace

extern "C" int http_client_init(void) {
    CLIENT_LOGV("http client init now \n");
    if (s_http_client.load()) {
        return RVE_NOT_READY;
    }
    if (int rc = start_pool(); rc != RVE_OK) {
        return rc;
    }
    if (int rc = http_task_init(); rc != RVE_OK) {
        thread_pool_final();
        return rc;
    }
    if (int rc = s_delayed.start(); rc != RVE_OK) {
        thread_pool_final();
        http_task_final();
        return rc;
    }
    s_http_client.store(true);
    CLIENT_LOGV("http client init over \n");
    return RVE_OK;
}

extern "C" int http_client_final(void) {
    CLIENT_LOGV("http client shutdown now \n");
    if (s_http_client.exchange(false)) {
        if (thread_pool_is_worker()) {
            s_http_client.store(true);
            return RVE_NOT_READY;
        }
        // First, so that no waiting request reaches the pool while it stops.
        s_delayed.stop();
        if (int rc = thread_pool_final_ex(http_task_abort_all); rc != RVE_OK) {
            // Refused (called from a worker): everything keeps running.
            s_http_client.store(true);
            return rc;
        }
        http_task_final();
    }
    CLIENT_LOGV("http client shutdown over \n");
    return RVE_OK;
}

extern "C" int rv_setRequestQueueLimit(int limit) {
    if (limit < 1) {
        return RVE_BAD_ARGS;  // a queue without room would refuse even with idle workers
    }
    std::lock_guard lock(s_queue_limit_mutex);
    s_queue_limit = limit;
    // No pool (stopped) is fine: the next one is made with the limit.
    thread_pool_set_queue_limit(limit);
    return RVE_OK;
}

int rv::http::request(Verb verb, const char *url, const char *body, const char *cainfo,
                      http_task_callback callback, void *user_data, const Options &options) {
    const VerbRow &row = verb_row(verb);
    log_masked(row.url_line, url);
    if (row.body_line != nullptr) {
        log_masked(row.body_line, body);
    } else {
        body = "";
    }
    if (url == nullptr || body == nullptr) {
        return RVE_BAD_ARGS;
    }
    if (!s_http_client.load()) {
        return RVE_NOT_READY;
    }
    HttpTaskArgPtr arg(http_task_arg_new());
    if (!arg || str_dup(&arg->url, url) != RVE_OK || str_dup(&arg->body, body) != RVE_OK ||
        str_dup_ext(&arg->cainfo,
                    verb == Verb::HttpGet || verb == Verb::HttpPost ? nullptr : cainfo) != RVE_OK) {
        return RVE_NULL_STRING;
    }
    arg->callback = callback;
    arg->user_data = user_data;
    arg->timeout_ms = static_cast<long>(options.timeout.count());
    arg->max_body_bytes = options.max_body_bytes;
    arg->fresh_connection = options.fresh_connection ? 1 : 0;
    const int rc = options.delay.count() > 0
                       ? s_delayed.add(options.delay, row.task, arg.get())
                       : thread_pool_add_task_ex(row.task, arg.get(), http_task_discard);
    if (rc == RVE_OK) {
        arg.release();  // the task owns it now
    }
    return rc;
}

extern "C" int http_request_get(const char *url, http_task_callback callback, void *user_data) {
    return rv::http::request(rv::http::Verb::HttpGet, url, nullptr, nullptr, callback, user_data);
}

extern "C" int http_request_post(const char *url, const char *body, http_task_callback callback,
                                 void *user_data) {
    return rv::http::request(rv::http::Verb::HttpPost, url, body, nullptr, callback, user_data);
}

extern "C" int https_request_get(const char *url, const char *cainfo, http_task_callback callback,
                                 void *user_data) {
    return rv::http::request(rv::http::Verb::HttpsGet, url, nullptr, cainfo, callback, user_data);
}

extern "C" int https_request_post(const char *url, const char *body, const char *cainfo,
                                  http_task_callback callback, void *user_data) {
    return rv::http::request(rv::http::Verb::HttpsPost, url, body, cainfo, callback, user_data);
}

extern "C" int https_request_get_redirect_uri(const char *url, const char *cainfo,
                                              http_task_callback callback, void *user_data) {
    return rv::http::request(rv::http::Verb::HttpsProbe, url, nullptr, cainfo, callback, user_data);
}

extern "C" void http_client_verbose(int on) {
    s_debug_verbose.store(on, std::memory_order_relaxed);
}
