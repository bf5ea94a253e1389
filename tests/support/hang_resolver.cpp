// A resolver that hangs, as behind a dead DNS server: getaddrinfo for any name under
// ".hang.test" waits 20 s and then fails; every other name goes to the C library's. Linked
// into a test binary, whose getaddrinfo then stands for everyone's in the process (libcurl's
// resolver threads included); no LD_PRELOAD, so it also works under the sanitizers.
#include <dlfcn.h>
#include <netdb.h>
#include <unistd.h>

#include <cstring>

#include "support/hang_resolver.h"

namespace {

using Getaddrinfo = int (*)(const char *, const char *, const addrinfo *, addrinfo **);

bool hangs(const char *node) {
    constexpr char kSuffix[] = ".hang.test";
    const std::size_t n = node != nullptr ? std::strlen(node) : 0;
    return n >= sizeof kSuffix - 1 && std::strcmp(node + n - (sizeof kSuffix - 1), kSuffix) == 0;
}

}  // namespace

extern "C" __attribute__((visibility("default"))) int getaddrinfo(const char *node,
                                                                  const char *service,
                                                                  const addrinfo *hints,
                                                                  addrinfo **res) {
    if (hangs(node)) {
        sleep(rvtest::kResolverHangSeconds);
        return EAI_AGAIN;
    }
    static const auto real = reinterpret_cast<Getaddrinfo>(dlsym(RTLD_NEXT, "getaddrinfo"));
    return real(node, service, hints, res);
}
