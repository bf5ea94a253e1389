#include "engine.h"

#include <sys/stat.h>

#include "log.h"
#include "orvellaplayer.h"

extern "C" {
#include <libavutil/log.h>
}

namespace orv {
namespace {

// A path of a regular local file (a downloaded item): it needs no fetch ahead.
bool local_file(const std::string &path) {
    struct stat st {};
    return !path.empty() && path.front() == '/' && ::stat(path.c_str(), &st) == 0 &&
           S_ISREG(st.st_mode);
}

}  // namespace

Engine &Engine::instance() {
    static Engine engine;
    return engine;
}

Engine::Engine() {
    av_log_set_level(AV_LOG_ERROR);
}

void Engine::init() {
    reset();
}

void Engine::finalize() {
    reset();
    retirer_.await_idle();  // nothing of ours runs once finalize returns
    events_.stop();
    report_repeats();
}

void Engine::end_session_locked() {
    retirer_.retire(std::move(session_));
    events_.set_generation(++generation_);
}

std::uint64_t Engine::source() {
    std::lock_guard lock(mu_);
    return generation_;
}

void Engine::set_source(const char *url) {
    std::lock_guard lock(mu_);
    url_ = url != nullptr ? url : "";
    settings_.duration_override_ms.store(-1);
}

void Engine::drop_parked_locked() {
    retirer_.retire(std::move(parked_));
}

int Engine::prepare(int start_ms, bool paused) {
    std::lock_guard lock(mu_);
    std::unique_ptr<Session> moved = std::move(parked_);
    if (!moved && session_ && !session_->moved_to().empty()) {
        moved = std::move(session_);  // the next item's prepare came with no stop before it
    }
    end_session_locked();
    // The item the last one went on into plays on where it is: no reopen, no fade.
    if (moved && start_ms <= 0 && !url_.empty() && moved->moved_to() == url_) {
        session_ = std::move(moved);
        session_->adopt(generation_);
        return 0;
    }
    retirer_.retire(std::move(moved));
    if (url_.empty()) {
        events_.post(generation_, ORV_EVENT_ERROR, ORV_ERROR_NO_SOURCE, 0);
        return -1;
    }
    SessionConfig config;
    config.input = input_options_locked(url_);
    config.start_ms = start_ms > 0 ? start_ms : 0;
    config.generation = generation_;
    config.paused = paused;
    config.await_output = [this](const std::atomic<bool> &abort) { retirer_.await_idle(abort); };
    config.take_next = [this](const InputOptions &current) { return take_next(current); };
    std::unique_ptr<Fetcher> prefetched;
    {
        std::lock_guard prefetch_lock(prefetch_mu_);
        if (prefetch_ && usable_prefetch_locked(config.input)) {
            prefetched = std::move(prefetch_);
        }
        prefetch_.reset();
        prefetch_url_.clear();
    }
    session_ =
        std::make_unique<Session>(std::move(config), events_, settings_, std::move(prefetched));
    return 0;
}

// A prefetch stands in for the source only as a file fetched with today's settings: a
// station's holds audio of the past, and one started before the proxy, CA, resolver or
// read-ahead changed would bypass the change.
bool Engine::usable_prefetch_locked(const InputOptions &now) const {
    const InputOptions &then = prefetch_options_;
    const FetchHead head = prefetch_->head();
    return prefetch_url_ == now.url && !prefetch_->failed() && head.size > 0 && !head.icy &&
           then.proxy == now.proxy && then.ca_file == now.ca_file &&
           then.dns_server == now.dns_server && then.read_ahead_bytes == now.read_ahead_bytes;
}

std::optional<NextSource> Engine::take_next(const InputOptions &current) {
    std::lock_guard lock(prefetch_mu_);
    InputOptions now = current;
    now.url = prefetch_url_;
    // A local file is only named: it is opened as it is.
    if (prefetch_url_.empty() || prefetch_url_ == current.url ||
        (prefetch_ && !usable_prefetch_locked(now))) {
        return std::nullopt;
    }
    prefetch_url_.clear();
    return NextSource{prefetch_options_, std::move(prefetch_)};
}

InputOptions Engine::input_options_locked(const std::string &url) const {
    InputOptions input;
    input.url = url;
    input.proxy = proxy_;
    input.ca_file = ca_file_;
    input.dns_server = dns_;
    input.max_bitrate = max_bitrate_;
    input.read_ahead_bytes = read_ahead_bytes_;
    return input;
}

void Engine::prefetch(const char *url) {
    std::lock_guard lock(mu_);
    const std::string next = url != nullptr ? url : "";
    std::lock_guard prefetch_lock(prefetch_mu_);
    if (!next.empty() && next == prefetch_url_) {
        return;
    }
    prefetch_.reset();
    prefetch_url_.clear();
    const bool file = local_file(next);
    if (!file && !fetchable_url(next)) {
        return;
    }
    prefetch_options_ = input_options_locked(next);
    if (!file) {
        prefetch_ = start_fetch(prefetch_options_, next);
    }
    prefetch_url_ = next;
}

void Engine::set_read_ahead(std::int64_t max_bytes, std::int32_t max_seconds) {
    std::lock_guard lock(mu_);
    read_ahead_bytes_ = max_bytes > 0 ? max_bytes : kDefaultReadAheadBytes;
    settings_.read_ahead_seconds.store(max_seconds > 0 ? max_seconds : kDefaultReadAheadSeconds);
}

void Engine::start() {
    std::lock_guard lock(mu_);
    drop_parked_locked();
    if (session_) {
        session_->play();
    }
}

void Engine::pause() {
    std::lock_guard lock(mu_);
    drop_parked_locked();
    if (session_) {
        session_->pause();
    }
}

// A session that has gone on into the next item is kept for the prepare of that item,
// which follows the stop at an automatic next; any other command retires it.
void Engine::stop() {
    std::lock_guard lock(mu_);
    drop_parked_locked();
    if (session_ && !session_->moved_to().empty()) {
        parked_ = std::move(session_);
        parked_->park();
    }
    end_session_locked();
}

void Engine::reset() {
    std::lock_guard lock(mu_);
    drop_parked_locked();
    end_session_locked();
    {
        std::lock_guard prefetch_lock(prefetch_mu_);
        prefetch_.reset();
        prefetch_url_.clear();
    }
    url_.clear();
    settings_.duration_override_ms.store(-1);
}

void Engine::seek(std::int64_t ms) {
    std::lock_guard lock(mu_);
    drop_parked_locked();
    if (session_) {
        session_->seek(ms);
    }
}

void Engine::set_duration(std::int64_t duration_s, std::int32_t original_s) {
    const std::int64_t s = duration_s > 0 ? duration_s : original_s;
    settings_.duration_override_ms.store(s > 0 ? s * 1000 : -1);
}

std::int64_t Engine::duration_ms() {
    std::lock_guard lock(mu_);
    if (session_) {
        return session_->duration_ms();
    }
    return std::max<std::int64_t>(settings_.duration_override_ms.load(), 0);
}

int Engine::set_speed(float speed) {
    if (!(speed >= ORV_MIN_SPEED && speed <= ORV_MAX_SPEED)) {
        return -1;
    }
    std::lock_guard lock(mu_);
    if (session_ && session_->live()) {
        return -2;
    }
    settings_.speed.store(speed);
    return 0;
}

int Engine::set_crossfade(int ms) {
    if (ms < 0 || ms > ORV_MAX_CROSSFADE_MS) {
        return -1;
    }
    settings_.crossfade_ms.store(ms);
    return 0;
}

void Engine::set_volume(float left, float right, int ramp_ms) {
    std::lock_guard lock(mu_);  // one change at a time: the serial marks a whole one
    settings_.gain_left.store(std::max(left, 0.0f));
    settings_.gain_right.store(std::max(right, 0.0f));
    settings_.gain_ramp_ms.store(std::max(ramp_ms, 0));
    settings_.gain_serial.fetch_add(1);
}

void Engine::set_dns(const char *address) {
    std::lock_guard lock(mu_);
    dns_ = address != nullptr ? address : "";
}

void Engine::set_proxy(const char *proxy) {
    std::lock_guard lock(mu_);
    proxy_ = proxy != nullptr ? proxy : "";
    if (!proxy_.empty() && proxy_.find("://") == std::string::npos) {
        proxy_ = "http://" + proxy_;
    }
}

void Engine::set_ca_file(const char *path) {
    std::lock_guard lock(mu_);
    ca_file_ = path != nullptr ? path : "";
}

void Engine::set_max_bitrate(std::int64_t bits_per_second) {
    std::lock_guard lock(mu_);
    max_bitrate_ = bits_per_second > 0 ? bits_per_second : kDefaultMaxBitrate;
}

void Engine::set_debug(int level) {
    av_log_set_level(level <= 0 ? AV_LOG_ERROR : level == 1 ? AV_LOG_INFO : AV_LOG_DEBUG);
}

}  // namespace orv
