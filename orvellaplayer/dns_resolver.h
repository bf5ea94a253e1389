// Resolution of a media URL's host through a DNS server of the user's choice.
#ifndef ORV_DNS_RESOLVER_H
#define ORV_DNS_RESOLVER_H

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>

#include "media_input.h"

namespace orv {

// Asks `server` ("a.b.c.d" or "a.b.c.d:port", UDP) for the IPv4 address of `host`.
// Gives up after about two seconds or as soon as `abort` is set.
std::optional<std::string> query_ipv4(const std::string &server, const std::string &host,
                                      const std::atomic<bool> &abort);

// For a plain http:// URL with a host name: puts the address the server answered into the
// URL and the name into a Host header. Anything else (https, literal addresses, no answer)
// is left to the system resolver.
void resolve_http_host(const std::string &server, InputOptions &options,
                       const std::atomic<bool> &abort);

}  // namespace orv

#endif
