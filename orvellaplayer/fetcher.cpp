#include "fetcher.h"

#include <curl/curl.h>

#include <arpa/inet.h>
#include <algorithm>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string_view>

extern "C" {
#include <libavutil/error.h>
#include <libavutil/log.h>
#include <libavutil/mem.h>
}

#include "dns_resolver.h"
#include "host_lookup.h"
#include "log.h"

namespace orv {
namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

constexpr const char *kUserAgent = "orvellaplayer/0.1";
constexpr long kConnectTimeoutS = 10;
constexpr long kSilentS = 10;  // a transfer that brings nothing this long is broken
constexpr auto kFirstRetry = 200ms;
constexpr auto kLongestRetry = 3s;
constexpr auto kReaderPoll = 20ms;
constexpr int kIoBufferSize = 32 * 1024;
constexpr std::int64_t kTailBytes = 64 * 1024;
constexpr std::size_t kTailSlack = 4096;
constexpr std::int64_t kRelayLength = 0x7fffffff;
constexpr std::size_t kMaxIcyMarks = 64;  // titles not yet reached by the reader

struct EasyFree {
    void operator()(CURL *e) const { curl_easy_cleanup(e); }
};
struct ListFree {
    void operator()(curl_slist *l) const { curl_slist_free_all(l); }
};
struct UrlFree {
    void operator()(CURLU *u) const { curl_url_cleanup(u); }
};
struct TextFree {
    void operator()(char *p) const { curl_free(p); }
};

void global_init() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

bool starts_with_nocase(std::string_view s, std::string_view prefix) {
    return s.size() >= prefix.size() &&
           std::equal(prefix.begin(), prefix.end(), s.begin(), [](char a, char b) {
               return std::tolower(static_cast<unsigned char>(a)) ==
                      std::tolower(static_cast<unsigned char>(b));
           });
}

std::string header_value(std::string_view v) {
    const std::size_t first = v.find_first_not_of(" \t");
    const std::size_t last = v.find_last_not_of(" \t\r\n");
    return first == std::string_view::npos ? std::string()
                                           : std::string(v.substr(first, last - first + 1));
}

// The entry for CURLOPT_RESOLVE ("host:port:addresses"), so that libcurl never looks the
// name up itself: its lookup threads, left behind by every abandoned fetch, have no cap;
// ours do (lookup_host). Empty when libcurl connects as given (an address, or a proxy that
// looks the name up); nothing when the name does not resolve (`name` says which).
std::optional<std::string> resolve_entry(const FetchOptions &o, const std::atomic<bool> &abort,
                                         std::string &name) {
    std::unique_ptr<CURLU, UrlFree> u(curl_url());
    if (!u || curl_url_set(u.get(), CURLUPART_URL, o.url.c_str(), 0) != CURLUE_OK) {
        return std::string();
    }
    char *raw_host = nullptr;
    char *raw_port = nullptr;
    curl_url_get(u.get(), CURLUPART_HOST, &raw_host, 0);
    curl_url_get(u.get(), CURLUPART_PORT, &raw_port, CURLU_DEFAULT_PORT);
    std::unique_ptr<char, TextFree> host(raw_host);
    std::unique_ptr<char, TextFree> port(raw_port);
    in_addr literal{};
    if (!host || !port || host.get()[0] == '[' || inet_pton(AF_INET, host.get(), &literal) == 1 ||
        !o.proxy.empty()) {
        return std::string();
    }
    name = host.get();
    const std::string prefix = name + ":" + port.get() + ":";
    if (!o.dns_server.empty()) {
        if (const auto ip = query_ipv4(o.dns_server, name, abort)) {
            return prefix + *ip;
        }
        if (!abort.load()) {
            warn("DNS server %s gave no address for %s; using the system resolver",
                 o.dns_server.c_str(), name.c_str());
        }
    }
    const auto addresses = lookup_host(name, abort, std::chrono::seconds(kConnectTimeoutS));
    return addresses ? std::optional<std::string>(prefix + *addresses) : std::nullopt;
}

}  // namespace

bool fetchable_url(std::string_view url) {
    std::unique_ptr<CURLU, UrlFree> u(curl_url());
    char *raw = nullptr;
    if (!u ||
        curl_url_set(u.get(), CURLUPART_URL, std::string(url).c_str(), CURLU_NON_SUPPORT_SCHEME) !=
            CURLUE_OK ||
        curl_url_get(u.get(), CURLUPART_SCHEME, &raw, 0) != CURLUE_OK) {
        return false;
    }
    const std::unique_ptr<char, TextFree> scheme(raw);
    return std::string_view(scheme.get()) == "http" || std::string_view(scheme.get()) == "https";
}

