#include "http/http_task.h"

#include <curl/curl.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "http/secret_mask.h"
#include "rv_config.h"
#include "rv_error.h"
#include "util/debug.h"
#include "util/util.h"

namespace {

constexpr const char *kTag = "HTTP_TASK";
constexpr long kDnsCacheSeconds = 300;
constexpr int kPollMilliseconds = 1000;
constexpr size_t kDumpPiece = 2000;
// A worker keeps a body buffer this large for its next transfer; a larger one is freed.
constexpr size_t kKeptBodyBytes = 256 * 1024;

std::atomic<int> s_debug_verbose{1};
std::atomic<int> s_debug_data_verbose{0};
std::atomic<int> s_debug_curl_verbose{0};
std::atomic<int> s_share_connections{1};

// V lines of this module, gated by its own switch.
#define TASK_LOGV(...)                                         \
    do {                                                       \
        if (s_debug_verbose.load(std::memory_order_relaxed)) { \
            LOGV(kTag, __VA_ARGS__);                           \
        }                                                      \
    } while (0)

struct ShareDeleter {
    void operator()(CURLSH *share) const { curl_share_cleanup(share); }
};
struct EasyDeleter {
    void operator()(CURL *easy) const { curl_easy_cleanup(easy); }
};
struct MultiDeleter {
    void operator()(CURLM *multi) const { curl_multi_cleanup(multi); }
};
struct UrlDeleter {
    void operator()(CURLU *url) const { curl_url_cleanup(url); }
};

// Written by http_task_init/http_task_final only, while no transfer runs.
std::unique_ptr<CURLSH, ShareDeleter> s_curl_share;
bool s_shared_connections = false;  // the share handle holds connections and TLS sessions
// One lock per kind of data the share handle holds; libcurl takes them from every worker.
std::array<std::mutex, CURL_LOCK_DATA_LAST> s_share_locks;

// Guards s_app_ca_file (set by rv_setCaFile on any thread) and s_env_ca (RV_CA_FILE as
// http_task_init found it); every transfer reads both.
std::mutex s_ca_lock;
std::string s_app_ca_file;
std::string s_env_ca;

// The CA file in force: the environment's, else the application's ("" for the system's).
const std::string &default_ca_locked(const std::lock_guard<std::mutex> &) {
    return !s_env_ca.empty() ? s_env_ca : s_app_ca_file;
}

// Guards s_active (the multi handle of every transfer in flight, registered by the
// worker running it) and writes of s_aborting (set by http_task_abort_all, cleared by
// http_task_init); transfers read s_aborting without the lock between polls.
std::mutex s_active_lock;
std::vector<CURLM *> s_active;
std::atomic<bool> s_aborting{false};

enum class Kind { kGet, kPost, kProbe };

// One per transfer: what arrived so far, in the worker's own buffer (see thread_body).
// The string keeps a zero byte after the data.
struct WriteBuffer {
    int error = RVE_OK;
    std::string &data;
    size_t max;  // a larger answer aborts the transfer
};

void share_lock(CURL *, curl_lock_data data, curl_lock_access, void *) {
    s_share_locks[static_cast<size_t>(data) % s_share_locks.size()].lock();
}

void share_unlock(CURL *, curl_lock_data data, void *) {
    s_share_locks[static_cast<size_t>(data) % s_share_locks.size()].unlock();
}

// Masking is the costly part of a line: skipped when V lines are not shown.
void log_masked(const char *format, const char *text) {
    if (s_debug_verbose.load(std::memory_order_relaxed) && log_level_shown(4)) {
        rv::http::log_masked_v(kTag, format, text);
    }
}

size_t write_data_cb(char *chunk, size_t size, size_t count, void *user) {
    auto *buffer = static_cast<WriteBuffer *>(user);
    if (buffer == nullptr || buffer->error != RVE_OK) {
        return 0;
    }
    const size_t n = size * count;
    if (n > buffer->max - buffer->data.size()) {
        buffer->error = RVE_FAILED;
        LOGE(kTag, "response body larger than %zu bytes, transfer aborted \n", buffer->max);
        return 0;
    }
    try {
        buffer->data.append(chunk, n);
    } catch (const std::bad_alloc &) {
        buffer->error = RVE_NO_MEMORY;
        LOGE(kTag, "realloc failed! \n");
        return 0;
    }
    TASK_LOGV("http write data callback recv data size: %d bytes \n", static_cast<int>(n));
    return n;
}

void print_write_data(const std::string &data) {
    if (!s_debug_data_verbose.load(std::memory_order_relaxed) || data.empty() ||
        !s_debug_verbose.load(std::memory_order_relaxed)) {
        return;
    }
    std::string masked;
    try {
        masked = rv::http::mask_secrets(data);
    } catch (const std::bad_alloc &) {
        return;
    }
    TASK_LOGV("http request data: \n");
    for (size_t pos = 0; pos < masked.size(); pos += kDumpPiece) {
        std::array<char, kDumpPiece + 1> piece{};
        const size_t len = std::min(kDumpPiece, masked.size() - pos);
        std::memcpy(piece.data(), masked.data() + pos, len);
        TASK_LOGV("[%04d bytes] %s\n", static_cast<int>(len), piece.data());
    }
}

// Keeps a transfer's multi handle reachable by http_task_abort_all while it runs.
class ActiveTransfer {
  public:
    explicit ActiveTransfer(CURLM *multi) : multi_(multi) {
        std::lock_guard<std::mutex> lock(s_active_lock);
        try {
            s_active.push_back(multi_);
            registered_ = true;
        } catch (const std::bad_alloc &) {
        }
    }
    ~ActiveTransfer() {
        if (registered_) {
            std::lock_guard<std::mutex> lock(s_active_lock);
            s_active.erase(std::find(s_active.begin(), s_active.end(), multi_));
        }
    }
    ActiveTransfer(const ActiveTransfer &) = delete;
    ActiveTransfer &operator=(const ActiveTransfer &) = delete;

