// Shared by the benches: a value of /proc/<pid>/status, to follow a process's memory.
#ifndef BENCH_PROC_STATUS_H
#define BENCH_PROC_STATUS_H

#include <sys/types.h>

#include <fstream>
#include <string>

namespace bench {

// The value of `key` ("VmRSS:", "RssAnon:", "Threads:") for `pid` ("self" when 0); -1 when
// the process is gone.
inline long status_value(pid_t pid, const std::string &key) {
    std::ifstream status("/proc/" + (pid == 0 ? std::string("self") : std::to_string(pid)) +
                         "/status");
    std::string word;
    while (status >> word) {
        if (word == key) {
            long value = -1;
            status >> value;
            return value;
        }
        status.ignore(4096, '\n');
    }
    return -1;
}

}  // namespace bench

#endif
