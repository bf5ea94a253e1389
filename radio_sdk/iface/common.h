// The process-wide SDK records behind sdk_info_get/acc_info_get.
#ifndef RV_IFACE_COMMON_H
#define RV_IFACE_COMMON_H

#include "rv_sdk_info.h"

// Set and cleared by the SDK's start-up and release.
extern sdk_info *s_sdk_info;
extern acc_info *s_acc_info;

#endif
