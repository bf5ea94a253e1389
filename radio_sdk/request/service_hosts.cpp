#include "request/service_hosts.h"

#include <cstdlib>
#include <mutex>
#include <new>
#include <optional>

#include "rv_config.h"
#include "rv_error.h"

namespace rv {

namespace {

struct HostSetting {
    const char *env;
    const char *fallback;
};

constexpr HostSetting kSettings[] = {
    {"RV_OPEN_API_HTTP", "http://127.0.0.1:8940"},
    {"RV_OPEN_API_HTTPS", "https://127.0.0.1:8941"},
    {"RV_REPORT_HOST", "http://127.0.0.1:8940"},
};

// Guards s_set: written by rv_setServiceHosts, read by every request builder.
std::mutex s_hosts_mutex;
std::optional<std::string> s_set[3];

std::string without_trailing_slash(std::string host) {
    while (!host.empty() && host.back() == '/') {
        host.pop_back();
    }
    return host;
}

}  // namespace

std::string service_host(Host host) {
    const auto index = static_cast<size_t>(host);
    {
        std::lock_guard lock(s_hosts_mutex);
        if (s_set[index]) {
            return *s_set[index];
        }
    }
    const char *env = getenv(kSettings[index].env);
    return without_trailing_slash(env != nullptr && env[0] != '\0' ? env
                                                                   : kSettings[index].fallback);
}

}  // namespace rv

extern "C" int rv_setServiceHosts(const char *open_api_http, const char *open_api_https,
                                  const char *report_host) {
    try {
        std::optional<std::string> values[3];
        const char *given[3] = {open_api_http, open_api_https, report_host};
        for (int i = 0; i < 3; i++) {
            if (given[i] != nullptr) {
                values[i] = rv::without_trailing_slash(given[i]);
            }
        }
        std::lock_guard lock(rv::s_hosts_mutex);
        for (int i = 0; i < 3; i++) {
            if (values[i]) {
                rv::s_set[i] = std::move(values[i]);
            }
        }
        return RVE_OK;
    } catch (const std::bad_alloc &) {
        return RVE_NO_MEMORY;
    }
}
