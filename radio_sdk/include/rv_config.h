/** @file
 * Where the SDK connects and how it trusts servers. Call these before rv_initSdk;
 * values set later take effect at the next start.
 *
 * Threading: any thread; they only store a copy and never block.
 */
#ifndef RV_CONFIG_H
#define RV_CONFIG_H

#include "rv_export.h"

RV_BEGIN_DECLS

/**
 * Names a PEM file of CA certificates that HTTPS servers are verified against; the
 * SDK keeps its own copy of the path. Null or "" returns to the system's CA store.
 * The environment variable RV_CA_FILE, when set and non-empty at start-up, takes
 * precedence. Certificate and host-name checks are never switched off.
 */
RV_API void rv_setCaFile(const char *path);

/**
 * Sets the open-API host reached over plain HTTP ("http://host:port"), the
 * open-API host reached over HTTPS ("https://host:port") and the report host.
 * A null argument leaves that host as it is; a trailing "/" is dropped.
 *
 * Precedence, for each host: a value set here, else the environment variable
 * (RV_OPEN_API_HTTP, RV_OPEN_API_HTTPS, RV_REPORT_HOST), else the bundled local
 * service (http://127.0.0.1:8940, https://127.0.0.1:8941, http://127.0.0.1:8940).
 *
 * Returns RVE_OK, or RVE_NO_MEMORY when memory is short (nothing changed). The texts are copied;
 * a request uses the hosts current when it is built.
 */
RV_API int rv_setServiceHosts(const char *open_api_http, const char *open_api_https,
                              const char *report_host);

/**
 * How many times a data request that only reads is sent again after a transient
 * failure: 0 turns retries off, a negative count is taken as 0; the default is 2.
 * Takes effect for requests made after the call, also while the SDK runs.
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

RV_END_DECLS

#endif
