// The service's own message of a failed answer, handed to the application with
// the result callback of that answer (rv_lastServiceMessage, rv_sdk.h).
#ifndef RV_UTIL_SERVICE_MESSAGE_H
#define RV_UTIL_SERVICE_MESSAGE_H

#include <string>
#include <string_view>

namespace rv::service_message {

// The message made current on this thread by the innermost live Scope; "" outside one.
const std::string &current() noexcept;

// Makes `message` this thread's current message while it lives, then restores the
// one before (scopes nest: an SDK callback may call into the SDK). When memory is
// short the message is "" rather than lost with an exception.
class Scope {
  public:
    explicit Scope(std::string_view message) noexcept;
    ~Scope();
    Scope(const Scope &) = delete;
    Scope &operator=(const Scope &) = delete;

  private:
    std::string saved_;
};

}  // namespace rv::service_message

#endif
