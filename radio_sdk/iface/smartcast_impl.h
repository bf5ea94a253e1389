/*
 * The internal API layer of smartcasts and the operate list: one-line
 * forwarders to request/smartcast_req.h and request/operate_req.h, same
 * reporting. The album player calls ipa_get_smartcast_playlist directly.
 */
#ifndef RV_IFACE_SMARTCAST_IMPL_H
#define RV_IFACE_SMARTCAST_IMPL_H

#include <stdint.h>

#include "rv_smartcast.h"

RV_BEGIN_DECLS

RV_API void ipa_get_operate_list(int pagenum, int pagesize, rv_result_callback callback,
                                 void *user_data);
RV_API void ipa_get_smartcast_category(rv_result_callback callback, void *user_data);
RV_API void ipa_get_smartcast_list(int cid, rv_result_callback callback, void *user_data);
RV_API void ipa_get_smartcast_info(int64_t smartcast_id, rv_result_callback callback,
                                   void *user_data);
/* A null clock id is sent as the empty one (the first batch). */
RV_API void ipa_get_smartcast_playlist(int64_t smartcast_id, const char *clock_id,
                                       rv_result_callback callback, void *user_data);

RV_END_DECLS

#endif
