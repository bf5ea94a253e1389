// Timestamps and time texts.

#include <sys/time.h>
#include <time.h>

#include <cinttypes>
#include <cstdio>
#include <cstring>

#include "util/util.h"

namespace {

constexpr size_t kTimeTextSize = 100;

// The formatters write the characters without a terminator into a buffer the
// caller zero-filled.
int copy_text(char *out, const char *text, size_t length) {
    memcpy(out, text, length < kTimeTextSize ? length : kTimeTextSize - 1);
    return 1;
}

int format_clock(int64_t seconds, char *out, bool utc) {
    if (out == nullptr) {
        return 0;
    }
    // A 32-bit time_t (armhf) cannot hold a time past January 2038: refuse it
    // rather than format a wrapped one.
    const time_t t = static_cast<time_t>(seconds);
    if (static_cast<int64_t>(t) != seconds) {
        return 0;
    }
    tm parts{};
    if ((utc ? gmtime_r(&t, &parts) : localtime_r(&t, &parts)) == nullptr) {
        return 0;
    }
    char text[kTimeTextSize];
    return copy_text(out, text, strftime(text, sizeof text, "%H:%M:%S", &parts));
}

}  // namespace

int64_t getTimestamp(void) {
    timeval now{};
    gettimeofday(&now, nullptr);
    return now.tv_sec;
}

const char *getTimestampString(void) {
    thread_local char text[32];
    snprintf(text, sizeof text, "%" PRId64, getTimestamp());
    return text;
}

int formatTimestamp(int64_t seconds, char *out) {
    return format_clock(seconds, out, false);
}

int formatTimestampUTC(int64_t seconds, char *out) {
    return format_clock(seconds, out, true);
}

int formatTimeSeconds(int64_t seconds, char *out) {
    if (out == nullptr) {
        return 0;
    }
    int64_t hours = seconds / 3600;
    int64_t rest = seconds % 3600;
    int64_t minutes = rest / 60;
    int64_t secs = rest % 60;
    char text[kTimeTextSize];
    int n = hours < 1
                ? snprintf(text, sizeof text, "%02" PRId64 ":%02" PRId64, minutes, secs)
                : snprintf(text, sizeof text, "%" PRId64 ":%02" PRId64, minutes + 60 * hours, secs);
    return copy_text(out, text, static_cast<size_t>(n));
}
