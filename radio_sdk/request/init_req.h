/*
 * The identity requests: app init (plain HTTP GET "/v2/app/init?") and app
 * active (plain HTTP POST "/v2/app/active?"), both signed. Success delivers
 * 0, the openid as a heap text owned by the receiver (free() it) and its
 * length; an answer whose "result" has no "openid" string gives 516. Other
 * outcomes as request_core.h describes.
 */
#ifndef RV_REQUEST_INIT_REQ_H
#define RV_REQUEST_INIT_REQ_H

#include "rv_sdk_info.h"

RV_BEGIN_DECLS

RV_API void request_init_app(rv_result_callback callback, void *user_data);
RV_API void request_active_app(rv_result_callback callback, void *user_data);

RV_END_DECLS

#endif
