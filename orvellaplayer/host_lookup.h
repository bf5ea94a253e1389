// System name lookups for the fetcher, on threads a fetch can leave behind, a few at most.
#ifndef ORV_HOST_LOOKUP_H
#define ORV_HOST_LOOKUP_H

#include <atomic>
#include <chrono>
#include <optional>
#include <string>

namespace orv {

// Lookup threads alive at once in the process, the abandoned ones included.
constexpr int kMaxLookups = 4;

// Looks `host` up with the system resolver on a thread of its own, which a caller that
// stops waiting (`abort` set, `wait` passed) leaves to end by itself: behind a dead DNS
// server every lookup hangs for the resolver's own timeout, and each abandoned fetch would
// otherwise leave one more thread. Returns the addresses as CURLOPT_RESOLVE lists them
// ("192.0.2.1,[2001:db8::1]"), or nothing when the name has none, the lookup or a free
// thread took longer than `wait`, or `abort` was set.
std::optional<std::string> lookup_host(const std::string &host, const std::atomic<bool> &abort,
                                       std::chrono::milliseconds wait);

}  // namespace orv

#endif
