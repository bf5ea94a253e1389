// The player's own diagnostics: one line on standard error, "orvellaplayer: <letter> ...",
// or, once the application installed a log callback, one call of it (for libpcmsink's and
// ALSA's lines too). A warning with the same text is written once per process.
#ifndef ORV_LOG_H
#define ORV_LOG_H

#include <cstdarg>
#include <exception>
#include <string>

namespace orv {

// W: the player carries on in a lesser way. E: a source failed; the line says why.
__attribute__((format(printf, 1, 2))) void warn(const char *fmt, ...);
__attribute__((format(printf, 1, 2))) void error(const char *fmt, ...);

// The application's channel (null: standard error); also handed to libpcmsink when loaded.
using LogCallback = void (*)(int level, const char *tag, const char *message, void *user);
void set_log_callback(LogCallback callback, void *user);

// libpcmsink's setter of its callback, once the library is loaded: it gets the channel now
// and whenever it changes.
using SinkLogSetter = void (*)(void (*)(int, const char *, const char *, void *), void *);
void sink_loaded(SinkLogSetter setter);

// libpcmsink's callback: its lines and ALSA's, into the same channel and the same once-only rule.
void sink_line(int level, const char *tag, const char *message, void *user);

// One debug line per warning held back since the last call, with how often it came.
void report_repeats();

// While alive, FFmpeg's error lines of the calling thread are kept instead of printed, so
// that a failure is told once, in the player's own line, with FFmpeg's reason in it.
class FfmpegErrors {
  public:
    FfmpegErrors();
    ~FfmpegErrors();
    FfmpegErrors(const FfmpegErrors &) = delete;
    FfmpegErrors &operator=(const FfmpegErrors &) = delete;

    // The first error line (the cause; later ones tend to be its consequences), or "".
    const std::string &first() const { return first_; }

    // Takes FFmpeg's lines over (idempotent), so that they can follow the application's channel.
    static void install();

  private:
    static void on_log(void *avcl, int level, const char *fmt, va_list args);

    FfmpegErrors *outer_;
    std::string first_;
};

// The URL without its query and fragment, which may carry tokens.
std::string loggable_url(const std::string &url);

// Runs `f` where no exception may pass (a C entry point or callback, a thread's entry): one
// that comes is told as a warning naming `what`, and false returned. Any thread.
template <typename F>
bool guarded(const char *what, F &&f) noexcept {
    try {
        f();
        return true;
    } catch (const std::exception &e) {
        warn("%s failed: %s", what, e.what());
    } catch (...) {
        warn("%s failed", what);
    }
    return false;
}

}  // namespace orv

#endif
