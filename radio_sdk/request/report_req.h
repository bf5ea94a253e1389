/*
 * Play-event reports: fire-and-forget plain-HTTP GETs of "/c.gif?" on the
 * report host, carrying the report block, the common block and the event
 * text. Nothing is queued, stored or retried; a failure is one warning line
 * (tag "DATA_REPORT") and the callback, when there is one.
 *
 * Threading: any thread; only formats text and queues the GET. The outcome
 * reaches the callback exactly once: 0 once the report host answered (the
 * answer is not read), 2 on a transport failure, 512 before start-up, 4 for a
 * null record, 5 when memory is short; on the calling thread when the report
 * could not be queued, otherwise on a worker.
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
 * taken as empty). */
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
