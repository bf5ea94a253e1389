#include "host_lookup.h"

#include <arpa/inet.h>
#include <netdb.h>

#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

namespace orv {
namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kAbortPoll = std::chrono::milliseconds(50);

struct AddrinfoFree {
    void operator()(addrinfo *a) const { freeaddrinfo(a); }
};

// Shared by the callers and the lookup threads; a thread keeps it alive past the
// process's static destructors, since nothing waits for the thread.
struct Lookups {
    std::mutex mu;
    std::condition_variable changed;
    int running = 0;
};

struct Job {
    bool done = false;
    std::optional<std::string> addresses;
};

const std::shared_ptr<Lookups> &lookups() {
    static const std::shared_ptr<Lookups> shared = std::make_shared<Lookups>();
    return shared;
}

std::optional<std::string> system_lookup(const std::string &host) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo *raw = nullptr;
    if (getaddrinfo(host.c_str(), nullptr, &hints, &raw) != 0) {
        return std::nullopt;
    }
    const std::unique_ptr<addrinfo, AddrinfoFree> found(raw);
    std::string list;
    for (const addrinfo *a = found.get(); a != nullptr; a = a->ai_next) {
        char text[INET6_ADDRSTRLEN] = {};
        const void *where = nullptr;
        if (a->ai_family == AF_INET) {
            where = &reinterpret_cast<const sockaddr_in *>(a->ai_addr)->sin_addr;
        } else if (a->ai_family == AF_INET6) {
            where = &reinterpret_cast<const sockaddr_in6 *>(a->ai_addr)->sin6_addr;
        }
        if (where == nullptr || inet_ntop(a->ai_family, where, text, sizeof text) == nullptr) {
            continue;
        }
        const std::string one = a->ai_family == AF_INET6 ? "[" + std::string(text) + "]" : text;
        if (list.find(one) == std::string::npos) {
            list += (list.empty() ? "" : ",") + one;
        }
    }
    return list.empty() ? std::nullopt : std::optional<std::string>(list);
}

// Waits on `l.changed` until `ready` or the deadline or an abort (polled: the flag has no
// signal of its own).
template <class Ready>
bool wait_until(std::unique_lock<std::mutex> &lock, Lookups &l, Clock::time_point deadline,
                const std::atomic<bool> &abort, Ready ready) {
    while (!ready()) {
        if (abort.load() || Clock::now() >= deadline) {
            return false;
        }
        l.changed.wait_until(lock, std::min(deadline, Clock::now() + kAbortPoll));
    }
    return true;
}

}  // namespace

std::optional<std::string> lookup_host(const std::string &host, const std::atomic<bool> &abort,
                                       std::chrono::milliseconds wait) {
    const std::shared_ptr<Lookups> l = lookups();
    const auto deadline = Clock::now() + wait;
    auto job = std::make_shared<Job>();
    std::unique_lock lock(l->mu);
    if (!wait_until(lock, *l, deadline, abort, [&] { return l->running < kMaxLookups; })) {
        return std::nullopt;
    }
    ++l->running;
    try {
        std::thread([l, job, host] {
            std::optional<std::string> addresses = system_lookup(host);
            std::lock_guard done_lock(l->mu);
            job->addresses = std::move(addresses);
            job->done = true;
            --l->running;
            l->changed.notify_all();
        }).detach();
    } catch (const std::exception &) {
        --l->running;
        return std::nullopt;
    }
    if (!wait_until(lock, *l, deadline, abort, [&] { return job->done; })) {
        return std::nullopt;
    }
    return job->addresses;
}

}  // namespace orv