    // False when memory was short: the transfer could then not be aborted.
    bool registered() const { return registered_; }

  private:
    CURLM *multi_;
    bool registered_ = false;
};

// Removes the easy handle from its multi handle before either is cleaned up.
class Attached {
  public:
    Attached(CURLM *multi, CURL *easy) : multi_(multi), easy_(easy) {}
    ~Attached() { curl_multi_remove_handle(multi_, easy_); }
    Attached(const Attached &) = delete;
    Attached &operator=(const Attached &) = delete;

  private:
    CURLM *multi_;
    CURL *easy_;
};

// The calling thread's multi handle, made on its first transfer and released when the
// thread ends (for the pool's workers: before http_task_final). Null when memory is short.
CURLM *thread_multi() {
    thread_local std::unique_ptr<CURLM, MultiDeleter> t_multi;
    if (!t_multi) {
        t_multi.reset(curl_multi_init());
    }
    return t_multi.get();
}

// The calling thread's easy handle, reset for each of its transfers: libcurl keeps its
// buffers between them instead of making them anew. Released when the thread ends (for
// the pool's workers: before http_task_final). Null when memory is short.
CURL *thread_easy() {
    thread_local std::unique_ptr<CURL, EasyDeleter> t_easy;
    if (t_easy) {
        curl_easy_reset(t_easy.get());
    } else {
        t_easy.reset(curl_easy_init());
    }
    return t_easy.get();
}

// The calling thread's body buffer, emptied; a transfer's answer is built in it and
// handed to the callback from it.
std::string &thread_body() {
    thread_local std::string t_body;
    if (t_body.capacity() > kKeptBodyBytes) {
        std::string().swap(t_body);  // one huge answer does not pin its memory
    }
    t_body.clear();
    return t_body;
}

// How a transfer ended: code CURLE_OK on success, else libcurl's text of the failure.
struct Performed {
    CURLcode code = CURLE_OK;
    const char *text = nullptr;
};

Performed failed(CURLcode code) {
    return {code, curl_easy_strerror(code)};
}

Performed failed_multi(CURLMcode code) {
    return {CURLE_FAILED_INIT, curl_multi_strerror(code)};
}

// Runs the transfer on this thread. Waiting in a multi handle lets http_task_abort_all
// wake the wait at once.
Performed perform(CURL *easy) {
    CURLM *multi = thread_multi();
    if (multi == nullptr) {
        return failed(CURLE_OUT_OF_MEMORY);
    }
    if (CURLMcode mc = curl_multi_add_handle(multi, easy); mc != CURLM_OK) {
        return failed_multi(mc);
    }
    Attached attached(multi, easy);
    const ActiveTransfer active(multi);
    if (!active.registered()) {
        return failed(CURLE_OUT_OF_MEMORY);
    }
    for (;;) {
        if (s_aborting.load()) {
            return failed(CURLE_ABORTED_BY_CALLBACK);
        }
        int running = 0;
        if (CURLMcode mc = curl_multi_perform(multi, &running); mc != CURLM_OK) {
            return failed_multi(mc);
        }
        if (running == 0) {
            break;
        }
        if (CURLMcode mc = curl_multi_poll(multi, nullptr, 0, kPollMilliseconds, nullptr);
            mc != CURLM_OK) {
            return failed_multi(mc);
        }
    }
    int queued = 0;
    while (CURLMsg *msg = curl_multi_info_read(multi, &queued)) {
        if (msg->msg == CURLMSG_DONE && msg->data.result != CURLE_OK) {
            return failed(msg->data.result);
        }
    }
    return {};
}

rv::http::Failure classify(CURLcode code) {
    using rv::http::Failure;
    switch (code) {
        case CURLE_OK:
            return Failure::None;
        case CURLE_COULDNT_RESOLVE_HOST:
        case CURLE_COULDNT_RESOLVE_PROXY:
        case CURLE_COULDNT_CONNECT:
            return Failure::Connect;
        case CURLE_OPERATION_TIMEDOUT:
            return Failure::Timeout;
        case CURLE_PARTIAL_FILE:
        case CURLE_RECV_ERROR:
        case CURLE_SEND_ERROR:
        case CURLE_GOT_NOTHING:
            return Failure::Cut;
        case CURLE_PEER_FAILED_VERIFICATION:
        case CURLE_SSL_CONNECT_ERROR:
        case CURLE_SSL_CERTPROBLEM:
        case CURLE_SSL_CACERT_BADFILE:
        case CURLE_SSL_ISSUER_ERROR:
            return Failure::Tls;
        case CURLE_ABORTED_BY_CALLBACK:
            return Failure::Stopped;
        default:
            return Failure::Other;
    }
}

// What the running completion callback of this thread may ask about its transfer.
thread_local rv::http::Transfer t_transfer;

// The status and Retry-After of the answer the easy handle received, if any.
rv::http::Transfer answered(CURL *easy, rv::http::Failure failure) {
    rv::http::Transfer transfer{failure, 0, -1};
    curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &transfer.status);
    curl_off_t retry_after = 0;
    if (curl_easy_getinfo(easy, CURLINFO_RETRY_AFTER, &retry_after) == CURLE_OK &&
        retry_after > 0) {
        transfer.retry_after_s =
            static_cast<long>(std::min<curl_off_t>(retry_after, HTTP_TASK_MAX_RETRY_AFTER_SECONDS));
    }
    return transfer;
}

