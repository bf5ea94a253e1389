/*
 * The internal API layer of the authorised user's subscriptions and history:
 * one-line forwarders to the user variants of request/subscribe_req.h and
 * request/history_req.h, same arguments, same reporting.
 */
#ifndef RV_IFACE_USER_IMPL_H
#define RV_IFACE_USER_IMPL_H

#include <stdint.h>

#include "rv_user.h"

RV_BEGIN_DECLS

RV_API void ipa_authuser_subscribe(int64_t id, rv_result_callback callback, void *user_data);
RV_API void ipa_authuser_unsubscribe(int64_t id, rv_result_callback callback, void *user_data);
RV_API void ipa_authuser_is_subscribe(int64_t id, rv_result_callback callback, void *user_data);
RV_API void ipa_authuser_subscribe_list(int type, int pagenum, int pagesize,
                                        rv_result_callback callback, void *user_data);
RV_API void ipa_authuser_save_listen_history(int64_t radio_id, int64_t audio_id,
                                             int64_t played_time, int64_t duration,
                                             int64_t time_stamp, rv_result_callback callback,
                                             void *user_data);
RV_API void ipa_authuser_get_listen_history(rv_result_callback callback, void *user_data);
RV_API void ipa_authuser_clear_listen_history(rv_result_callback callback, void *user_data);

RV_END_DECLS

#endif
