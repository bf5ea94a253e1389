/** @file
 * Where the SDK connects, how it trusts servers, how hard it tries and how many
 * requests may wait.
 *
 * When values take effect (every function here): a value applies to every request
 * made after the function returns, whether the SDK is stopped, starting or
 * started; a request already made keeps the values it was made with. Values are
 * kept across rv_releaseSdk and rv_initSdk for the life of the process. A refused
 * value changes nothing.
 *
 * Threading: any thread, also inside SDK callbacks; they store a copy, take only
 * short locks and never wait for the network.
 */
#ifndef RV_CONFIG_H
#define RV_CONFIG_H

#include "rv_export.h"

RV_BEGIN_DECLS

/**
 * Names a PEM file of CA certificates that HTTPS servers (the service's and the
 * media's) are verified against; the SDK keeps its own copy of the path. Null or ""
 * returns to the system's CA store. The environment variable RV_CA_FILE, when set
 * and non-empty, takes precedence (it is read at each rv_initSdk). Certificate and
 * host-name checks are never switched off.
 */
RV_API void rv_setCaFile(const char *path);

/**
 * Sets the open-API host reached over plain HTTP ("http://host:port"), the
 * open-API host reached over HTTPS ("https://host:port") and the report host.
 * A null argument leaves that host as it is; a trailing "/" is dropped.
 * Each value must be an absolute http:// or https:// URL with a host name, an
 * optional port and path, and no user, query or fragment; rv_initSdk further
 * refuses an HTTPS host that is not https:// (the signature and the user's
 * tokens travel to it).
 *
 * Precedence, for each host: a value set here, else the environment variable
 * (RV_OPEN_API_HTTP, RV_OPEN_API_HTTPS, RV_REPORT_HOST), else the bundled local
 * service (http://127.0.0.1:8940, https://127.0.0.1:8941, http://127.0.0.1:8940).
 *
 * Returns RVE_OK; RVE_BAD_ARGS when a value is not such a URL; RVE_NO_MEMORY when
 * memory is short. On a failure none of the three changes. The texts are copied.
 * Takes effect as the top of this header says: the app init and active requests
 * of a start-up use the hosts current when rv_initSdk is called.
 */
RV_API int rv_setServiceHosts(const char *open_api_http, const char *open_api_https,
                              const char *report_host);

/**
 * How many times a data request that only reads is sent again after a transient
 * failure: 0 turns retries off, a negative count is taken as 0; the default is 2.
 * Takes effect as the top of this header says.
 *
 * Retried: every catalogue, album, audio, broadcast, programme, smartcast, operate,
 * search, suggestion, subscription-list and subscription-status, history-list,
 * user-info and server-time request. Never retried: requests that change state on
 * the service (subscribe, unsubscribe, history save and clear), the app init and
 * active requests, the authorisation exchanges (QR code, its status, grant code,
 * token, refresh, revoke) and reports (kept and sent again by the report outbox).
 *
 * A transient failure is: the host name not resolved or the connection not made,
 * the time running out, the connection closed before the whole answer, an HTTP 5xx
 * answer or an HTTP 429 answer. Never retried: a failed certificate check, HTTP 4xx
 * other than 429, an answer that is complete but malformed, an error envelope.
 *
 * The waits are about 250 ms before the first retry and 1 s before the second (then 4 s,
 * 8 s at most), each with +-20 % jitter, and never shorter than the answer's
 * Retry-After; a Retry-After above 10 seconds ends the request with that answer.
 * All attempts end within the request's time limit of 20 seconds from the call: a
 * retry that would leave less than a second for itself is not made. Each retry is
 * signed anew (new timestamp) and logged with one W line, tag "REQUEST":
 * "retry <n> of <count> for <path> in <ms> ms: <reason>". The callback is still
 * called exactly once, with the result of the last attempt; a request waiting for
 * its next attempt when rv_releaseSdk runs gets RVE_NOT_READY at once.
 */
RV_API void rv_setRequestRetries(int count);

/**
 * The request queue: three worker threads make the transfers and run the result
 * callbacks of the data API; a request made while all three are busy waits in a
 * queue of at most `limit` requests (default 30). A request made while the queue
 * is full is refused: its callback gets RVE_QUEUE_FULL at once, on the calling
 * thread. Retries and the SDK's own requests (play lists, reports) wait in the
 * same queue. So with the defaults, of 40 requests made at once while the three
 * workers are busy 30 wait and 10 are refused; made while the workers are idle,
 * up to 33 are taken (three by the workers as they arrive).
 *
 * Returns RVE_OK, or RVE_BAD_ARGS for a limit below 1 (nothing changed). Takes
 * effect as the top of this header says: a lower limit refuses new requests until
 * the queue has shrunk below it and drops none that already wait.
 */
RV_API int rv_setRequestQueueLimit(int limit);

RV_END_DECLS

#endif
