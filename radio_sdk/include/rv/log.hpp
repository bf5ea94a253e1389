/** @file
 * The radio SDK for C++20 (radio_sdk.hpp): the log sink.
 */
#ifndef RV_LOG_HPP
#define RV_LOG_HPP

#include <string_view>
#include <utility>

#include "function.hpp"
#include "future.hpp"
#include "radio_sdk.h"

namespace rv {

/* --- Log sink -------------------------------------------------------------- */

/// One log line as the SDK emits it; the views are valid only during the call.
struct LogLine {
    int level;                 ///< as logout(): 1 warning, 2 error, 3 debug, 4 verbose, ...
    std::string_view letter;   ///< "W", "E", "D", "V"
    std::string_view tag;      ///< the module ("IFACE_V2", "HTTP_TASK", ...)
    std::string_view header;   ///< "MM-DD hh:mm:ss.mmm pid tid L/TAG >"
    std::string_view message;  ///< the formatted message, usually ending in "\n"
};

namespace detail {

// The installed sink; lives until the process ends, when it hands the lines
// back to standard output before it goes.
class LogSinkSlot {
  public:
    static LogSinkSlot &get() {
        static LogSinkSlot slot;
        return slot;
    }
    ~LogSinkSlot() { ::set_log_sink(nullptr, nullptr); }

    void install(Box<Function<void(const LogLine &)>> sink) {
        Lock lock(mutex_);
        ::set_log_sink(sink ? &LogSinkSlot::deliver : nullptr, sink.get());
        // set_log_sink returns only once no line goes to the previous sink.
        sink_ = std::move(sink);
    }

  private:
    static void deliver(int level, const char *letter, const char *tag, const char *header,
                        const char *message, void *user) noexcept {
        try {
            (*static_cast<Function<void(const LogLine &)> *>(user))(LogLine{
                level, text_view(letter), text_view(tag), text_view(header), text_view(message)});
        } catch (...) {
            // The sink runs inside the logger: nothing may be logged from here.
        }
    }
    static std::string_view text_view(const char *s) { return s != nullptr ? s : ""; }

    // Guards sink_; taken by set_log_sink/reset_log_sink callers only.
    Mutex mutex_;
    Box<Function<void(const LogLine &)>> sink_;
};

}  // namespace detail

/// Sends the SDK's standard-output log lines to `sink` (any callable taking a
/// const rv::LogLine &) until replaced or reset; the log file is unaffected.
/// The sink runs on whichever thread logs, with the logger's lock held: it must
/// not log through the SDK or call into it, and should return quickly. An
/// exception it throws is dropped. Any thread; after it returns no line reaches
/// the previous sink.
template <class F>
void set_log_sink(F &&sink) {
    detail::LogSinkSlot::get().install(
        detail::Box<Function<void(const LogLine &)>>::make(std::forward<F>(sink)));
}

/// Returns the log lines to standard output.
inline void reset_log_sink() {
    detail::LogSinkSlot::get().install({});
}

}  // namespace rv

#endif
