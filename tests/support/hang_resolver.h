// See hang_resolver.cpp: names under ".hang.test" take this long to fail to resolve.
#ifndef TESTS_SUPPORT_HANG_RESOLVER_H
#define TESTS_SUPPORT_HANG_RESOLVER_H

namespace rvtest {

constexpr unsigned kResolverHangSeconds = 20;

}  // namespace rvtest

#endif
