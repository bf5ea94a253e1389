#include "request/service_hosts.h"

#include <curl/curl.h>

#include <cstdlib>
#include <memory>
#include <mutex>
#include <new>
#include <optional>

#include "rv_config.h"
#include "rv_error.h"
#include "util/debug.h"

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

struct CurlUrlDel {
    void operator()(CURLU *url) const { curl_url_cleanup(url); }
};

struct CurlFree {
    void operator()(char *text) const { curl_free(text); }
};

// A service host is an absolute http:// or https:// URL with a host name and
// nothing after its path: every request appends its own path and query.
bool acceptable_host(const char *text) {
    std::unique_ptr<CURLU, CurlUrlDel> url(curl_url());
    if (!url ||
        curl_url_set(url.get(), CURLUPART_URL, text, CURLU_NON_SUPPORT_SCHEME) != CURLUE_OK) {
        return false;
    }
    auto part = [&url](CURLUPart which) {
        char *out = nullptr;
        const bool present = curl_url_get(url.get(), which, &out, 0) == CURLUE_OK;
        std::unique_ptr<char, CurlFree> owned(out);
        return present ? std::optional<std::string>(out) : std::nullopt;
    };
    const std::optional<std::string> scheme = part(CURLUPART_SCHEME);
    const std::optional<std::string> host = part(CURLUPART_HOST);
    return scheme && (*scheme == "http" || *scheme == "https") && host && !host->empty() &&
           !part(CURLUPART_QUERY) && !part(CURLUPART_FRAGMENT) && !part(CURLUPART_USER);
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
            if (given[i] == nullptr) {
                continue;
            }
            if (!rv::acceptable_host(given[i])) {
                LOGE("REQUEST", "rv_setServiceHosts: not an http:// or https:// URL: %s\n",
                     given[i]);
                return RVE_BAD_ARGS;  // none of the three is taken
            }
            values[i] = rv::without_trailing_slash(given[i]);
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