// One attempt at the resource, from byte `from` on.
struct Fetcher::Transfer {
    Fetcher *owner = nullptr;
    std::unique_ptr<CURL, EasyFree> easy;
    std::unique_ptr<curl_slist, ListFree> resolve;
    std::unique_ptr<curl_slist, ListFree> headers;
    std::unique_ptr<curl_slist, ListFree> aliases;
    std::uint64_t generation = 0;  // restart_ when it began
    std::int64_t from = 0;
    std::int64_t skip = 0;  // bytes of this answer we have already (a server without ranges)
    bool ranged = true;     // it asks for `from` on (else for the whole, skipping to it)
    bool tail = false;      // it fetches the end into tail_, beside the window
    std::uint64_t tail_generation = 0;
    std::int64_t delivered = 0;
    bool began = false;       // its body's first bytes arrived (head judged)
    bool rejected = false;    // its head said no: the write callback ended it
    bool unresolved = false;  // never started: its host has no address
    bool retry = false;       // ... but a later attempt may do better (a server error)
    // Of this answer's head, as the header callback saw it.
    bool accept_ranges = false;
    bool refuse_ranges = false;
    bool icy = false;
    std::size_t metaint = 0;   // audio bytes between its ICY metadata blocks; 0: none
    bool bad_metaint = false;  // blocks are said to come, but not where
    std::optional<IcyStripper> stripper;
    std::int64_t range_start = -1;
    std::int64_t range_total = -1;
    std::string etag;
    std::string last_modified;
    char error[CURL_ERROR_SIZE] = {};
};

Fetcher::Fetcher(FetchOptions options)
    : options_(std::move(options)),
      max_bytes_(std::clamp(options_.max_bytes, kMinReadAheadBytes, kMaxReadAheadBytes)),
      progress_at_(Clock::now()) {
    global_init();
    multi_ = curl_multi_init();
    try {
        thread_ = std::thread([this] {
            if (!guarded("fetcher", [this] { run(); })) {
                std::lock_guard lock(mu_);
                failed_ = failed_ != 0 ? failed_ : AVERROR(ENOMEM);
                end_ = End::Failed;
                cv_.notify_all();
            }
        });
    } catch (...) {
        curl_multi_cleanup(static_cast<CURLM *>(multi_));
        throw;
    }
}

Fetcher::~Fetcher() {
    {
        std::lock_guard lock(mu_);
        stop_ = true;
    }
    abort_.store(true);
    if (multi_ != nullptr) {
        curl_multi_wakeup(static_cast<CURLM *>(multi_));
    }
    thread_.join();
    if (multi_ != nullptr) {
        curl_multi_cleanup(static_cast<CURLM *>(multi_));
    }
}

