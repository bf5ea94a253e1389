// The library's lines go through the SDK's logger, so an application's log
// sink receives them with the SDK's own.
#pragma once

#include "rv_logout.h"

#define MPRIS_LOGD(...) logout(3, 3, "D", "MPRIS", __VA_ARGS__)
#define MPRIS_LOGW(...) logout(1, 1, "W", "MPRIS", __VA_ARGS__)
