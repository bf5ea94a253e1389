/*
 * The service's own helpers: its current time and the radio label list
 * (plain HTTP GET). Reporting as request_core.h describes; the delivered
 * record belongs to the receiver (rv_broadcast.h).
 */
#ifndef RV_REQUEST_INNER_REQ_H
#define RV_REQUEST_INNER_REQ_H

#include "rv_broadcast.h"

RV_BEGIN_DECLS

/*
 * dao_server_time, count 1. Unsigned and without the common block, so it
 * works before start-up. The answer's error envelope is not examined: any
 * JSON answer gives 0 with the record (serverTime the empty text when
 * absent); an answer that is not JSON gives 516.
 */
RV_API void request_current_server_time(rv_result_callback callback, void *user_data);
/* dao_radio_label_set; every label's audios List exists (empty without audios). */
RV_API void request_radio_label_list(int pagenum, int pagesize, rv_result_callback callback,
                                     void *user_data);

RV_END_DECLS

#endif