bool Fetcher::start_transfer(Transfer &t) {
    t.easy.reset(curl_easy_init());
    CURL *e = t.easy.get();
    if (e == nullptr) {
        return false;
    }
    // What keeps the fetch safe (protocols, TLS checks, CA, proxy, resolver) is set or the
    // transfer is not made: a refused option would otherwise be silently left out.
    bool kept = true;
    const auto require = [&kept](CURLcode rc) { kept = kept && rc == CURLE_OK; };
    // Looked up once per source: a resume or a look at the end uses the first answer
    // instead of waiting on the resolver again. A name without one is asked again next time.
    if (!pinned_) {
        std::string name;
        pinned_ = resolve_entry(options_, abort_, name);
        if (!pinned_) {
            std::snprintf(t.error, sizeof t.error, "Could not resolve host: %s", name.c_str());
            t.unresolved = true;
            return false;
        }
    }
    if (!pinned_->empty()) {
        t.resolve.reset(curl_slist_append(nullptr, pinned_->c_str()));
        require(t.resolve ? curl_easy_setopt(e, CURLOPT_RESOLVE, t.resolve.get())
                          : CURLE_OUT_OF_MEMORY);
    }
    require(curl_easy_setopt(e, CURLOPT_URL, options_.url.c_str()));
    require(curl_easy_setopt(e, CURLOPT_PROTOCOLS_STR, "http,https"));
    require(curl_easy_setopt(e, CURLOPT_REDIR_PROTOCOLS_STR, "http,https"));
    require(curl_easy_setopt(e, CURLOPT_SSL_VERIFYPEER, 1L));
    require(curl_easy_setopt(e, CURLOPT_SSL_VERIFYHOST, 2L));
    curl_easy_setopt(e, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(e, CURLOPT_MAXREDIRS, 10L);
    curl_easy_setopt(e, CURLOPT_USERAGENT, kUserAgent);
    curl_easy_setopt(e, CURLOPT_NOSIGNAL, 1L);
    // A name lookup still running is left to finish on its own: nothing waits for it.
    curl_easy_setopt(e, CURLOPT_QUICK_EXIT, 1L);
    curl_easy_setopt(e, CURLOPT_CONNECTTIMEOUT, kConnectTimeoutS);
    // Nothing else would use the connection again: a fetch is one resource.
    curl_easy_setopt(e, CURLOPT_FORBID_REUSE, 1L);
    curl_easy_setopt(e, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(e, CURLOPT_LOW_SPEED_TIME, kSilentS);
    curl_easy_setopt(e, CURLOPT_ERRORBUFFER, t.error);
    if (!options_.ca_file.empty()) {
        require(curl_easy_setopt(e, CURLOPT_CAINFO, options_.ca_file.c_str()));
    }
    if (!options_.proxy.empty()) {
        require(curl_easy_setopt(e, CURLOPT_PROXY, options_.proxy.c_str()));
    }
    if (!kept) {
        return false;
    }
    // Stations send their song titles in band only to a client that asks; other servers
    // ignore the header. on_body() takes the blocks out again.
    t.headers.reset(curl_slist_append(nullptr, "Icy-MetaData: 1"));
    if (t.from > 0 && t.ranged && !validator_.empty()) {
        // A file changed since its first answer comes whole (200), not spliced on.
        const std::string if_range = "If-Range: " + validator_;
        if (!t.headers || curl_slist_append(t.headers.get(), if_range.c_str()) == nullptr) {
            return false;
        }
    }
    curl_easy_setopt(e, CURLOPT_HTTPHEADER, t.headers.get());
    // SHOUTcast v1 answers with its own status line; without the alias libcurl takes the
    // answer for HTTP/0.9 and refuses it. Only the success line is an alias: any other
    // ICY status stays a failure.
    t.aliases.reset(curl_slist_append(nullptr, "ICY 200"));
    curl_easy_setopt(e, CURLOPT_HTTP200ALIASES, t.aliases.get());
    if (t.from > 0 && t.ranged) {
        const std::string range = std::to_string(t.from) + "-";
        curl_easy_setopt(e, CURLOPT_RANGE, range.c_str());
    }
    curl_easy_setopt(e, CURLOPT_HEADERFUNCTION, &Fetcher::on_header);
    curl_easy_setopt(e, CURLOPT_HEADERDATA, &t);
    curl_easy_setopt(e, CURLOPT_WRITEFUNCTION, &Fetcher::on_write);
    curl_easy_setopt(e, CURLOPT_WRITEDATA, &t);
    curl_easy_setopt(e, CURLOPT_PRIVATE, &t);
    return curl_multi_add_handle(static_cast<CURLM *>(multi_), e) == CURLM_OK;
}

void Fetcher::run() {
    auto *multi = static_cast<CURLM *>(multi_);
    std::unique_ptr<Transfer> main;  // the window's
    std::unique_ptr<Transfer> tail;  // the end's, for a demuxer that looks there first
    std::chrono::milliseconds backoff = kFirstRetry;
    Clock::time_point retry_at{};
    auto drop = [multi](std::unique_ptr<Transfer> &t) {
        if (t) {
            curl_multi_remove_handle(multi, t->easy.get());
            t.reset();
        }
    };
    auto begin = [this](std::unique_ptr<Transfer> &t, std::int64_t from, bool is_tail) {
        t = std::make_unique<Transfer>();
        t->owner = this;
        t->generation = restart_;
        t->from = from;
        t->tail = is_tail;
        t->tail_generation = tail_generation_;
        t->ranged = is_tail || !head_.no_ranges;
    };
    auto end_main = [&](int curl_code) {
        const bool progressed = main->delivered > 0;
        const bool again = finish_transfer(*main, curl_code);
        drop(main);
        if (progressed) {
            backoff = kFirstRetry;
        }
        if (again) {
            retry_at = Clock::now() + backoff;
            backoff = std::min<std::chrono::milliseconds>(backoff * 2, kLongestRetry);
        }
    };
    while (multi != nullptr) {
        bool unpause = false;
        bool begun = false;
        bool tail_begun = false;
        {
            std::unique_lock lock(mu_);
            if (stop_) {
                break;
            }
            if (main && main->generation != restart_) {
                paused_ = false;
                drop(main);
                backoff = kFirstRetry;
                retry_at = {};
            }
            if (!main && failed_ == 0 && end_ == End::None && Clock::now() >= retry_at &&
                (head_.size < 0 || window_end_locked() < head_.size)) {
                begin(main, window_end_locked(), false);
                begun = true;
            }
            if (!tail && tail_state_ == Tail::Wanted) {
                begin(tail, tail_start_, true);
                tail_state_ = Tail::Fetching;
                tail_begun = true;
            }
            if (main && paused_ && make_room_locked()) {
                paused_ = false;
                unpause = true;
                progress_at_ = Clock::now();  // waiting for room is not being stuck
            }
            give_up_if_stuck_locked();
        }
        const bool main_set = !begun || start_transfer(*main);
        const bool tail_set = !tail_begun || start_transfer(*tail);
        if (abort_.load()) {
            break;  // stopped while the name was looked up
        }
        if ((!main_set && !main->unresolved) || (!tail_set && !tail->unresolved)) {
            std::lock_guard lock(mu_);
            failed_ = AVERROR(ENOMEM);
            why_ = "the request could not be set up as asked (memory, TLS, CA, proxy)";
            cv_.notify_all();
            break;
        }
        // An unresolved name ends its transfer as libcurl's own failed lookup would.
        if (!tail_set) {
            finish_tail(*tail, CURLE_COULDNT_RESOLVE_HOST);
            drop(tail);
        }
        if (!main_set) {
            end_main(CURLE_COULDNT_RESOLVE_HOST);
        }
        if (unpause) {
            curl_easy_pause(main->easy.get(), CURLPAUSE_CONT);
        }
        int running = 0;
        curl_multi_perform(multi, &running);
        int left = 0;
        while (CURLMsg *msg = curl_multi_info_read(multi, &left)) {
            if (msg->msg != CURLMSG_DONE) {
                continue;
            }
            if (tail && msg->easy_handle == tail->easy.get()) {
                finish_tail(*tail, msg->data.result);
                drop(tail);
            } else if (main && msg->easy_handle == main->easy.get()) {
                end_main(msg->data.result);
            }
        }
        int wait_ms = 1000;
        if (!main && retry_at > Clock::now()) {
            wait_ms = static_cast<int>(
                std::chrono::ceil<std::chrono::milliseconds>(retry_at - Clock::now()).count());
        }
        curl_multi_poll(multi, nullptr, 0, wait_ms, nullptr);
    }
    drop(tail);
    drop(main);
    std::lock_guard lock(mu_);
    if (failed_ == 0 && multi == nullptr) {
        failed_ = AVERROR(ENOMEM);
    }
    cv_.notify_all();
}

void Fetcher::give_up_if_stuck_locked() {
    const bool wants = failed_ == 0 && end_ == End::None && !paused_ &&
                       (head_.size < 0 || window_end_locked() < head_.size);
    if (!wants || Clock::now() - progress_at_ < kGiveUpAfter) {
        return;
    }
    failed_ = AVERROR(ETIMEDOUT);
    why_ = "nothing came for " + std::to_string(kGiveUpAfter.count()) + " s";
    end_ = End::Failed;
    cv_.notify_all();
}

void Fetcher::finish_tail(Transfer &t, int curl_code) {
    std::lock_guard lock(mu_);
    if (tail_state_ == Tail::Fetching && t.tail_generation == tail_generation_) {
        tail_state_ = curl_code == CURLE_OK && !t.rejected ? Tail::Ready : Tail::Failed;
    }
    cv_.notify_all();
}

// Whether another attempt should follow, after a pause.
bool Fetcher::finish_transfer(Transfer &t, int curl_code) {
    std::lock_guard lock(mu_);
    if (t.generation != restart_) {
        return false;
    }
    flowing_ = false;
    const auto code = static_cast<CURLcode>(curl_code);
    if (code == CURLE_OK && !t.began && !t.rejected) {
        long status = 0;
        curl_easy_getinfo(t.easy.get(), CURLINFO_RESPONSE_CODE, &status);
        take_head_locked(t, status);  // an empty body
    }
    cv_.notify_all();
    if (t.rejected) {
        if (!t.retry || !head_ready_) {
            end_ = End::Failed;
        }
        return t.retry && head_ready_;
    }
    if (code != CURLE_OK && !head_ready_) {
        // The source was never had: no point in knocking again, the caller is told.
        failed_ = code == CURLE_UNSUPPORTED_PROTOCOL ? AVERROR(EPROTONOSUPPORT) : AVERROR(EIO);
        why_ = t.error[0] != '\0' ? t.error : curl_easy_strerror(code);
        end_ = End::Failed;
        return false;
    }
    if (head_.size < 0) {
        if (code != CURLE_OK && head_.ranges && !head_.icy) {
            return true;  // a file without a length from a host with ranges: at the byte
        }
        end_ = code == CURLE_OK ? End::Clean : End::Broken;
        return false;
    }
    if (window_end_locked() >= head_.size) {
        end_ = End::Clean;
        return false;
    }
    return true;  // broke off short of the length: the rest is asked for from where it broke
}

void Fetcher::take_head_locked(Transfer &t, long status) {
    t.began = true;
    if (status < 200 || status >= 300) {
        t.rejected = true;
        t.retry = status >= 500 || status == 0;
        if (!head_ready_) {
            failed_ = status == 404   ? AVERROR_HTTP_NOT_FOUND
                      : status == 403 ? AVERROR_HTTP_FORBIDDEN
                      : status >= 500 ? AVERROR_HTTP_SERVER_ERROR
                                      : AVERROR_HTTP_OTHER_4XX;
            why_ = "HTTP " + std::to_string(status);
        }
        return;
    }
    if (t.bad_metaint) {
        t.rejected = true;
        failed_ = AVERROR_INVALIDDATA;
        why_ = "icy-metaint unusable";
        return;
    }
    curl_off_t length = -1;
    curl_easy_getinfo(t.easy.get(), CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length);
    if (head_ready_ && status == 206 && t.range_start < 0) {
        // A part that does not say where it starts cannot be placed: read the whole again.
        t.rejected = true;
        t.retry = true;
        head_.no_ranges = true;
        return;
    }
    if (head_ready_ && head_.size < 0 && status != 206) {
        // A whole answer to the resume of a body without a length: a stream after all, whose
        // present is no continuation of ours. It ends as broken, to be opened again.
        t.rejected = true;
        return;
    }
    if (head_ready_ && !same_source_locked(t, status, length)) {
        // Bytes of another file would be spliced onto ours: the source is lost.
        t.rejected = true;
        failed_ = AVERROR(ESTALE);
        why_ = "the source changed while it was read";
        return;
    }
    if (status == 206 && t.range_start >= 0) {
        t.skip = t.from - t.range_start;
        if (t.skip < 0) {  // more than asked for is fine, a gap is not
            t.rejected = true;
            t.retry = true;
            return;
        }
    } else {
        t.skip = t.from;  // the whole body again: what we have is dropped as it comes
        head_.no_ranges = head_.no_ranges || t.from > 0;
    }
    if (head_ready_) {
        return;
    }
    // Kept to make sure that a resume continues this very file.
    etag_ = t.etag;
    validator_ = !t.etag.empty() && !starts_with_nocase(t.etag, "W/") ? t.etag : t.last_modified;
    char *type = nullptr;
    curl_easy_getinfo(t.easy.get(), CURLINFO_CONTENT_TYPE, &type);
    char *location = nullptr;
    curl_easy_getinfo(t.easy.get(), CURLINFO_EFFECTIVE_URL, &location);
    head_.size = status == 206 && t.range_start >= 0 ? t.range_total
                 : length >= 0                       ? t.from + length
                                                     : -1;
    head_.ranges = status == 206 || t.accept_ranges;
    // A length with ICY blocks is not the audio's; one of 2 GiB or more from a host that
    // does not range is a relay's stand-in for "endless" (a live station), not a file.
    if (head_.size == 0 || t.metaint > 0 || (!head_.ranges && head_.size >= kRelayLength)) {
        head_.size = -1;
    }
    head_.no_ranges = t.refuse_ranges;
    head_.icy = t.icy;
    head_.mime_type = type != nullptr ? type : "";
    head_.location = location != nullptr ? location : options_.url;
    head_ready_ = true;
}

bool Fetcher::same_source_locked(const Transfer &t, long status, std::int64_t length) const {
    if (status == 206) {  // its total must be ours
        return t.range_total < 0 || head_.size < 0 || t.range_total == head_.size;
    }
    // A whole answer to a resume: the host has no ranges, or (If-Range) the file changed.
    return (etag_.empty() || t.etag.empty() || t.etag == etag_) &&
           (head_.size < 0 || length < 0 || length == head_.size);
}

std::size_t Fetcher::on_header(char *data, std::size_t size, std::size_t n, void *opaque) {
    std::size_t taken = 0;  // none: libcurl ends the transfer as broken off
    guarded("header",
            [&] { taken = take_header(*static_cast<Transfer *>(opaque), data, size * n); });
    return taken;
}

std::size_t Fetcher::take_header(Transfer &t, const char *data, std::size_t bytes) {
    const std::string_view line(data, bytes);
    if (starts_with_nocase(line, "HTTP/") || starts_with_nocase(line, "ICY ")) {  // a new answer
        t.accept_ranges = t.refuse_ranges = false;
        t.icy = false;
        t.metaint = 0;
        t.bad_metaint = false;
        t.range_start = t.range_total = -1;
        t.etag.clear();
        t.last_modified.clear();
    } else if (starts_with_nocase(line, "etag:")) {
        t.etag = header_value(line.substr(5));
    } else if (starts_with_nocase(line, "last-modified:")) {
        t.last_modified = header_value(line.substr(14));
    } else if (starts_with_nocase(line, "accept-ranges:")) {
        t.accept_ranges = line.find("bytes") != std::string_view::npos;
        t.refuse_ranges = line.find("none") != std::string_view::npos;
    } else if (starts_with_nocase(line, "icy-")) {
        t.icy = true;
        if (starts_with_nocase(line, "icy-metaint:")) {
            // Any interval is kept to: the blocks were asked for, and one left in would
            // be decoded as audio.
            const std::string value = header_value(line.substr(12));
            std::size_t metaint = 0;
            const auto [end, ec] =
                std::from_chars(value.data(), value.data() + value.size(), metaint);
            t.bad_metaint = ec != std::errc() || end != value.data() + value.size() || metaint == 0;
            t.metaint = t.bad_metaint ? 0 : metaint;
        }
    } else if (starts_with_nocase(line, "content-range:")) {
        long long first = -1;
        long long last = -1;
        long long total = -1;
        const std::string text(line.substr(14));
        if (std::sscanf(text.c_str(), " bytes %lld-%lld/%lld", &first, &last, &total) >= 2) {
            t.range_start = first;
            t.range_total = total;
        }
    }
    return bytes;
}

std::size_t Fetcher::on_write(char *data, std::size_t size, std::size_t n, void *opaque) {
    auto &t = *static_cast<Transfer *>(opaque);
    std::size_t taken = 0;
    guarded("body", [&] { taken = t.owner->on_body(t, data, size * n); });
    return taken;
}

std::size_t Fetcher::on_body(Transfer &t, const char *data, std::size_t n) {
    if (t.tail || t.metaint == 0) {
        return deliver(t, data, n, {});
    }
    if (!t.stripper) {
        t.stripper.emplace(t.metaint);
    }
    // The stripper's new state is kept only once the audio is taken: a pause for room
    // brings the same bytes again.
    IcyStripper next = *t.stripper;
    std::vector<std::uint8_t> audio;
    std::vector<IcyStripper::Mark> marks;
    next.feed({reinterpret_cast<const std::uint8_t *>(data), n}, audio, marks);
    const std::size_t taken =
        deliver(t, reinterpret_cast<const char *>(audio.data()), audio.size(), marks);
    if (taken != audio.size()) {
        return taken == CURL_WRITEFUNC_PAUSE ? taken : 0;
    }
    *t.stripper = std::move(next);
    return n;
}

std::size_t Fetcher::deliver(Transfer &t, const char *data, std::size_t n,
                             std::span<IcyStripper::Mark> marks) {
    std::lock_guard lock(mu_);
    if (stop_) {
        return 0;
    }
    if (n > 0) {
        progress_at_ = Clock::now();
    }
    if (t.tail) {
        const bool current = t.tail_generation == tail_generation_;
        long status = 0;
        curl_easy_getinfo(t.easy.get(), CURLINFO_RESPONSE_CODE, &status);
        if (current && status == 200 && same_source_locked(t, status, -1)) {
            head_.no_ranges = true;  // it sent the whole: the reader waits for the window
        }
        // Only the part asked for, from where it was asked for, is the end of this file.
        if (!current || status != 206 || t.range_start != tail_start_ ||
            !same_source_locked(t, status, -1) || tail_.size() + n > kTailBytes + kTailSlack) {
            t.rejected = true;
            return 0;
        }
        tail_.insert(tail_.end(), data, data + n);
        cv_.notify_all();
        return n;
    }
    if (t.generation != restart_) {
        return 0;
    }
    if (!t.began) {
        long status = 0;
        curl_easy_getinfo(t.easy.get(), CURLINFO_RESPONSE_CODE, &status);
        take_head_locked(t, status);
        cv_.notify_all();
    }
    if (t.rejected) {
        return 0;
    }
    if (!make_room_locked()) {
        paused_ = true;
        return CURL_WRITEFUNC_PAUSE;  // the same bytes come again once there is room
    }
    const std::size_t skipped =
        static_cast<std::size_t>(std::min<std::int64_t>(t.skip, static_cast<std::int64_t>(n)));
    t.skip -= static_cast<std::int64_t>(skipped);
    std::size_t take = n - skipped;
    if (head_.size >= 0) {  // never past the length, whatever follows
        take = static_cast<std::size_t>(std::clamp<std::int64_t>(
            head_.size - window_end_locked(), 0, static_cast<std::int64_t>(take)));
    }
    for (IcyStripper::Mark &mark : marks) {
        if (mark.at >= skipped && mark.at - skipped <= take) {
            if (icy_marks_.size() == kMaxIcyMarks) {
                icy_marks_.pop_front();
            }
            icy_marks_.emplace_back(
                window_end_locked() + static_cast<std::int64_t>(mark.at - skipped),
                std::move(mark.now));
        }
    }
    window_.insert(window_.end(), data + skipped, data + skipped + take);
    flowing_ = true;
    t.delivered += static_cast<std::int64_t>(take);
    if (take > 0) {
        cv_.notify_all();
    }
    return n;
}

// Bytes behind the reader go first; false when the buffer is still full of unread ones.
bool Fetcher::make_room_locked() {
    const auto limit = static_cast<std::size_t>(max_bytes_);
    if (window_.size() >= limit) {
        const auto behind = static_cast<std::size_t>(read_pos_ - window_start_);
        const std::size_t drop = std::min(behind, window_.size() - limit + 1);
        window_.erase(window_.begin(), window_.begin() + static_cast<std::ptrdiff_t>(drop));
        window_start_ += static_cast<std::int64_t>(drop);
    }
    return window_.size() < limit;
}

bool Fetcher::wait_locked(std::unique_lock<std::mutex> &lock, const AVIOInterruptCB *interrupt) {
    if (interrupt != nullptr && interrupt->callback != nullptr) {
        lock.unlock();
        const bool stop = interrupt->callback(interrupt->opaque) != 0;
        lock.lock();
        if (stop) {
            return false;
        }
    }
    cv_.wait_for(lock, kReaderPoll);
    return true;
}

int Fetcher::wait_head(const AVIOInterruptCB *interrupt, std::string *why) {
    std::unique_lock lock(mu_);
    while (!head_ready_ && failed_ == 0) {
        if (!wait_locked(lock, interrupt)) {
            return AVERROR_EXIT;
        }
    }
    if (failed_ != 0 && why != nullptr) {
        *why = why_;
    }
    return head_ready_ ? 0 : failed_;
}

FetchHead Fetcher::head() const {
    std::lock_guard lock(mu_);
    return head_;
}

int Fetcher::read(std::uint8_t *buf, int size, const AVIOInterruptCB *interrupt) {
    std::unique_lock lock(mu_);
    while (in_tail_) {
        const std::int64_t have = tail_start_ + static_cast<std::int64_t>(tail_.size()) - tail_pos_;
        if (have > 0 && size > 0) {
            const auto n = static_cast<std::size_t>(std::min<std::int64_t>(have, size));
            std::memcpy(buf, tail_.data() + (tail_pos_ - tail_start_), n);
            tail_pos_ += static_cast<std::int64_t>(n);
            return static_cast<int>(n);
        }
        if (tail_state_ == Tail::Ready) {
            return AVERROR_EOF;
        }
        if (tail_state_ == Tail::Failed && !head_.no_ranges && !flowing_) {
            return AVERROR(EIO);  // nothing else brings the end now: do without it
        }
        if (tail_state_ == Tail::Failed) {
            // The end comes with the rest of the body instead (the host has no ranges
            // after all, or refused this one request): the reader waits for the window.
            in_tail_ = false;
            read_pos_ = tail_pos_;
            end_via_window_ = true;
            break;
        }
        if (!wait_locked(lock, interrupt)) {
            return AVERROR_EXIT;
        }
    }
    for (;;) {
        const std::int64_t have = window_end_locked() - read_pos_;
        if (have > 0 && size > 0) {
            const auto n = static_cast<std::size_t>(std::min<std::int64_t>(have, size));
            const auto at =
                window_.begin() + static_cast<std::ptrdiff_t>(read_pos_ - window_start_);
            std::copy(at, at + static_cast<std::ptrdiff_t>(n), buf);
            read_pos_ += static_cast<std::int64_t>(n);
            if (paused_) {
                curl_multi_wakeup(static_cast<CURLM *>(multi_));
            }
            return static_cast<int>(n);
        }
        if (failed_ != 0) {
            return failed_;
        }
        if (end_ == End::Clean || (head_.size >= 0 && read_pos_ >= head_.size)) {
            return AVERROR_EOF;
        }
        if (end_ != End::None) {
            return AVERROR(ECONNRESET);
        }
        if (end_via_window_ && !flowing_) {
            // The body that was to bring the end broke off: waiting for a resume would
            // hold the open for as long as the host refuses, for a look at tags.
            return AVERROR(EIO);
        }
        if (!wait_locked(lock, interrupt)) {
            return AVERROR_EXIT;
        }
    }
}

std::int64_t Fetcher::seek(std::int64_t pos) {
    std::lock_guard lock(mu_);
    end_via_window_ = false;
    if (pos < 0 || (head_.size >= 0 && pos > head_.size)) {
        return AVERROR(EINVAL);
    }
    if (pos >= window_start_ && pos <= window_end_locked()) {
        in_tail_ = false;
        read_pos_ = pos;
        return pos;
    }
    if (head_.size < 0) {
        return AVERROR(EINVAL);
    }
    // A look at the end (tags, an index) while the window fills from the front: fetched
    // beside it, so the read-ahead (or a prefetch) is not thrown away for it.
    if (pos > window_end_locked() && head_.size - pos <= kTailBytes && !head_.no_ranges) {
        if (tail_state_ == Tail::None || tail_state_ == Tail::Failed || tail_start_ > pos) {
            tail_.clear();
            tail_start_ = std::max(head_.size - kTailBytes, window_end_locked());
            tail_state_ = Tail::Wanted;
            ++tail_generation_;
            curl_multi_wakeup(static_cast<CURLM *>(multi_));
        }
        in_tail_ = true;
        tail_pos_ = pos;
        return pos;
    }
    in_tail_ = false;
    window_.clear();
    icy_marks_.clear();
    window_start_ = read_pos_ = pos;
    // A fetch that was done or waiting for room was not stuck: its clock starts now. One
    // that was waiting for bytes keeps it, however often a demuxer seeks about.
    if (end_ != End::None || paused_) {
        progress_at_ = Clock::now();
    }
    end_ = End::None;
    ++restart_;
    curl_multi_wakeup(static_cast<CURLM *>(multi_));
    return pos;
}

std::vector<NowPlaying> Fetcher::take_now_playing(std::int64_t upto) {
    std::lock_guard lock(mu_);
    std::vector<NowPlaying> out;
    while (!icy_marks_.empty() && icy_marks_.front().first <= upto) {
        out.push_back(std::move(icy_marks_.front().second));
        icy_marks_.pop_front();
    }
    return out;
}

std::int64_t Fetcher::position() const {
    std::lock_guard lock(mu_);
    return in_tail_ ? tail_pos_ : read_pos_;
}

std::int64_t Fetcher::fetched() const {
    std::lock_guard lock(mu_);
    return window_end_locked();
}

bool Fetcher::complete() const {
    std::lock_guard lock(mu_);
    return head_.size >= 0 && window_end_locked() >= head_.size;
}

bool Fetcher::failed() const {
    std::lock_guard lock(mu_);
    return failed_ != 0 || end_ == End::Failed;
}

bool Fetcher::ended_cleanly() const {
    std::lock_guard lock(mu_);
    return end_ == End::Clean;
}

void Fetcher::set_limit(std::int64_t max_bytes) {
    std::lock_guard lock(mu_);
    max_bytes_ = std::clamp(max_bytes, kMinReadAheadBytes, kMaxReadAheadBytes);
    curl_multi_wakeup(static_cast<CURLM *>(multi_));
}

Clock::time_point Fetcher::progress_at() const {
    std::lock_guard lock(mu_);
    return progress_at_;
}

std::size_t Fetcher::buffered_bytes() const {
    std::lock_guard lock(mu_);
    return window_.size();
}

// The reader over it.

namespace {

AVClass fetch_io_class() {
    AVClass c{};
    c.class_name = "orvellaplayer fetch";
    c.item_name = av_default_item_name;
    c.version = LIBAVUTIL_VERSION_INT;
    return c;
}

const AVClass kFetchIoClass = fetch_io_class();

}  // namespace

IoOpaque io_opaque(void *self) {
    return {&kFetchIoClass, self};
}

FetchIo::FetchIo(std::unique_ptr<Fetcher> fetcher, const AVIOInterruptCB &interrupt)
    : opaque_(io_opaque(this)), fetcher_(std::move(fetcher)), interrupt_(interrupt) {}

FetchIo::~FetchIo() {
    if (io_ != nullptr) {
        av_freep(&io_->buffer);
        avio_context_free(&io_);
    }
}

std::unique_ptr<FetchIo> FetchIo::open(std::unique_ptr<Fetcher> fetcher,
                                       const AVIOInterruptCB &interrupt, int *error,
                                       std::string *why) {
    *error = fetcher->wait_head(&interrupt, why);
    if (*error != 0) {
        return nullptr;
    }
    std::unique_ptr<FetchIo> io(new FetchIo(std::move(fetcher), interrupt));
    auto *buffer = static_cast<unsigned char *>(av_malloc(kIoBufferSize));
    if (buffer == nullptr) {
        *error = AVERROR(ENOMEM);
        return nullptr;
    }
    io->io_ = avio_alloc_context(buffer, kIoBufferSize, 0, &io->opaque_, &FetchIo::read, nullptr,
                                 &FetchIo::seek);
    if (io->io_ == nullptr) {
        av_free(buffer);
        *error = AVERROR(ENOMEM);
        return nullptr;
    }
    const FetchHead head = io->fetcher_->head();
    io->io_->seekable = head.size > 0 && !head.no_ranges ? AVIO_SEEKABLE_NORMAL : 0;
    // Every seek comes to the fetcher, which knows what is in hand: FFmpeg would otherwise
    // read its way to a target up to 32 KiB ahead (a look at a short file's end for tags),
    // waiting on bytes that may never come instead of fetching the end beside the buffer.
    io->io_->direct = io->io_->seekable != 0 ? 1 : 0;
    return io;
}

int FetchIo::read(void *opaque, std::uint8_t *buf, int size) {
    auto *self = static_cast<FetchIo *>(static_cast<IoOpaque *>(opaque)->self);
    return self->fetcher_->read(buf, size, &self->interrupt_);
}

std::int64_t FetchIo::seek(void *opaque, std::int64_t offset, int whence) {
    auto *self = static_cast<FetchIo *>(static_cast<IoOpaque *>(opaque)->self);
    const std::int64_t size = self->fetcher_->head().size;
    std::int64_t pos = AVERROR(EINVAL);
    switch (whence & ~AVSEEK_FORCE) {
        case AVSEEK_SIZE:
            return size >= 0 ? size : AVERROR(ENOSYS);
        case SEEK_SET:
            pos = self->fetcher_->seek(offset);
            break;
        case SEEK_CUR:
            pos = self->fetcher_->seek(self->fetcher_->position() + offset);
            break;
        case SEEK_END:
            pos = size >= 0 ? self->fetcher_->seek(size + offset) : AVERROR(EINVAL);
            break;
        default:
            break;
    }
    // FFmpeg keeps a read error until the context is closed, and hands it out for the end
    // of the file instead of AVERROR_EOF: a failed look at the end (tags) would turn a
    // file heard whole into an error. A read at the new place has its own outcome.
    if (pos >= 0 && self->io_ != nullptr) {
        self->io_->error = 0;
    }
    return pos;
}

}  // namespace orv
