/** @file
 * Start-up and shut-down of the SDK.
 */
#ifndef RV_SDK_H
#define RV_SDK_H

#include "rv_sdk_info.h"

RV_BEGIN_DECLS

/**
 * Starts the SDK: keeps the application's credentials, prepares the data
 * directory (created with its parents when missing; the current directory
 * when null), reads or makes the device id, starts the HTTP transport and
 * asks the service for this device's openid (app init, falling back to app
 * active), which it keeps in `data_dir`/openid.dat. The SDK's files in
 * `data_dir` (openid.dat, report_outbox.log, report_outbox.lock and the
 * download store downloads/, rv_download.h) are made
 * 0600 and never opened through a symbolic link or as anything but a regular
 * file. Several processes may share one `data_dir`: one sends the reports
 * kept there, the others keep theirs in `report_outbox.<n>.log` until they are
 * sent or adopted by the next process that owns the directory.
 *
 * appid, secretkey, channel and packagename are required; extra and data_dir
 * may be null. All texts are copied.
 *
 * packagename is also the application.name that PipeWire (through its ALSA
 * plugin) shows for the SDK's audio stream: unless the environment already
 * holds PIPEWIRE_ALSA, the first start-up sets it to `{ application.name =
 * "<packagename>" }`. It writes the environment (setenv), so call it before
 * the application's threads read or change the environment.
 *
 * The outcome reaches `callback` exactly once, with data null and count 0:
 * RVE_OK once the SDK is started (the data functions work from then on);
 * RVE_BAD_ARGS for a null required argument or an HTTPS host
 * (rv_setServiceHosts, RV_OPEN_API_HTTPS) that is not an https:// URL;
 * RVE_ALREADY_STARTED when the SDK is started, still starting, or its last
 * start-up failed and rv_releaseSdk has not been called since (applications
 * built before this code existed saw RVE_NOT_READY: test for any non-zero code);
 * RVE_NO_MEMORY; RVE_NO_ACCESS for a data directory that is not readable and
 * writable; RVE_FAILED or a server code when neither identity request
 * succeeds; RVE_SAVE_FAILED when the identity file cannot be written.
 * Refusals and failures before the identity request are reported on the calling thread before this
 * returns; the identity outcome on a worker thread. Blocks only while starting the transport.
 *
 * Must not be called from an SDK callback, except one run on the
 * application's loop (rv_dispatch.h), also inside rv_releaseSdk. Called from
 * a callback that rv_releaseSdk makes on its own thread before the SDK is
 * stopped (a refused request, a report's outcome), it reports RVE_NOT_READY.
 */
RV_API void rv_initSdk(const char *appid, const char *secretkey, const char *channel,
                       const char *extra, const char *packagename, const char *data_dir,
                       rv_result_callback callback, void *user_data);

/**
 * Stops the SDK: the data functions refuse with RVE_NOT_READY from now on, the transport
 * is stopped (blocking until the transfers in progress have called back) and
 * the records are released. Safe without a start-up, after a failed one and
 * while requests are in flight. Must not be called from an SDK callback,
 * except one run on the application's loop (rv_dispatch.h). A call from a
 * callback that a release on the same thread is making returns at once; that
 * release completes.
 */
RV_API void rv_releaseSdk(void);

RV_END_DECLS

#endif
