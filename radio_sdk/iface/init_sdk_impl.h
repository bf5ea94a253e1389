/*
 * Start-up and shut-down behind rv_initSdk and rv_releaseSdk (rv_sdk.h).
 */
#ifndef RV_IFACE_INIT_SDK_IMPL_H
#define RV_IFACE_INIT_SDK_IMPL_H

#include <functional>

#include "rv_sdk_info.h"

RV_BEGIN_DECLS

/*
 * Starts the SDK and reports exactly once through `callback` (data null,
 * count 0), as rv_initSdk describes; 3 when a start-up is running, has
 * succeeded or has failed without a release since. Blocks while starting the
 * transport.
 */
RV_API void ipa_sdk_init(const char *appid, const char *secretkey, const char *channel,
                         const char *extra, const char *packagename, const char *data_dir,
                         rv_result_callback callback, void *user_data);

/* Stops the SDK (rv_releaseSdk). Blocks until running transfers have called back. */
RV_API void ipa_sdk_final(void);

/*
 * Writes a new device id, 32 lower-case hex digits, into `out` (the caller
 * zeroes at least 33 bytes): the MD5 of "%ld%d" of the current seconds and a
 * number below 1,000,000 drawn from the system's entropy.
 */
RV_API void make_deviceid(char *out);

RV_END_DECLS

namespace rv::api {
// Runs `change` and returns true when no start-up is running or has succeeded
// (before rv_initSdk, after a failed one, after rv_releaseSdk), with start-up and
// release held off until it returns; false without running it otherwise, also
// while a start-up or release is under way on any thread. Any thread; never waits.
bool while_stopped(const std::function<void()> &change);
}  // namespace rv::api

#endif
