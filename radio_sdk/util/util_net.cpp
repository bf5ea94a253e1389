// Whether any network besides loopback has an IPv4 address.

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <netinet/in.h>

#include <cstring>
#include <memory>

#include "util/util.h"

bool check_net_is_ok(void) {
    ifaddrs *raw = nullptr;
    if (getifaddrs(&raw) != 0) {
        return false;
    }
    std::unique_ptr<ifaddrs, decltype(&freeifaddrs)> list(raw, freeifaddrs);
    bool ok = false;
    for (ifaddrs *ifa = list.get(); ifa != nullptr; ifa = ifa->ifa_next) {
        if (ifa->ifa_addr == nullptr || ifa->ifa_addr->sa_family != AF_INET) {
            continue;
        }
        char text[INET_ADDRSTRLEN] = {};
        const auto *addr = reinterpret_cast<const sockaddr_in *>(ifa->ifa_addr);
        if (inet_ntop(AF_INET, &addr->sin_addr, text, sizeof text) != nullptr && text[0] != '\0' &&
            strncmp(text, "127", 3) != 0) {
            ok = true;
        }
    }
    return ok;
}
