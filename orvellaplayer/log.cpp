#include "log.h"

#include <cstdarg>
#include <cstdio>

namespace orv {

void warn(const char *fmt, ...) {
    char line[512];
    va_list ap;
    va_start(ap, fmt);
    std::vsnprintf(line, sizeof line, fmt, ap);
    va_end(ap);
    std::fprintf(stderr, "orvellaplayer: %s\n", line);
}

}  // namespace orv
