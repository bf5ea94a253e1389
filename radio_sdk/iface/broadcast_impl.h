/*
 * The internal API layer of broadcasts: one-line forwarders to the requests
 * of request/broadcast_req.h and request/inner_req.h, same arguments, same
 * reporting. The broadcast player calls some of them directly.
 */
#ifndef RV_IFACE_BROADCAST_IMPL_H
#define RV_IFACE_BROADCAST_IMPL_H

#include <stdint.h>

#include "rv_broadcast.h"

RV_BEGIN_DECLS

RV_API void ipa_get_broadcast_category(rv_result_callback callback, void *user_data);
RV_API void ipa_get_broadcast_area(rv_result_callback callback, void *user_data);
RV_API void ipa_get_broadcast_date(rv_result_callback callback, void *user_data);
RV_API void ipa_get_broadcast_list(int type, int classifyid, int pagenum, int pagesize, int area,
                                   rv_result_callback callback, void *user_data);
RV_API void ipa_get_broadcast_info(int64_t broadcast_id, rv_result_callback callback,
                                   void *user_data);
RV_API void ipa_get_broadcast_program_list(int64_t broadcast_id, const char *date,
                                           rv_result_callback callback, void *user_data);
RV_API void ipa_get_broadcast_program_info(int64_t program_id, rv_result_callback callback,
                                           void *user_data);
RV_API void ipa_get_broadcast_current_program(int64_t broadcast_id, rv_result_callback callback,
                                              void *user_data);
RV_API void ipa_get_city_broadcast_list(int citycode, int pagenum, int pagesize,
                                        rv_result_callback callback, void *user_data);
RV_API void ipa_get_city_broadcast_top_list(rv_result_callback callback, void *user_data);
/* No public function: the server's time (dao_server_time) and radio labels
 * (dao_radio_label_set). */
RV_API void ipa_get_current_server_time(rv_result_callback callback, void *user_data);
RV_API void ipa_get_radio_label_list(int pagenum, int pagesize, rv_result_callback callback,
                                     void *user_data);

RV_END_DECLS

#endif
