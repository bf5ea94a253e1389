// HTTP and HTTPS transfers over libcurl, run as thread-pool tasks.
//
// Ownership: a task function takes over its http_task_arg record and frees it with
// http_task_arg_del when it ends, in every outcome. The data handed to a completion
// callback belongs to the task and is valid only during the call: copy what you keep.
//
// Threading: task functions run on the pool's workers and call the completion callback
// there, exactly once. They block for the transfer (at most 20 s, less when the client
// shuts down). Certificate checks are always on: against the request's cainfo, else the
// CA file from RV_CA_FILE or rv_setCaFile, else the system's CA store.
#ifndef RV_HTTP_HTTP_TASK_H
#define RV_HTTP_HTTP_TASK_H

#include <stddef.h>

#include "rv_export.h"

RV_BEGIN_DECLS

// Completion callback: result 0 or 2 (3 when the client stopped before the transfer
// began), the body (null when empty; one zero byte follows it) and its length, and the
// requester's user data.
typedef void (*http_task_callback)(int result, const char *data, size_t size, void *user_data);

typedef struct http_task_arg {
    char *url;                    // heap copy of the full request URL
    char *body;                   // heap copy of the POST body; "" for GET and the redirect probe
    char *cainfo;                 // heap copy of a CA file path, or null for the default
    http_task_callback callback;  // may be null: the outcome is then dropped
    void *user_data;              // handed back to the callback untouched
    long timeout_ms;              // whole-transfer limit; 0 for HTTP_TASK_TIMEOUT_SECONDS
    size_t max_body_bytes;        // a larger answer fails with 2; 0 for HTTP_TASK_MAX_BODY_BYTES
    int fresh_connection;         // 1: never over a reused connection (nor resent on a new one)
} http_task_arg;

// An answer larger than this (or than the record's max_body_bytes) aborts the
// transfer with result 2 and an E line.
#define HTTP_TASK_MAX_BODY_BYTES (16u * 1024u * 1024u)
// Whole-transfer limit of every task, the redirect probe included.
#define HTTP_TASK_TIMEOUT_SECONDS 20L
// The redirect probe takes at most this many redirects (see https_task_get_redirect_uri).
#define HTTP_TASK_MAX_REDIRECTS 10L
// A longer Retry-After is taken as this many seconds (so no caller's arithmetic on it
// can overflow, even with a 32-bit long).
#define HTTP_TASK_MAX_RETRY_AFTER_SECONDS 300L

// A zero-filled record, or null when memory is short. Any thread.
RV_API http_task_arg *http_task_arg_new(void);
// Frees the three strings and the record; null is ignored. Any thread.
RV_API void http_task_arg_del(http_task_arg *arg);

// Starts libcurl's global state and the share handle (DNS cache, connections and TLS
// sessions shared by all transfers). Returns 0, or 2 when libcurl cannot start. Also
// fixes the default CA file for the transfers to come. Not concurrent with transfers.
RV_API int http_task_init(void);
// Releases the share handle and libcurl's global state. Call only when no task runs.
RV_API void http_task_final(void);

// Task bodies for thread_pool_add_task; `arg` is an http_task_arg. Always return null.
RV_API void *http_task_get(void *arg);
RV_API void *http_task_post(void *arg);
RV_API void *https_task_get(void *arg);
RV_API void *https_task_post(void *arg);
// Redirect probe: HEAD requests stepping through the redirects one at a time. The
// callback gets, with its length (valid only during the call), the URL of the first
// hop that carries "code=" in its query or leaves the scheme, host and port the probe
// began on (that hop is not requested), else the last URL reached. Result 2 for a
// redirect from https to http, more than HTTP_TASK_MAX_REDIRECTS redirects or a
// transfer failure.
RV_API void *https_task_get_redirect_uri(void *arg);

