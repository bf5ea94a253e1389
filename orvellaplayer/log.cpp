#include "log.h"

#include <cstdarg>
#include <cstdio>
#include <map>
#include <mutex>
#include <string>

extern "C" {
#include <libavutil/log.h>
}

namespace orv {
namespace {

thread_local FfmpegErrors *t_errors = nullptr;

constexpr int kWarning = 1;
constexpr int kError = 2;
constexpr int kDebug = 3;
constexpr const char *kTag = "ORVELLAPLAYER";
// Distinct warnings remembered; past this many a new one is written every time.
constexpr size_t kMaxRemembered = 256;

struct Hook {
    LogCallback callback = nullptr;
    void *user = nullptr;
};

// g_hook_mutex guards g_hook (read by every line on any thread, written by the setter).
std::mutex g_hook_mutex;
Hook g_hook;

// g_repeat_mutex guards g_repeats: warning text (with its tag) -> times held back since
// the last report.
std::mutex g_repeat_mutex;
std::map<std::string, int> g_repeats;

// g_sink_mutex serialises handing the channel to libpcmsink with loading it.
std::mutex g_sink_mutex;
SinkLogSetter g_sink_setter = nullptr;

Hook current_hook() {
    std::lock_guard lock(g_hook_mutex);
    return g_hook;
}

// Without a callback debug lines are not written: the engine has no debug switch of its own.
void emit(int level, const char *tag, const char *text) {
    if (const Hook hook = current_hook(); hook.callback != nullptr) {
        hook.callback(level, tag, text, hook.user);
    } else if (level != kDebug) {
        const char letter = level == kError ? 'E' : 'W';
        if (std::string(tag) == kTag) {
            std::fprintf(stderr, "orvellaplayer: %c %s\n", letter, text);
        } else {
            std::fprintf(stderr, "orvellaplayer: %c %s: %s\n", letter, tag, text);
        }
    }
}

// True the first time this warning is seen (or when too many distinct ones were).
bool first_time(const char *tag, const char *text) {
    std::lock_guard lock(g_repeat_mutex);
    const std::string key = std::string(tag) + '\n' + text;
    if (auto it = g_repeats.find(key); it != g_repeats.end()) {
        ++it->second;
        return false;
    }
    if (g_repeats.size() < kMaxRemembered) {
        g_repeats.emplace(key, 0);
    }
    return true;
}

void line(int level, const char *tag, const char *text) {
    if (level != kWarning || first_time(tag, text)) {
        emit(level, tag, text);
    }
}

__attribute__((format(printf, 2, 0))) void vline(int level, const char *fmt, va_list args) {
    char text[512];
    std::vsnprintf(text, sizeof text, fmt, args);
    line(level, kTag, text);
}

}  // namespace

void warn(const char *fmt, ...) {
    va_list args;
    va_start(args, fmt);
    vline(kWarning, fmt, args);
    va_end(args);
}

void error(const char *fmt, ...) {
    va_list args;
    va_start(args, fmt);
    vline(kError, fmt, args);
    va_end(args);
}

void set_log_callback(LogCallback callback, void *user) {
    FfmpegErrors::install();
    std::lock_guard sink_lock(g_sink_mutex);
    {
        std::lock_guard lock(g_hook_mutex);
        g_hook = Hook{callback, user};
    }
    if (g_sink_setter != nullptr) {
        g_sink_setter(callback != nullptr ? &sink_line : nullptr, nullptr);
    }
}

void sink_loaded(SinkLogSetter setter) {
    std::lock_guard sink_lock(g_sink_mutex);
    g_sink_setter = setter;
    if (setter != nullptr && current_hook().callback != nullptr) {
        setter(&sink_line, nullptr);
    }
}

void sink_line(int level, const char *tag, const char *message, void *) {
    line(level, tag, message);
}

void report_repeats() {
    std::map<std::string, int> held;
    {
        std::lock_guard lock(g_repeat_mutex);
        for (auto &[key, count] : g_repeats) {
            if (count > 0) {
                held.emplace(key, count);
                count = 0;
            }
        }
    }
    for (const auto &[key, count] : held) {
        const auto split = key.find('\n');
        const std::string text = "\"" + key.substr(split + 1) + "\" came " + std::to_string(count) +
                                 " more times, not written again";
        emit(kDebug, key.substr(0, split).c_str(), text.c_str());
    }
}

void FfmpegErrors::install() {
    static std::once_flag installed;
    std::call_once(installed, [] { av_log_set_callback(&FfmpegErrors::on_log); });
}

FfmpegErrors::FfmpegErrors() : outer_(t_errors) {
    install();
    t_errors = this;
}

FfmpegErrors::~FfmpegErrors() {
    t_errors = outer_;
}

void FfmpegErrors::on_log(void *avcl, int level, const char *fmt, va_list args) {
    FfmpegErrors *self = t_errors;
    if (self == nullptr || level > AV_LOG_ERROR) {
        if (current_hook().callback == nullptr) {
            av_log_default_callback(avcl, level, fmt, args);
        } else if (level <= av_log_get_level()) {
            char text[512];
            int prefix = 1;
            av_log_format_line2(avcl, level, fmt, args, text, sizeof text, &prefix);
            std::string message(text);
            while (!message.empty() && message.back() == '\n') {
                message.pop_back();
            }
            line(level <= AV_LOG_ERROR     ? kError
                 : level <= AV_LOG_WARNING ? kWarning
                                           : kDebug,
                 "FFMPEG", message.c_str());
        }
        return;
    }
    if (!self->first_.empty()) {
        return;
    }
    char text[256];
    std::vsnprintf(text, sizeof text, fmt, args);
    self->first_ = text;
    while (!self->first_.empty() && (self->first_.back() == '\n' || self->first_.back() == ' ')) {
        self->first_.pop_back();
    }
}

std::string loggable_url(const std::string &url) {
    return url.substr(0, url.find_first_of("?#"));
}

}  // namespace orv
