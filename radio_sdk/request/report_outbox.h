/*
 * The report outbox: every report send_report is given while the SDK runs is kept
 * in the data directory (ReportStore: "report_outbox.log", or a log of its own while
 * another process on the same directory holds that one) until the report
 * host answered it with 2xx, and sent one at a time, in the order the reports were
 * made. A transient failure (no connection, time out, connection cut, HTTP 5xx or
 * 429) keeps it and tries again after 2 s, doubling to 5 minutes (at least the
 * answer's Retry-After, taken as 5 minutes at most); any other answer (HTTP 4xx) drops it with a W
 * line. The outbox holds at most kOutboxReports reports or kOutboxBytes of event text; when full,
 * the oldest is dropped with a W line and counted. At release nothing more is sent; what is left
 * stays in the file and goes out after the next start-up.
 *
 * Threading: post() may be called from any thread and only takes a short lock: the
 * file is written and the reports sent by the outbox's own thread. open() and
 * close() come from start-up and release.
 */
#ifndef RV_REQUEST_REPORT_OUTBOX_H
#define RV_REQUEST_REPORT_OUTBOX_H

#include <cstddef>
#include <string>

#include "rv_sdk_info.h"

namespace rv::req::outbox {

inline constexpr size_t kOutboxReports = 2000;
inline constexpr size_t kOutboxBytes = 1024 * 1024;

// Reads the reports kept in `data_dir` and starts the outbox's thread; nothing is
// sent before resume(). Without a usable file the outbox still keeps reports in
// memory while the SDK runs.
void open(const char *data_dir);
// Starts sending (the SDK has its openid).
void resume();
// Stops sending, ends the thread and closes the file. Reports whose first attempt
// never came get their callback with 3 here.
void close();
// Takes a report (its event text) when the outbox is open and returns true; the
// callback, when given, gets the result of the report's first attempt (0, or the
// failure code while the report stays kept), or 3 at close, or 7 when it was
// dropped from a full outbox first. False when the outbox is not open; `event_text`
// is then left as it was, for the caller to send itself.
bool post(std::string &&event_text, rv_result_callback callback, void *user_data);

}  // namespace rv::req::outbox

RV_BEGIN_DECLS

// The outbox's counters since the SDK last started (waiting is 0 once released).
typedef struct report_outbox_stats {
    size_t queued;     // reports taken
    size_t delivered;  // answered with 2xx
    size_t dropped;    // dropped: a full outbox, or an answer neither 2xx nor transient
    size_t waiting;    // kept now, the one being sent included
} report_outbox_stats;

// Fills `out` (ignored when null). Any thread; takes only a short lock.
RV_API void report_outbox_stats_get(report_outbox_stats *out);

RV_END_DECLS

#endif
