// The process-wide logger: fixed line layout, level filter, optional colours,
// a lazily opened log file and an optional application sink.

#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <mutex>

#include "orvellaplayer.h"
#include "rv_log.h"
#include "util/debug.h"
#include "util/scoped_pthread_lock.h"

pthread_mutex_t mLogMutex = PTHREAD_MUTEX_INITIALIZER;

namespace {

constexpr size_t kTextSize = 2048;
constexpr size_t kFileNameSize = 128;

// Settings: written by the setters without the lock (see rv_log.h), read under mLogMutex.
int mLogAct = 1;
int mLogLevel = 1;
int mLogDebug = 0;
int mLogVbose = 0;
int mLogColor = 0;
int mLogFlush = 0;

// Guarded by mLogMutex: the file name, the open log stream and the sink.
char mLogFile[kFileNameSize];
FILE *f_log = nullptr;
rv_log_sink s_sink = nullptr;
void *s_sink_user = nullptr;

bool level_passes(int level) {
    switch (level) {
        case 0:
            return mLogLevel >= 3;
        case 1:
            return mLogLevel >= 2;
        case 2:
            return mLogLevel >= 1;
        case 3:
            return mLogDebug == 1;
        case 4:
            return mLogVbose == 1;
        case 5:
            return true;
        default:
            return false;
    }
}

const char *color_escape(int color) {
    static const char *const kEscapes[] = {"\x1b[32m", "\x1b[33m", "\x1b[31m", "\x1b[34m",
                                           "\x1b[30m", "\x1b[36m", "\x1b[37m"};
    if (color >= 0 && color < static_cast<int>(sizeof kEscapes / sizeof kEscapes[0])) {
        return kEscapes[color];
    }
    return "\x1b[0m";
}

void format_header(char *hint, const char *letter, const char *tag) {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    tm local{};
    localtime_r(&now.tv_sec, &local);
    snprintf(hint, kTextSize, "%.2d-%.2d %.2d:%.2d:%.2d.%.3ld %ld %ld %s/%s >", local.tm_mon + 1,
             local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec, now.tv_nsec / 1000000,
             static_cast<long>(getpid()), static_cast<long>(syscall(SYS_gettid)),
             letter ? letter : "", tag ? tag : "");
}

// A message that fills its buffer is cut to 2,047 characters ending in "$\n",
// unless it already ends in a newline right there.
void mark_truncation(char *text) {
    if (text[kTextSize - 2] != '\0' && text[kTextSize - 2] != '\n') {
        text[kTextSize - 3] = '$';
        text[kTextSize - 2] = '\n';
    }
}

void write_stdout(int color, const char *hint, const char *text) {
    if (mLogColor == 1) {
        fputs(color_escape(color), stdout);
    }
    if (mLogFlush == 1) {
        fflush(stdout);
    }
    fprintf(stdout, "%s %s", hint, text);
    if (mLogFlush == 1) {
        fflush(stdout);
    }
    if (mLogColor == 1) {
        fputs("\x1b[0m", stdout);
    }
}

void write_file(const char *hint, const char *text) {
    if (f_log == nullptr) {
        if (mLogFile[0] == '\0') {
            return;
        }
        f_log = fopen(mLogFile, "w");
        if (f_log == nullptr) {
            return;
        }
    }
    if (mLogFlush == 1) {
        fflush(f_log);
    }
    fprintf(f_log, "%s %s", hint, text);
    if (mLogFlush == 1) {
        fflush(f_log);
    }
}

// Serialises set_log_sink, so that the engine's channel follows the last sink set.
std::mutex s_sink_install_mutex;

// The engine's, FFmpeg's, libpcmsink's and ALSA's lines, while the application has a sink.
void engine_line(int level, const char *tag, const char *message, void *) {
    switch (level) {
        case 2:
            logout(2, 2, "E", tag, "%s\n", message);
            break;
        case 3:
            logout(3, 3, "D", tag, "%s\n", message);
            break;
        default:
            logout(1, 1, "W", tag, "%s\n", message);
            break;
    }
}

}  // namespace

bool log_level_shown(int level) {
    return mLogAct != 0 && level_passes(level);
}

void logout(int level, int color, const char *letter, const char *tag, const char *fmt, ...) {
    // Dropped lines are not formatted: the result is the same, only cheaper.
    if (fmt == nullptr || !log_level_shown(level)) {
        return;
    }
    static char hint[kTextSize + 1];
    static char text[kTextSize + 1];
    ScopedPthreadLock lock(mLogMutex);
    memset(hint, 0, sizeof hint);
    memset(text, 0, sizeof text);
    format_header(hint, letter, tag);
    va_list args;
    va_start(args, fmt);
    vsnprintf(text, kTextSize, fmt, args);
    va_end(args);
    mark_truncation(text);

    if (mLogAct == 1 || mLogAct == 3) {
        if (s_sink != nullptr) {
            s_sink(level, letter ? letter : "", tag ? tag : "", hint, text, s_sink_user);
        } else {
            write_stdout(color, hint, text);
        }
    }
    if (mLogAct == 2 || mLogAct == 3) {
        write_file(hint, text);
    }
}

void set_log_act(int act) {
    mLogAct = act;
}
void set_log_level(int level) {
    mLogLevel = level;
}
void set_log_debug_mode(int on) {
    mLogDebug = on;
}
void set_log_vbose_mode(int on) {
    mLogVbose = on;
}
void set_log_color_mode(int on) {
    mLogColor = on;
}
void set_log_flush_mode(int on) {
    mLogFlush = on;
}

int set_log_file(const char *path) {
    ScopedPthreadLock lock(mLogMutex);
    memset(mLogFile, 0, sizeof mLogFile);
    return snprintf(mLogFile, sizeof mLogFile, "%s", path ? path : "");
}

void set_debug_mode(int mode) {
    if (mode == 0) {
        mLogAct = mLogLevel = mLogDebug = mLogVbose = mLogColor = mLogFlush = 0;
        return;
    }
    if (mode == 11111111) {
        mLogAct = 1;
        mLogLevel = 3;
        mLogDebug = mLogVbose = mLogColor = mLogFlush = 1;
        return;
    }
    if (mode & 0x1) {
        mLogLevel = 1;
    }
    if (mode & 0x8) {
        mLogLevel = 2;
    }
    if (mode & 0x40) {
        mLogLevel = 1;
    }
    mLogDebug = (mode & 0x200) ? 1 : 0;
    mLogVbose = (mode & 0x1000) ? 1 : 0;
    mLogColor = (mode & 0x8000) ? 1 : 0;
    mLogFlush = (mode & 0x40000) ? 1 : 0;
}

void set_log_sink(rv_log_sink sink, void *user) {
    std::lock_guard install(s_sink_install_mutex);
    {
        ScopedPthreadLock lock(mLogMutex);
        s_sink = sink;
        s_sink_user = user;
    }
    // Outside mLogMutex: the engine's lines take it on their way in.
    IJKMediaPlayer_setLogCallback(sink != nullptr ? &engine_line : nullptr, nullptr);
}