void set_common_options(CURL *easy, const char *cainfo) {
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    // An aborted transfer leaves a name lookup still under way to finish on its own thread,
    // instead of waiting for it (a dead DNS server keeps it for 20 s).
    curl_easy_setopt(easy, CURLOPT_QUICK_EXIT, 1L);
    if (s_curl_share) {
        curl_easy_setopt(easy, CURLOPT_SHARE, s_curl_share.get());
        curl_easy_setopt(easy, CURLOPT_DNS_CACHE_TIMEOUT, kDnsCacheSeconds);
    }
    if (!s_shared_connections) {
        // Otherwise the thread's multi handle would keep the connection for its next transfer.
        curl_easy_setopt(easy, CURLOPT_FORBID_REUSE, 1L);
    }
    curl_easy_setopt(easy, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(easy, CURLOPT_SSL_VERIFYHOST, 2L);
    if (cainfo != nullptr) {
        curl_easy_setopt(easy, CURLOPT_CAINFO, cainfo);
    } else {
        std::lock_guard<std::mutex> lock(s_ca_lock);
        if (const std::string &ca = default_ca_locked(lock); !ca.empty()) {
            curl_easy_setopt(easy, CURLOPT_CAINFO, ca.c_str());  // libcurl copies it
        }
    }
}

void finish(const http_task_arg &arg, int result, const char *data, size_t size,
            const rv::http::Transfer &transfer = {}) {
    t_transfer = transfer;
    if (arg.callback != nullptr) {
        arg.callback(result, data, size, arg.user_data);
    }
    t_transfer = {};
}

// Scheme, host and port of a URL (the port filled in from the scheme), or nothing.
struct Origin {
    std::string scheme, host, port, query;
};

std::optional<Origin> origin_of(const char *url) {
    std::unique_ptr<CURLU, UrlDeleter> handle(curl_url());
    if (!handle || curl_url_set(handle.get(), CURLUPART_URL, url, 0) != CURLUE_OK) {
        return std::nullopt;
    }
    Origin origin;
    auto part = [&handle](CURLUPart which, std::string &out, unsigned flags) {
        char *text = nullptr;
        if (curl_url_get(handle.get(), which, &text, flags) != CURLUE_OK) {
            return false;
        }
        const std::unique_ptr<char, decltype(&curl_free)> owned(text, &curl_free);
        out = text;
        return true;
    };
    if (!part(CURLUPART_SCHEME, origin.scheme, 0) || !part(CURLUPART_HOST, origin.host, 0) ||
        !part(CURLUPART_PORT, origin.port, CURLU_DEFAULT_PORT)) {
        return std::nullopt;
    }
    part(CURLUPART_QUERY, origin.query, 0);
    return origin;
}

bool carries_code(const std::string &query) {
    for (size_t at = 0; at != std::string::npos && at < query.size();) {
        if (query.compare(at, 5, "code=") == 0) {
            return true;
        }
        at = query.find('&', at);
        at = at == std::string::npos ? at : at + 1;
    }
    return false;
}

// The grant-code probe steps through the redirects itself, with HEAD requests, so that
// the hop meant for the application (one carrying "code=", or one leaving the host the
// probe began on) is handed to the callback and never requested: the grant code stays
// off the network. Refused with 2: a redirect from https to http, more than
// HTTP_TASK_MAX_REDIRECTS redirects, a URL that cannot be read.
void probe_steps(CURL *easy, const http_task_arg &arg) {
    using Clock = std::chrono::steady_clock;
    const long limit_ms = arg.timeout_ms > 0 ? arg.timeout_ms : HTTP_TASK_TIMEOUT_SECONDS * 1000L;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(limit_ms);
    const std::optional<Origin> start = origin_of(arg.url);
    std::string url = arg.url;
    std::optional<Origin> here = start;  // of `url`
    curl_easy_setopt(easy, CURLOPT_NOBODY, 1L);
    curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
    if (!start) {
        LOGE(kTag, "TASK-GET-URI: a URL that cannot be read, refused \n");
        finish(arg, RVE_FAILED, nullptr, 0);
        return;
    }
    for (long hop = 0;; hop++) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        curl_easy_setopt(easy, CURLOPT_TIMEOUT_MS, std::max(1L, static_cast<long>(left.count())));
        curl_easy_setopt(easy, CURLOPT_URL, url.c_str());
        const Performed performed = perform(easy);
        const rv::http::Transfer transfer = answered(easy, classify(performed.code));
        if (performed.code != CURLE_OK) {
            LOGE(kTag, "http request perform failed: %s\n", performed.text);
            finish(arg, RVE_FAILED, nullptr, 0, transfer);
            return;
        }
        char *location = nullptr;
        curl_easy_getinfo(easy, CURLINFO_REDIRECT_URL, &location);
        if (location == nullptr) {
            log_masked("TASK-GET-URI: redirect to uri = %s\n", url.c_str());
            finish(arg, RVE_OK, url.c_str(), url.size(), transfer);
            return;
        }
        const std::string next = location;
        const std::optional<Origin> there = origin_of(next.c_str());
        if (!there || (there->scheme != "http" && there->scheme != "https")) {
            LOGE(kTag, "TASK-GET-URI: redirect to a URL that is not http or https, refused \n");
            finish(arg, RVE_FAILED, nullptr, 0, transfer);
            return;
        }
        if (here->scheme == "https" && there->scheme != "https") {
            LOGE(kTag, "TASK-GET-URI: redirect from https to http refused \n");
            finish(arg, RVE_FAILED, nullptr, 0, transfer);
            return;
        }
        if (carries_code(there->query) || there->scheme != start->scheme ||
            there->host != start->host || there->port != start->port) {
            log_masked("TASK-GET-URI: redirect to uri = %s\n", next.c_str());
            finish(arg, RVE_OK, next.c_str(), next.size(), transfer);
            return;
        }
        if (hop >= HTTP_TASK_MAX_REDIRECTS) {
            LOGE(kTag, "TASK-GET-URI: more than %ld redirects, refused \n",
                 HTTP_TASK_MAX_REDIRECTS);
            finish(arg, RVE_FAILED, nullptr, 0, transfer);
            return;
        }
        url = next;
        here = there;
    }
}

