#include "iface/access_info_impl.h"

#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>

#include "iface/common.h"
#include "rv_error.h"

extern "C" int ipa_cache_sdk_auth_access_info(const char *access_token, const char *open_uid) {
    if (access_token == nullptr || open_uid == nullptr) {
        return RVE_BAD_ARGS;
    }
    std::unique_ptr<char, decltype(&free)> token(strdup(access_token), free);
    std::unique_ptr<char, decltype(&free)> uid(strdup(open_uid), free);
    if (token == nullptr || uid == nullptr) {
        return RVE_NO_MEMORY;
    }
    std::unique_lock lock(mSdkRecordsLock);
    if (s_acc_info != nullptr) {
        free(s_acc_info->access_token);
        free(s_acc_info->open_uid);
        s_acc_info->access_token = token.release();
        s_acc_info->open_uid = uid.release();
    }
    return RVE_OK;
}

extern "C" int ipa_clear_sdk_auth_access_info(void) {
    std::unique_lock lock(mSdkRecordsLock);
    if (s_acc_info != nullptr) {
        free(s_acc_info->access_token);
        free(s_acc_info->open_uid);
        s_acc_info->access_token = nullptr;
        s_acc_info->open_uid = nullptr;
    }
    return RVE_OK;
}
