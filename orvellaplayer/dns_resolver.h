// Resolution of a media URL's host through a DNS server of the user's choice.
#ifndef ORV_DNS_RESOLVER_H
#define ORV_DNS_RESOLVER_H

#include <atomic>
#include <cstdint>
#include <optional>
#include <string>

namespace orv {

// Asks `server` ("a.b.c.d" or "a.b.c.d:port", UDP) for the IPv4 address of `host`.
// Gives up after about two seconds or as soon as `abort` is set.
std::optional<std::string> query_ipv4(const std::string &server, const std::string &host,
                                      const std::atomic<bool> &abort);

}  // namespace orv

#endif
