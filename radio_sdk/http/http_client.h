// The SDK's only way to the network: queue HTTP/HTTPS GET and POST requests and a
// redirect probe on the transport's worker pool (3 workers, 30 waiting requests).
//
// Ownership: request functions copy every string they are given; the caller keeps its
// own. The body handed to the callback belongs to the transport and is valid only
// during the call.
//
// Threading: request functions may be called from any thread, workers included, and
// never block beyond a short lock. A request that returns 0 gets exactly one callback:
// on a worker with 0 or 2 (2 also when the client stopped it mid-transfer), or with 3
// on the thread calling http_client_final when the client stopped before it began
// (for a delayed request of rv::http::request, also the pool's refusal code on the
// client's timer thread). A request that returns non-zero gets no callback.
#ifndef RV_HTTP_HTTP_CLIENT_H
#define RV_HTTP_HTTP_CLIENT_H

#include "http/http_task.h"
#include "rv_export.h"

RV_BEGIN_DECLS

// Starts libcurl and the worker pool. Returns 0; 3 when already started; the pool's or
// libcurl's code on failure (then nothing stays running, so a later call can succeed).
// Called at SDK start-up, never concurrently with http_client_final.
RV_API int http_client_init(void);

// Stops the client: new requests get 3, transfers in flight are aborted (their callbacks
// get 2), requests still waiting get their callback with 3 on this thread, then the pool
// and libcurl are released. Returns 0 (3, with nothing stopped, when called on one of
// the workers, i.e. from a callback). Blocks until the workers have ended, which takes
// well under a second even when a server never answers.
RV_API int http_client_final(void);

// Plain GET of `url` (required). Returns 0 when queued; 4 for a null url; 3 when the
// client is not started; 514 when the request cannot be copied; 5 or 7 (queue full)
// from the pool.
RV_API int http_request_get(const char *url, http_task_callback callback, void *user_data);
// POST of `body` (required; "" sends an empty body) to `url`. Results as http_request_get.
// An empty answer to a POST is a failure (callback 2).
RV_API int http_request_post(const char *url, const char *body, http_task_callback callback,
                             void *user_data);
// As the plain functions; `cainfo` (may be null) names a CA file that overrides the
// configured one for this request. Certificates are always verified.
RV_API int https_request_get(const char *url, const char *cainfo, http_task_callback callback,
                             void *user_data);
RV_API int https_request_post(const char *url, const char *body, const char *cainfo,
                              http_task_callback callback, void *user_data);
// Redirect probe of `url` (https_task_get_redirect_uri: at most 10 redirects, never
// from https to http, the hop carrying "code=" or leaving the host handed over
// unrequested); the callback gets that URL and its length, or 2.
RV_API int https_request_get_redirect_uri(const char *url, const char *cainfo,
                                          http_task_callback callback, void *user_data);

// 1 (default) shows this module's V lines, 0 hides them. Any thread.
RV_API void http_client_verbose(int on);

RV_END_DECLS

#ifdef __cplusplus
#include <chrono>

namespace rv::http {

enum class Verb { HttpGet, HttpPost, HttpsGet, HttpsPost, HttpsProbe };

// How one transfer is made, beyond its verb and URL.
struct Options {
    std::chrono::milliseconds delay{};    // queued on the pool once this has passed
    std::chrono::milliseconds timeout{};  // whole-transfer limit; zero: HTTP_TASK_TIMEOUT_SECONDS
    size_t max_body_bytes = 0;            // larger answers fail; 0: HTTP_TASK_MAX_BODY_BYTES
    bool fresh_connection = false;        // never over a reused connection
};

// The request functions above in one: `body` is required for the POSTs (null for the
// others), `cainfo` is ignored for plain HTTP. The delay occupies no worker. Results
// as http_request_get; a request still waiting for its time when the client stops
// gets its callback with 3 on the thread calling http_client_final; one the pool
// refuses at its time gets the pool's code on the client's timer thread.
int request(Verb verb, const char *url, const char *body, const char *cainfo,
            http_task_callback callback, void *user_data, const Options &options = {});

}  // namespace rv::http
#endif

#endif