// A task body cannot fail: memory running out while stepping answers with 5.
void run_probe(CURL *easy, const http_task_arg &arg) {
    try {
        probe_steps(easy, arg);
    } catch (const std::bad_alloc &) {
        finish(arg, RVE_NO_MEMORY, nullptr, 0);
    }
}

void run_transfer(void *argument, Kind kind) {
    HttpTaskArgPtr arg(static_cast<http_task_arg *>(argument));
    if (kind == Kind::kProbe) {
        log_masked("TASK-GET-URI: url = %s\n", arg->url);
    } else if (kind == Kind::kPost) {
        log_masked("TASK-POST: url = %s\n", arg->url);
        log_masked("TASK-POST: body = %s\n", arg->body);
    } else {
        log_masked("TASK-GET: url = %s\n", arg->url);
    }
    CURL *easy = thread_easy();
    if (easy == nullptr) {
        LOGE(kTag, "curl easy init failed\n");
        finish(*arg, RVE_FAILED, nullptr, 0);
        return;
    }
    set_common_options(easy, arg->cainfo);
    if (kind == Kind::kProbe) {
        run_probe(easy, *arg);
        return;
    }
    WriteBuffer buffer{RVE_OK, thread_body(),
                       arg->max_body_bytes > 0
                           ? std::min(arg->max_body_bytes, size_t{HTTP_TASK_MAX_BODY_BYTES})
                           : size_t{HTTP_TASK_MAX_BODY_BYTES}};
    curl_easy_setopt(easy, CURLOPT_TIMEOUT_MS,
                     arg->timeout_ms > 0 ? arg->timeout_ms : HTTP_TASK_TIMEOUT_SECONDS * 1000L);
    curl_easy_setopt(easy, CURLOPT_URL, arg->url);
    curl_easy_setopt(easy, CURLOPT_HEADER, 0L);
    curl_easy_setopt(easy, CURLOPT_VERBOSE,
                     static_cast<long>(s_debug_curl_verbose.load(std::memory_order_relaxed)));
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, write_data_cb);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, &buffer);
    if (arg->fresh_connection) {
        // A reused connection the server already closed would have libcurl send the
        // request again on a new one: a change must reach the service at most once.
        curl_easy_setopt(easy, CURLOPT_FRESH_CONNECT, 1L);
    }
    if (kind == Kind::kPost) {
        curl_easy_setopt(easy, CURLOPT_POST, 1L);
        curl_easy_setopt(easy, CURLOPT_POSTFIELDS, arg->body);
        curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE, static_cast<long>(std::strlen(arg->body)));
    }
    const Performed performed = perform(easy);
    const rv::http::Transfer transfer = answered(easy, classify(performed.code));
    if (performed.code != CURLE_OK) {
        LOGE(kTag, "http request perform failed: %s\n", performed.text);
        finish(*arg, RVE_FAILED, nullptr, 0, transfer);
        return;
    }
    if (buffer.error != RVE_OK || (kind == Kind::kPost && buffer.data.empty())) {
        LOGE(kTag, "%s",
             kind == Kind::kPost ? "check data failed \n" : "check recv data failed \n");
        finish(*arg, RVE_FAILED, nullptr, 0, {rv::http::Failure::Other, transfer.status, -1});
        return;
    }
    TASK_LOGV("http request data total size: %ld bytes\n", static_cast<long>(buffer.data.size()));
    print_write_data(buffer.data);
    finish(*arg, RVE_OK, buffer.data.empty() ? nullptr : buffer.data.c_str(), buffer.data.size(),
           transfer);
}

