// The player's own diagnostics: one line on standard error, "orvellaplayer: <letter> ...".
#ifndef ORV_LOG_H
#define ORV_LOG_H

#include <cstdarg>
#include <string>

namespace orv {

// W: the player carries on in a lesser way. E: a source failed; the line says why.
__attribute__((format(printf, 1, 2))) void warn(const char *fmt, ...);
__attribute__((format(printf, 1, 2))) void error(const char *fmt, ...);

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

  private:
    static void on_log(void *avcl, int level, const char *fmt, va_list args);

    FfmpegErrors *outer_;
    std::string first_;
};

// The URL without its query and fragment, which may carry tokens.
std::string loggable_url(const std::string &url);

}  // namespace orv

#endif
