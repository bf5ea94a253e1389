/** @file
 * The radio SDK for C++20 (radio_sdk.hpp): errors as exceptions, and the
 * helper that joins the two outcomes of a call into one callable.
 */
#ifndef RV_ERROR_HPP
#define RV_ERROR_HPP

#include <stdexcept>
#include <string>
#include <string_view>

#include "radio_sdk.h"

namespace rv {

/// A failed call: its result code (rv_error.h), the code's name, the service's own
/// message when the service refused, and a text for people
/// ("rv_getAlbumInfo: RVE_SERVER_50600 (0x00030001): no such album").
class Error : public std::runtime_error {
  public:
    /// The error of `code`; `context` (the call) leads its text and
    /// `service_message` (rv_lastServiceMessage) ends it when not empty.
    explicit Error(int code, std::string_view context = {}, std::string_view service_message = {})
        : std::runtime_error(describe(code, context, service_message)),
          code_(code),
          service_message_(service_message) {}
    /// A copy owns its own text: libstdc++ shares an exception's text between
    /// copies by a count that thread checkers cannot see, and a copy thrown on
    /// one thread while the SDK drops the original on another must not race.
    Error(const Error &other)
        : std::runtime_error(std::string(other.what())),
          code_(other.code_),
          service_message_(other.service_message_) {}
    /// As the copy: this error then owns a text of its own.
    Error &operator=(const Error &other) {
        std::runtime_error::operator=(std::runtime_error(std::string(other.what())));
        code_ = other.code_;
        service_message_ = other.service_message_;
        return *this;
    }

    int code() const noexcept { return code_; }                   ///< the result code (rv_error.h)
    const char *name() const noexcept { return name_of(code_); }  ///< the code's name (name_of)
    /// What the service said about the refusal ("unknown appid"), "" when it said
    /// nothing or the failure was not the service's.
    const std::string &service_message() const noexcept { return service_message_; }

    /// The name of every code of rv_error.h ("RVE_FAILED"), "RVE_UNKNOWN" for
    /// any other code (rv_resultName).
    static const char *name_of(int code) noexcept { return rv_resultName(code); }
    /// What the code means, for people (rv_resultText).
    const char *text() const noexcept { return rv_resultText(code_); }

  private:
    static std::string describe(int code, std::string_view context,
                                std::string_view service_message) {
        std::string text(context);
        if (!text.empty()) {
            text += ": ";
        }
        text = text + name_of(code) + " (" + rve_rve2str(code) + ")";
        if (!service_message.empty()) {
            text.append(": ").append(service_message);
        }
        return text;
    }

    int code_;
    std::string service_message_;
};

/// Builds one callable out of several lambdas, for the two outcomes of a call:
///   sdk.get_all_category(rv::overloaded{[](std::vector<rv::Category> c) {...},
///                                       [](const rv::Error &e) {...}});
template <class... Fs>
struct overloaded : Fs... {
    using Fs::operator()...;
};

}  // namespace rv

#endif