// What a streamed download learnt from its answer's head.
struct DownloadState {
    CURL *easy;
    rv::http::DownloadSink &sink;
    int64_t offset;
    std::string etag;
    int64_t range_first = -1;  // from Content-Range
    int64_t range_total = -1;
    bool begun = false;
    bool refused = false;  // not 2xx: the body is not the file's
};

std::string_view trimmed_value(std::string_view text) {
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) {
        return {};
    }
    const size_t last = text.find_last_not_of(" \t\r\n");
    return text.substr(first, last - first + 1);
}

size_t download_header_cb(char *line, size_t size, size_t count, void *user) {
    auto *state = static_cast<DownloadState *>(user);
    const std::string_view header(line, size * count);
    const size_t colon = header.find(':');
    if (colon == std::string_view::npos) {
        return size * count;
    }
    std::string name(header.substr(0, colon));
    std::transform(name.begin(), name.end(), name.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    const std::string_view value = trimmed_value(header.substr(colon + 1));
    if (name == "etag") {
        state->etag.assign(value);
    } else if (name == "content-range") {
        long long first = -1, last = -1, total = -1;
        if (std::sscanf(std::string(value).c_str(), "bytes %lld-%lld/%lld", &first, &last,
                        &total) >= 2) {
            state->range_first = first;
            state->range_total = total;
        }
    }
    return size * count;
}

bool download_begin(DownloadState &state) {
    state.begun = true;
    long status = 0;
    curl_easy_getinfo(state.easy, CURLINFO_RESPONSE_CODE, &status);
    if (status < 200 || status > 299) {
        state.refused = true;
        return true;
    }
    curl_off_t length = -1;
    curl_easy_getinfo(state.easy, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length);
    int64_t first = 0;
    int64_t total = length >= 0 ? static_cast<int64_t>(length) : -1;
    if (status == 206) {
        first = state.range_first;
        total = state.range_total;
    }
    return state.sink.begin(status, first, total, state.etag);
}

size_t download_write_cb(char *chunk, size_t size, size_t count, void *user) {
    auto *state = static_cast<DownloadState *>(user);
    const size_t n = size * count;
    if (!state->begun && !download_begin(*state)) {
        return 0;
    }
    if (state->refused) {
        return n;
    }
    return state->sink.write(chunk, n) ? n : 0;
}

int download_progress_cb(void *user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    return static_cast<DownloadState *>(user)->sink.stopped() ? 1 : 0;
}

}  // namespace

