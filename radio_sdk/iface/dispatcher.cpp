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
    if (!rv::api::while_stopped([post, user] { rv::dispatch::set_dispatcher(post, user); })) {
        LOGE(kTag, "the dispatcher can only change while the sdk is stopped\n");
        return RVE_ALREADY_STARTED;
    }
    return RVE_OK;
}

int rv_getCallbackFd(void) {
    LOGD(kTag, "CALL API [%s] \n", "rv_getCallbackFd");
    int fd = -1;
    if (!rv::api::while_stopped([&fd] { fd = rv::dispatch::use_eventfd(); })) {
        LOGE(kTag, "the dispatcher can only change while the sdk is stopped\n");
        errno = EBUSY;
        return -1;
    }
    return fd;
}

int rv_runCallbacks(void) {
    return rv::dispatch::run_pending();
}
