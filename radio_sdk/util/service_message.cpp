#include "util/service_message.h"

#include <new>

#include "rv_error.h"

namespace rv::service_message {

namespace {
thread_local std::string t_message;
}

const std::string &current() noexcept {
    return t_message;
}

Scope::Scope(std::string_view message) noexcept {
    saved_.swap(t_message);
    try {
        t_message.assign(message);
    } catch (const std::bad_alloc &) {
        t_message.clear();
    }
}

Scope::~Scope() {
    t_message.swap(saved_);
}

}  // namespace rv::service_message

extern "C" const char *rv_lastServiceMessage(void) {
    return rv::service_message::current().c_str();
}
