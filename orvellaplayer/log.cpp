#include "log.h"

#include <cstdarg>
#include <cstdio>
#include <mutex>

extern "C" {
#include <libavutil/log.h>
}

namespace orv {
namespace {

thread_local FfmpegErrors *t_errors = nullptr;

void line(char letter, const char *fmt, va_list args) {
    char text[512];
    std::vsnprintf(text, sizeof text, fmt, args);
    std::fprintf(stderr, "orvellaplayer: %c %s\n", letter, text);
}

}  // namespace

void warn(const char *fmt, ...) {
    va_list args;
    va_start(args, fmt);
    line('W', fmt, args);
    va_end(args);
}

void error(const char *fmt, ...) {
    va_list args;
    va_start(args, fmt);
    line('E', fmt, args);
    va_end(args);
}

FfmpegErrors::FfmpegErrors() : outer_(t_errors) {
    static std::once_flag installed;
    std::call_once(installed, [] { av_log_set_callback(&FfmpegErrors::on_log); });
    t_errors = this;
}

FfmpegErrors::~FfmpegErrors() {
    t_errors = outer_;
}

void FfmpegErrors::on_log(void *avcl, int level, const char *fmt, va_list args) {
    FfmpegErrors *self = t_errors;
    if (self == nullptr || level > AV_LOG_ERROR) {
        av_log_default_callback(avcl, level, fmt, args);
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
