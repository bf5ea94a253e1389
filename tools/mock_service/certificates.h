// The local service's HTTPS certificate, made on the machine that runs it: a CA of
// its own and a certificate for 127.0.0.1 and localhost that the CA signed. No
// private key is shipped or shared between machines.
#pragma once

#include <string>

namespace rvmock {

// Makes `dir` (0700, with its parents) and, unless ca.pem, server.pem and server.key
// are all there already, a new set: ca.pem and server.pem readable by all,
// server.key by the owner only. The CA's own key is used once and not kept, so
// nothing else can be signed with it. Each file is written under a temporary name
// and renamed into place. False, with the reason in `error`, when a step fails.
bool ensure_certificates(const std::string &dir, std::string &error);

}  // namespace rvmock
