/*
 * Subscriptions, for the device (plain HTTP GET, known by the common block)
 * and for the authorised user (HTTPS POST with an empty body and the access
 * block). Both variants of an operation deliver the same record (rv_user.h),
 * owned by the receiver; each returns at once and reports exactly once as
 * request_core.h describes. The user variants give 512 without an access
 * record (SDK not started).
 */
#ifndef RV_REQUEST_SUBSCRIBE_REQ_H
#define RV_REQUEST_SUBSCRIBE_REQ_H

#include <stdint.h>

#include "rv_user.h"

RV_BEGIN_DECLS

/* dao_subscribe_result. */
RV_API void request_subscribe_result(int64_t id, rv_result_callback callback, void *user_data);
RV_API void request_authuser_subscribe(int64_t id, rv_result_callback callback, void *user_data);
/* dao_unsubscribe_result. */
RV_API void request_unsubscribe_result(int64_t id, rv_result_callback callback, void *user_data);
RV_API void request_authuser_unsubscribe(int64_t id, rv_result_callback callback, void *user_data);
/* dao_subscribe_status. */
RV_API void request_subscribe_status(int64_t id, rv_result_callback callback, void *user_data);
RV_API void request_authuser_is_subscribe(int64_t id, rv_result_callback callback, void *user_data);
/* dao_subscribe_set. */
RV_API void request_subscribe_list(int type, int pagenum, int pagesize, rv_result_callback callback,
                                   void *user_data);
RV_API void request_authuser_subscribe_list(int type, int pagenum, int pagesize,
                                            rv_result_callback callback, void *user_data);

RV_END_DECLS

#endif
