// The process's resident memory, for tests that look for growth across many rounds.
#ifndef TESTS_SUPPORT_RESIDENT_MEMORY_H
#define TESTS_SUPPORT_RESIDENT_MEMORY_H

#include <fstream>
#include <string>

namespace rvtest {

// VmRSS of this process in KiB; 0 when unreadable. Any thread.
inline long resident_kib() {
    std::ifstream status("/proc/self/status");
    std::string key;
    while (status >> key) {
        if (key == "VmRSS:") {
            long kib = 0;
            status >> kib;
            return kib;
        }
        status.ignore(4096, '\n');
    }
    return 0;
}

}  // namespace rvtest

#endif