extern "C" http_task_arg *http_task_arg_new(void) {
    return static_cast<http_task_arg *>(std::calloc(1, sizeof(http_task_arg)));
}

extern "C" void http_task_arg_del(http_task_arg *arg) {
    if (arg == nullptr) {
        return;
    }
    str_free(arg->url);
    str_free(arg->body);
    str_free(arg->cainfo);
    std::free(arg);
}

extern "C" int http_task_init(void) {
    TASK_LOGV("http task init now \n");
    if (curl_global_init(CURL_GLOBAL_ALL) != CURLE_OK) {
        LOGE(kTag, "curl global init failed \n");
        return RVE_FAILED;
    }
    s_shared_connections = false;
    s_curl_share.reset(curl_share_init());
    if (s_curl_share) {
        CURLSH *share = s_curl_share.get();
        curl_share_setopt(share, CURLSHOPT_LOCKFUNC, share_lock);
        curl_share_setopt(share, CURLSHOPT_UNLOCKFUNC, share_unlock);
        curl_share_setopt(share, CURLSHOPT_SHARE, CURL_LOCK_DATA_DNS);
        s_shared_connections = s_share_connections.load() != 0;
        if (s_shared_connections) {
            curl_share_setopt(share, CURLSHOPT_SHARE, CURL_LOCK_DATA_CONNECT);
            curl_share_setopt(share, CURLSHOPT_SHARE, CURL_LOCK_DATA_SSL_SESSION);
        }
    }
    {
        std::lock_guard<std::mutex> lock(s_ca_lock);
        const char *env = std::getenv("RV_CA_FILE");
        try {
            s_env_ca = env != nullptr ? env : "";
        } catch (const std::bad_alloc &) {
            s_env_ca.clear();
        }
    }
    {
        std::lock_guard<std::mutex> lock(s_active_lock);
        s_aborting.store(false);
    }
    TASK_LOGV("http task init over \n");
    return RVE_OK;
}

extern "C" void http_task_final(void) {
    TASK_LOGV("http client final now \n");
    s_curl_share.reset();
    curl_global_cleanup();
    TASK_LOGV("http client final over \n");
}

extern "C" void *http_task_get(void *arg) {
    run_transfer(arg, Kind::kGet);
    return nullptr;
}

extern "C" void *http_task_post(void *arg) {
    run_transfer(arg, Kind::kPost);
    return nullptr;
}

extern "C" void *https_task_get(void *arg) {
    run_transfer(arg, Kind::kGet);
    return nullptr;
}

extern "C" void *https_task_post(void *arg) {
    run_transfer(arg, Kind::kPost);
    return nullptr;
}

extern "C" void *https_task_get_redirect_uri(void *arg) {
    run_transfer(arg, Kind::kProbe);
    return nullptr;
}

