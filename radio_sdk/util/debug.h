// The level, colour and letter pairs every module logs with.
#ifndef RV_UTIL_DEBUG_H
#define RV_UTIL_DEBUG_H

#include "rv_log.h"
#include "rv_logout.h"

#define LOGW(tag, ...) logout(1, 1, "W", tag, __VA_ARGS__)
#define LOGE(tag, ...) logout(2, 2, "E", tag, __VA_ARGS__)
#define LOGD(tag, ...) logout(3, 3, "D", tag, __VA_ARGS__)
#define LOGV(tag, ...) logout(4, 5, "V", tag, __VA_ARGS__)

#ifdef __cplusplus
// Whether logout() would write a line of `level` now: for callers whose line costs
// work before logout() sees it (masking, dumps). Any thread.
bool log_level_shown(int level);
#endif

#endif
