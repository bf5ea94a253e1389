/*
 * The listening history, for the device (plain HTTP, known by the common
 * block) and for the authorised user (HTTPS POST with an empty body and the
 * access block). Both variants of an operation deliver the same record
 * (rv_user.h), owned by the receiver; each returns at once and reports
 * exactly once as request_core.h describes. The user variants give 512
 * without an access record (SDK not started).
 */
#ifndef RV_REQUEST_HISTORY_REQ_H
#define RV_REQUEST_HISTORY_REQ_H

#include <stdint.h>

#include "rv_user.h"

RV_BEGIN_DECLS

/* dao_history_save_result; the device variant is a POST with an empty body. */
RV_API void request_save_listen_history(int64_t radio_id, int64_t audio_id, int64_t played_time,
                                        int64_t duration, int64_t time_stamp,
                                        rv_result_callback callback, void *user_data);
RV_API void request_authuser_save_listen_history(int64_t radio_id, int64_t audio_id,
                                                 int64_t played_time, int64_t duration,
                                                 int64_t time_stamp, rv_result_callback callback,
                                                 void *user_data);
/* dao_history_set. */
RV_API void request_get_listen_history(rv_result_callback callback, void *user_data);
RV_API void request_authuser_get_listen_history(rv_result_callback callback, void *user_data);
/* dao_history_clear_result. */
RV_API void request_clear_listen_history(rv_result_callback callback, void *user_data);
RV_API void request_authuser_clear_listen_history(rv_result_callback callback, void *user_data);

RV_END_DECLS

#endif
