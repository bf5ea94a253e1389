// The SDK records, the init flag and the result-callback arguments record.
// All are plain C records allocated with calloc: the C ABI hands them around.

#include "iface/common.h"

#include <cstdlib>

#include "rv_version.h"

static_assert(sizeof(mSdkInitOk) == 1, "mSdkInitOk is a byte in the ABI");

RV_ATOMIC_BYTE mSdkInitOk{0};

std::shared_mutex mSdkRecordsLock;
sdk_info *s_sdk_info = nullptr;
acc_info *s_acc_info = nullptr;

sdk_info *sdk_info_new(void) {
    return static_cast<sdk_info *>(calloc(1, sizeof(sdk_info)));
}

void sdk_info_del(sdk_info *info) {
    if (info == nullptr) {
        return;
    }
    for (char *field : {info->appid, info->secretkey, info->channel, info->extra, info->packagename,
                        info->os, info->openid, info->deviceid, info->data_dir, info->init_time}) {
        free(field);
    }
    free(info);
}

acc_info *acc_info_new(void) {
    return static_cast<acc_info *>(calloc(1, sizeof(acc_info)));
}

void acc_info_del(acc_info *info) {
    if (info == nullptr) {
        return;
    }
    free(info->open_uid);
    free(info->access_token);
    free(info);
}

// The pointer is read under the lock; what it points to stays valid only until
// release, so the SDK's own code never calls these (it reads under the lock).
sdk_info *sdk_info_get(void) {
    std::shared_lock lock(mSdkRecordsLock);
    return s_sdk_info;
}

acc_info *acc_info_get(void) {
    std::shared_lock lock(mSdkRecordsLock);
    return s_acc_info;
}

result_callback_args *result_callback_args_new(rv_result_callback callback, void *user_data) {
    auto *args = static_cast<result_callback_args *>(calloc(1, sizeof(result_callback_args)));
    if (args != nullptr) {
        args->callback = callback;
        args->user_data = user_data;
    }
    return args;
}

void result_callback_args_del(result_callback_args *args) {
    free(args);
}

const char *rv_sdk_version(void) {
    return RV_SDK_VERSION_STRING;
}
