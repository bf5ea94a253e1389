// Log helpers shared by the transport modules: every line goes through logout with the
// level, colour and letter pairs the whole SDK uses. V lines are gated by the caller's
// own verbose switch; W and E lines are never gated here.
#ifndef RV_HTTP_TRANSPORT_LOG_H
#define RV_HTTP_TRANSPORT_LOG_H

#include "rv_log.h"

#define RV_LOG_V(tag, enabled, ...)              \
    do {                                         \
        if (enabled) {                           \
            logout(4, 5, "V", tag, __VA_ARGS__); \
        }                                        \
    } while (0)
#define RV_LOG_W(tag, ...) logout(1, 1, "W", tag, __VA_ARGS__)
#define RV_LOG_E(tag, ...) logout(2, 2, "E", tag, __VA_ARGS__)

#endif