// Switches, any thread: V lines of this module (default 1); dump of every received body
// (default 0); libcurl's own verbose output on stderr for GET and POST (default 0;
// that output is libcurl's own and shows URLs unmasked).
RV_API void http_task_verbose(int on);
RV_API void http_task_data_verbose(int on);
RV_API void http_task_http_verbose(int on);
// 1 (default): transfers share connections and TLS sessions; 0: only the DNS cache.
// For measurements; takes effect at the next http_task_init.
RV_API void http_task_share_connections(int on);

// Cuts every transfer in flight short (their callbacks get 2) and makes transfers that
// start later fail at once, until the next http_task_init. Any thread; does not block.
void http_task_abort_all(void);
// Discard function for a task dropped unrun: callback(3) on the calling thread, then
// frees the record.
void http_task_discard(void *arg);
// Ends a task that will not run: callback(`result`) on the calling thread, then frees
// the record.
void http_task_end(void *arg, int result);

RV_END_DECLS

#ifdef __cplusplus
#include <cstdint>
#include <memory>
#include <string>

namespace rv::http {

// Why a transfer failed, as far as deciding to try again goes.
enum class Failure {
    None,     // an answer arrived (whatever its status)
    Connect,  // the name could not be resolved or the connection not made
    Timeout,  // the transfer's time ran out
    Cut,      // the connection closed before the whole answer
    Tls,      // the certificate or the TLS handshake failed
    Stopped,  // the client stopped the transfer, or it never ran
    Other,    // anything else (memory, an oversized answer, a bad URL)
};

// What a transfer came to beyond the result code. The HTTP status does not change
// the result: an answer of any status is a success with its body.
struct Transfer {
    Failure failure = Failure::Stopped;
    long status = 0;          // HTTP status of the (last) answer; 0 without one
    long retry_after_s = -1;  // the answer's Retry-After in seconds (at most
                              // HTTP_TASK_MAX_RETRY_AFTER_SECONDS); -1 without one
};

// Receiver of a streamed download (download()), called on the thread running it.
class DownloadSink {
  public:
    virtual ~DownloadSink() = default;
    // The answer's head, before its first body byte (2xx answers only): status, the
    // body's first byte within the file, the file's whole size (-1 unknown) and its
    // ETag ("" without one). False stops the transfer.
    virtual bool begin(long status, int64_t first_byte, int64_t total, const std::string &etag) = 0;
    // A piece of the body. False stops the transfer.
    virtual bool write(const char *data, size_t size) = 0;
    // Polled about every second and while data flows; true stops the transfer.
    virtual bool stopped() = 0;
};

// GET of `url` from byte `offset` on (0: the whole file), with `if_range` (an ETag,
// may be "") so that a changed file comes whole (200) rather than as a range of
// another file. The body streams into `sink`; answers other than 2xx are not
// written. Blocks the calling thread for the transfer: no whole-transfer limit, but a
// connect limit and a stall limit (no byte for HTTP_TASK_TIMEOUT_SECONDS). Ends at
// once when the client stops (http_task_abort_all). `status` gets the HTTP status
// (0 without an answer). Call only between http_task_init and http_task_final,
// from a thread that ends before http_task_final.
Failure download(const char *url, int64_t offset, const std::string &if_range, DownloadSink &sink,
                 long &status);

// The transfer whose completion callback is running on this thread (valid during that
// call only; outside a callback, a stopped transfer).
const Transfer &current_transfer();

}  // namespace rv::http

// The CA file of transfers without their own: RV_CA_FILE as the last http_task_init found
// it, else the application's (rv_setCaFile), else "" for the system's store. Any thread.
std::string http_task_default_ca();
// rv_setCaFile's store: keeps `path` (null: none; when memory is short, none). Any thread.
void http_task_set_app_ca(const char *path);

// Owner of a task record that has not been handed to the pool (or was handed back).
struct HttpTaskArgDeleter {
    void operator()(http_task_arg *arg) const { http_task_arg_del(arg); }
};
using HttpTaskArgPtr = std::unique_ptr<http_task_arg, HttpTaskArgDeleter>;
#endif

#endif
