// The QR-code login, shared by `rvcli login` and the demo.
#pragma once

#include <chrono>
#include <string>

#include "session.h"

namespace rvcli {

// The QR code of `text` drawn with half-block characters, two module rows a
// line, dark modules as "█"/"▀"/"▄", with a quiet zone of two modules.
std::string draw_qr(const std::string &text);

// Asks for a QR code, shows it (with its URL) on standard output, polls until
// the user confirms, then trades the grant code for tokens, saves them and
// hands them to the SDK. Throws rv::Error, or std::runtime_error on timeout.
Credentials login(const Session &session, std::chrono::seconds timeout);

}  // namespace rvcli
