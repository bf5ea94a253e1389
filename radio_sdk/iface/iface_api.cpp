#include "iface/iface_api.h"

#include <new>
#include <string>

#include "rv_error.h"
#include "util/callback_dispatch.h"
#include "util/debug.h"
#include "util/service_message.h"

namespace rv::api {

namespace {
constexpr const char *kTag = "IFACE_V2";
}

result_callback_args *enter(const char *name, rv_result_callback callback, void *user_data,
                            bool args_ok) {
    LOGD(kTag, "CALL API [%s] \n", name);
    result_callback_args *args = result_callback_args_new(callback, user_data);
    if (args == nullptr) {
        LOGE(kTag, "malloc result callback args failed!\n");
        if (callback != nullptr) {
            callback(RVE_NO_MEMORY, nullptr, 0, user_data);
        }
        return nullptr;
    }
    if (!args_ok) {
        LOGE(kTag, "function params failed, please check!\n");
        deliver(args, RVE_BAD_ARGS, nullptr, 0);
        return nullptr;
    }
    if (mSdkInitOk == 0) {
        LOGE(kTag, "sdk not inited\n");
        deliver(args, RVE_NOT_READY, nullptr, 0);
        return nullptr;
    }
    return args;
}

void deliver(result_callback_args *args, int code, void *data, int count) {
    if (args == nullptr || args->callback == nullptr) {
        result_callback_args_del(args);
        return;
    }
    // The service's message travels with the answer, also through the dispatcher.
    std::string message;
    if (code != RVE_OK) {
        try {
            message = rv::service_message::current();
        } catch (const std::bad_alloc &) {
            // Delivered without it rather than not at all.
        }
    }
    rv::dispatch::deliver([=, message = std::move(message)] {
        const rv::service_message::Scope scope(message);
        args->callback(code, data, count, args->user_data);
        result_callback_args_del(args);
    });
}

void finish(const Outcome &outcome, int code, void *data, int count, void *args) {
    if (code != RVE_OK) {
        LOGE(kTag, "%s failed: rve = %s\n", outcome.phrase, rve_rve2str(code));
    } else {
        LOGD(kTag, "%s success\n", outcome.phrase);
    }
    auto *wrapper = static_cast<result_callback_args *>(args);
    if (wrapper != nullptr && wrapper->callback == nullptr && data != nullptr) {
        outcome.release(data);  // the application passed no callback: nobody owns it
        data = nullptr;
    }
    deliver(wrapper, code, data, count);
}

}  // namespace rv::api
