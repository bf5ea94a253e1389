// The process-wide SDK records behind sdk_info_get/acc_info_get.
#ifndef RV_IFACE_COMMON_H
#define RV_IFACE_COMMON_H

#include <shared_mutex>

#include "rv_sdk_info.h"

// Guards both pointers below and every field of the records they point to.
// Shared: URL and report builders on callers' threads and workers. Exclusive:
// start-up, the identity store (a worker), the credential functions, release.
extern std::shared_mutex mSdkRecordsLock;

// Set and cleared by the SDK's start-up and release, under mSdkRecordsLock.
extern sdk_info *s_sdk_info;
extern acc_info *s_acc_info;

#endif