extern "C" void http_task_abort_all(void) {
    std::lock_guard<std::mutex> lock(s_active_lock);
    s_aborting.store(true);
    for (CURLM *multi : s_active) {
        curl_multi_wakeup(multi);
    }
}

extern "C" void http_task_discard(void *arg) {
    http_task_end(arg, RVE_NOT_READY);
}

extern "C" void http_task_end(void *arg, int result) {
    HttpTaskArgPtr owned(static_cast<http_task_arg *>(arg));
    finish(*owned, result, nullptr, 0);
}

const rv::http::Transfer &rv::http::current_transfer() {
    return t_transfer;
}

void http_task_set_app_ca(const char *path) {
    std::lock_guard<std::mutex> lock(s_ca_lock);
    try {
        s_app_ca_file = (path != nullptr) ? path : "";
    } catch (const std::bad_alloc &) {
        s_app_ca_file.clear();
    }
}

std::string http_task_default_ca() {
    std::lock_guard<std::mutex> lock(s_ca_lock);
    return default_ca_locked(lock);
}

extern "C" void http_task_verbose(int on) {
    s_debug_verbose.store(on, std::memory_order_relaxed);
}

extern "C" void http_task_data_verbose(int on) {
    s_debug_data_verbose.store(on, std::memory_order_relaxed);
}

extern "C" void http_task_http_verbose(int on) {
    s_debug_curl_verbose.store(on, std::memory_order_relaxed);
}

extern "C" void http_task_share_connections(int on) {
    s_share_connections.store(on, std::memory_order_relaxed);
}

rv::http::Failure rv::http::download(const char *url, int64_t offset, const std::string &if_range,
                                     DownloadSink &sink, long &status) {
    status = 0;
    log_masked("TASK-DOWNLOAD: url = %s\n", url);
    const std::unique_ptr<CURL, EasyDeleter> easy(curl_easy_init());
    if (!easy) {
        LOGE(kTag, "curl easy init failed\n");
        return Failure::Other;
    }
    set_common_options(easy.get(), nullptr);
    DownloadState state{easy.get(), sink, offset, {}};
    const std::string range = std::to_string(offset) + "-";
    if (offset > 0) {
        curl_easy_setopt(easy.get(), CURLOPT_RANGE, range.c_str());
    }
    const std::string condition = "If-Range: " + if_range;
    const std::unique_ptr<curl_slist, decltype(&curl_slist_free_all)> headers(
        offset > 0 && !if_range.empty() ? curl_slist_append(nullptr, condition.c_str()) : nullptr,
        &curl_slist_free_all);
    curl_easy_setopt(easy.get(), CURLOPT_HTTPHEADER, headers.get());
    curl_easy_setopt(easy.get(), CURLOPT_URL, url);
    curl_easy_setopt(easy.get(), CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy.get(), CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(easy.get(), CURLOPT_MAXREDIRS, HTTP_TASK_MAX_REDIRECTS);
    curl_easy_setopt(easy.get(), CURLOPT_CONNECTTIMEOUT, HTTP_TASK_TIMEOUT_SECONDS);
    curl_easy_setopt(easy.get(), CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(easy.get(), CURLOPT_LOW_SPEED_TIME, HTTP_TASK_TIMEOUT_SECONDS);
    curl_easy_setopt(easy.get(), CURLOPT_HEADERFUNCTION, download_header_cb);
    curl_easy_setopt(easy.get(), CURLOPT_HEADERDATA, &state);
    curl_easy_setopt(easy.get(), CURLOPT_WRITEFUNCTION, download_write_cb);
    curl_easy_setopt(easy.get(), CURLOPT_WRITEDATA, &state);
    curl_easy_setopt(easy.get(), CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(easy.get(), CURLOPT_XFERINFOFUNCTION, download_progress_cb);
    curl_easy_setopt(easy.get(), CURLOPT_XFERINFODATA, &state);
    const Performed performed = perform(easy.get());
    curl_easy_getinfo(easy.get(), CURLINFO_RESPONSE_CODE, &status);
    if (performed.code != CURLE_OK) {
        LOGE(kTag, "http download failed: %s\n", performed.text);
        return classify(performed.code);
    }
    // An empty file has no body to announce its head.
    if (!state.begun && !download_begin(state)) {
        return Failure::Stopped;
    }
    return Failure::None;
}
