// Result code texts for log lines.

#include <cstdio>

#include "rv_error.h"

const char *rve_strerror(int code) {
    switch (code) {
        case RVE_OK:
            return "RVE_OK";
        case RVE_BAD_ARGS:
            return "RVE_BAD_ARGS";
        default:
            return "RVE_UNKNOWN";
    }
}

const char *rve_rve2str(int code) {
    // One buffer per thread: concurrent log lines never see each other's text.
    thread_local char text[12];
    snprintf(text, sizeof text, "0x%08x", static_cast<unsigned>(code));
    return text;
}
