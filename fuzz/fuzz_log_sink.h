// Every log line on, each discarded: the targets exercise the formatting of lines
// built from hostile input without flooding the fuzzer's output.
#ifndef RV_FUZZ_LOG_SINK_H
#define RV_FUZZ_LOG_SINK_H

#include "rv_log.h"

inline void rv_fuzz_discard_line(int, const char *, const char *, const char *, const char *,
                                 void *) {}

inline void rv_fuzz_log_everything() {
    set_log_level(3);
    set_log_vbose_mode(1);
    set_log_debug_mode(1);
    set_log_sink(rv_fuzz_discard_line, nullptr);
}

#endif
