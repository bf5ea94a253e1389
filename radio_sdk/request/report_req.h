/*
 * Play-event reports: plain-HTTP GETs of "/c.gif?" on the report host,
 * carrying the report block, the common block and the event text.
 *
 * send_report hands the report to the report outbox (report_outbox.h) while
 * the SDK runs: it is kept in the data directory until the report host
 * answered it with 2xx, sent again after transient failures, in order, and
 * after the next start-up when the SDK was released or the process ended
 * first. A report's first failed attempt is one warning line (tag
 * "DATA_REPORT") "send report failed: %s\n".
 *
 * Threading: any thread; never blocks on the network or the outbox's file.
 * The outcome reaches the callback exactly once: 0 once the report host
 * answered with 2xx (the answer body is not read), 2 on a transport failure
 * or an HTTP 5xx or 429 answer, 516 for any other answer, 512 before
 * start-up, 4 for a null record, 5 when memory is short; on the calling
 * thread when the report could not be queued, otherwise on a worker. For
 * send_report this is its first attempt (the report stays kept after a
 * transient failure); 3 when rv_releaseSdk came before it, 7 when a full
 * outbox dropped it first.
 */
#ifndef RV_REQUEST_REPORT_REQ_H
#define RV_REQUEST_REPORT_REQ_H

#include "request/report_dao.h"
#include "rv_sdk_info.h"

RV_BEGIN_DECLS

/*
 * Sends `report`: every present field, in the record's order, as
 * key=value& with the value form-encoded and never cut. The caller keeps the
 * record (it is copied before the call returns). `callback` may be null.
 */
RV_API void send_report(const dao_report *report, rv_result_callback callback, void *user_data);
/* Sends a report whose event text is `event_text` (already encoded; null is
 * taken as empty) once, without the outbox. */
RV_API void request_send_report(const char *event_text, rv_result_callback callback,
                                void *user_data);

RV_END_DECLS

#ifdef __cplusplus
#include <string>

namespace rv::req {
// The event text send_report sends for `report`. Throws std::bad_alloc.
std::string report_event_text(const dao_report &report);
}  // namespace rv::req
#endif

#endif
