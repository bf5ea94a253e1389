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

/// A failed call: its result code (rv_error.h), the code's name and a text for
/// people ("rv_getAlbumInfo: RVE_SERVER_50600 (0x00030001)").
class Error : public std::runtime_error {
  public:
    /// The error of `code`; `context` (the call) leads its text.
    explicit Error(int code, std::string_view context = {})
        : std::runtime_error(describe(code, context)), code_(code) {}

    int code() const noexcept { return code_; }                   ///< the result code (rv_error.h)
    const char *name() const noexcept { return name_of(code_); }  ///< the code's name (name_of)

    /// The name of every code of rv_error.h ("RVE_FAILED"), "RVE_UNKNOWN" for
    /// any other code (rv_resultName).
    static const char *name_of(int code) noexcept { return rv_resultName(code); }
    /// What the code means, for people (rv_resultText).
    const char *text() const noexcept { return rv_resultText(code_); }

  private:
    static std::string describe(int code, std::string_view context) {
        std::string text(context);
        if (!text.empty()) {
            text += ": ";
        }
        return text + name_of(code) + " (" + rve_rve2str(code) + ")";
    }

    int code_;
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
