/*
 * The one request mechanism every open-API endpoint goes through.
 *
 * An endpoint is a table row: host, path, query format, method, the blocks
 * appended after its own parameters, and how its answer becomes a record.
 * send() builds the URL, queues the transfer and returns at once; the answer
 * is read on a pool worker and delivered to the callback exactly once:
 *   - on the caller's thread when the URL cannot be built or the transfer
 *     cannot be queued (the code of that failure, data null, count 0);
 *   - otherwise on a worker: transport failure 2, an answer that is not JSON
 *     or has no "result" 516, an error envelope its server code, else 0 with
 *     the record (owned by the receiver) and its count.
 *
 * Adding an endpoint group: describe its records with RecordDesc tables
 * (helper_json.h), write one Endpoint row per endpoint, and make each
 * request_<name> a call of send() with the row and the endpoint's own
 * arguments in the order of its query format (64-bit values as long long).
 * Extra query blocks are Block functions named in the row (the access block
 * for the authorised user, the search block with the keyword as block_arg,
 * the event text of a report); answers outside the envelope get a RawReader
 * (the redirect target of a probe, a report's ignored answer). A row whose
 * text arguments are free text sets form_encode: each %s value is then
 * form-encoded (util_url.h) before it is spliced in. Nothing else changes here.
 */
#ifndef RV_REQUEST_REQUEST_CORE_H
#define RV_REQUEST_REQUEST_CORE_H

#include <array>
#include <span>
#include <string>

#include "request/helper_json.h"
#include "request/helper_url.h"
#include "request/service_hosts.h"
#include "rv_sdk_info.h"

namespace rv::req {

enum class Method {
    Get,            // HTTP(S) GET
    Post,           // HTTP(S) POST with an empty body
    RedirectProbe,  // HTTPS: follow redirects, hand the last URL to `raw`
};

// What a request does on the service, which decides whether it may be sent again.
enum class Effect {
    Reads,    // only reads: tried again after a transient failure (see send)
    Changes,  // changes state, or is an authorisation exchange or a report: sent once,
              // over a connection of its own (a reused one could make libcurl resend it)
};

// No row's answer is larger (a page is small): a larger one ends the request with 2
// and an E line instead of growing in memory.
inline constexpr size_t kMaxAnswerBytes = 2 * 1024 * 1024;

// Appends a block to the URL: 0 or the failure code. `arg` is send()'s block_arg.
using Block = int (*)(std::string &url, const char *arg);
// Turns the "result" member of an enveloped answer into a delivery.
using Builder = json::Answer (*)(const cJSON *result, const cJSON *root);
// Reads a whole answer that does not follow the envelope (body may be null), given
// its HTTP status.
using RawReader = json::Answer (*)(const char *body, size_t size, long status);

struct Endpoint {
    // Every row registers itself (see all_endpoints); rows are never copied.
    Endpoint(Host host, const char *path, const char *query, Method method, Effect effect,
             std::array<Block, 3> blocks, Builder build, RawReader raw = nullptr,
             bool form_encode = false);
    Endpoint(const Endpoint &) = delete;
    Endpoint &operator=(const Endpoint &) = delete;

    Host host;
    const char *path;   // ends in "?"
    const char *query;  // printf format of the endpoint's own parameters
    Method method;
    Effect effect;
    std::array<Block, 3> blocks;  // appended in order; null entries are skipped
    Builder build;                // for enveloped answers
    RawReader raw;                // when set, replaces the envelope handling
    bool form_encode;             // %s arguments are form-encoded
};

// The blocks of an ordinary signed endpoint.
inline constexpr std::array<Block, 3> kSigned{append_common_params};
// The blocks of an endpoint that acts for the authorised user.
inline constexpr std::array<Block, 3> kAuthorisedUser{append_access_params, append_common_params};

// Every endpoint row of the library. Rows are namespace-scope constants, so
// the list is complete before main() runs; for tools that feed arbitrary
// answers through every row's reader (the fuzz targets).
std::span<const Endpoint *const> all_endpoints();

// Builds host + path + query (formatted from the variadic arguments, which the
// query format may take as %d, %i, %u or %x with an optional l or ll, and %s;
// a null text counts as empty) + blocks,
// queues it, and delivers as described above. `block_arg` is handed to every
// block (the search keyword; null for most endpoints). Never throws.
//
// An Effect::Reads row is sent again, up to retries() times, after a transient
// failure: the name not resolved or the connection not made, the time running out,
// the connection cut before the whole answer, HTTP 5xx, HTTP 429. The waits are about
// 250 ms and 1 s (then 4 s, 8 s at most) with jitter, at least the answer's Retry-After
// (a longer one ends the request), and every attempt ends within one transfer limit
// (HTTP_TASK_TIMEOUT_SECONDS) of the send: a retry that would not fit is not made.
// Each attempt is built and signed anew and logged with one W line (tag "REQUEST").
// The callback gets the last attempt's result, exactly once. A request waiting for
// its next attempt when the SDK is released gets 3.
void send(const Endpoint &endpoint, const char *block_arg, rv_result_callback callback,
          void *user_data, ...);

// What a worker makes of an enveloped answer body (null or not JSON, or no
// "result", gives 516; an error envelope its server code; else the endpoint's
// builder's delivery). The body is only read. Throws std::bad_alloc.
json::Answer read_envelope(const Endpoint &endpoint, const char *body, size_t size);

// Retries of every Effect::Reads request from now on (0: none; negative is taken as
// 0). Default kDefaultRetries. Any thread.
inline constexpr int kDefaultRetries = 2;
inline constexpr int kMaxRetryAfterSeconds = 10;
void set_retries(int count);
int retries();

// Calls the callback with the delivery; without a callback the data is freed.
void notify(rv_result_callback callback, void *user_data, const json::Answer &answer);

}  // namespace rv::req

#endif
