// rv_dispatch.h: the dispatcher is changed only while the SDK is stopped, so
// no call is queued for one dispatcher and handed to another.
#include <cerrno>

#include "iface/init_sdk_impl.h"
#include "rv_dispatch.h"
#include "rv_error.h"
#include "util/callback_dispatch.h"
#include "util/debug.h"

namespace {
constexpr const char *kTag = "IFACE_V2";
}

int rv_setCallbackDispatcher(rv_dispatch_post post, void *user) {
    LOGD(kTag, "CALL API [%s] \n", "rv_setCallbackDispatcher");
    if (!rv::api::sdk_stopped()) {
        LOGE(kTag, "the dispatcher can only change while the sdk is stopped\n");
        return RVE_ALREADY_STARTED;
    }
    rv::dispatch::set_dispatcher(post, user);
    return RVE_OK;
}

int rv_getCallbackFd(void) {
    LOGD(kTag, "CALL API [%s] \n", "rv_getCallbackFd");
    if (!rv::api::sdk_stopped()) {
        LOGE(kTag, "the dispatcher can only change while the sdk is stopped\n");
        errno = EBUSY;
        return -1;
    }
    return rv::dispatch::use_eventfd();
}

int rv_runCallbacks(void) {
    return rv::dispatch::run_pending();
}
