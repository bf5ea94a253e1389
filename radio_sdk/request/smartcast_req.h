/*
 * Smartcast requests (plain HTTP GET, signed). Reporting as request_core.h
 * describes; the delivered record or List belongs to the receiver
 * (rv_smartcast.h, rv_data.h).
 */
#ifndef RV_REQUEST_SMARTCAST_REQ_H
#define RV_REQUEST_SMARTCAST_REQ_H

#include <stdint.h>

#include "rv_smartcast.h"

RV_BEGIN_DECLS

/* List of dao_category. */
RV_API void request_smartcast_category(rv_result_callback callback, void *user_data);
/* List of dao_smartcast. */
RV_API void request_smartcast_list(int cid, rv_result_callback callback, void *user_data);
/* dao_smartcast. */
RV_API void request_smartcast_info(int64_t smartcast_id, rv_result_callback callback,
                                   void *user_data);
/* List of dao_audio with clockId; `clock_id` is form-encoded (null is taken as ""). */
RV_API void request_smartcast_playlist(int64_t smartcast_id, const char *clock_id,
                                       rv_result_callback callback, void *user_data);

RV_END_DECLS

#endif
