/*
 * Broadcast requests (plain HTTP GET, signed). Each returns at once and
 * reports exactly once through the callback as request_core.h describes; the
 * delivered record or List belongs to the receiver (rv_broadcast.h).
 */
#ifndef RV_REQUEST_BROADCAST_REQ_H
#define RV_REQUEST_BROADCAST_REQ_H

#include <stdint.h>

#include "rv_broadcast.h"

RV_BEGIN_DECLS

/* List of dao_broadcast_category. */
RV_API void request_broadcast_category(rv_result_callback callback, void *user_data);
/* List of dao_broadcast_area. */
RV_API void request_broadcast_area(rv_result_callback callback, void *user_data);
/* List of dao_broadcast_date. */
RV_API void request_broadcast_date(rv_result_callback callback, void *user_data);
/* dao_broadcast_set. */
RV_API void request_broadcast_list(int type, int classifyid, int pagenum, int pagesize, int area,
                                   rv_result_callback callback, void *user_data);
/* dao_broadcast_info. */
RV_API void request_broadcast_info(int64_t broadcast_id, rv_result_callback callback,
                                   void *user_data);
/* List of dao_program; `date` is form-encoded (null and "" ask for today). */
RV_API void request_broadcast_program_list(int64_t broadcast_id, const char *date,
                                           rv_result_callback callback, void *user_data);
/* dao_program with serverTime null. */
RV_API void request_broadcast_program_info(int64_t program_id, rv_result_callback callback,
                                           void *user_data);
/* dao_program with serverTime from the answer (the empty text when absent). */
RV_API void request_broadcast_current_program(int64_t broadcast_id, rv_result_callback callback,
                                              void *user_data);
/* The city lists: the answer is not read; 0 with data null, count 0. */
RV_API void request_city_broadcast_list(int citycode, int pagenum, int pagesize,
                                        rv_result_callback callback, void *user_data);
RV_API void request_city_broadcast_top_list(rv_result_callback callback, void *user_data);

RV_END_DECLS

#endif
