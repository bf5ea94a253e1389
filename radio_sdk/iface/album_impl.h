/*
 * The internal API layer of the catalogue: one-line forwarders to the
 * requests of request/album_req.h and request/audio_req.h, same arguments,
 * same reporting. The album player calls ipa_get_album_playlist directly.
 */
#ifndef RV_IFACE_ALBUM_IMPL_H
#define RV_IFACE_ALBUM_IMPL_H

#include <stdint.h>

#include "rv_data.h"

RV_BEGIN_DECLS

RV_API void ipa_get_all_category(rv_result_callback callback, void *user_data);
RV_API void ipa_get_sub_category(int cid, rv_result_callback callback, void *user_data);
RV_API void ipa_get_album_list(int cid, int sorttype, int pagenum, int pagesize,
                               rv_result_callback callback, void *user_data);
RV_API void ipa_get_album_info(int64_t album_id, rv_result_callback callback, void *user_data);
RV_API void ipa_get_album_playlist(int64_t album_id, int sorttype, int pagenum, int pagesize,
                                   int64_t audio_id, rv_result_callback callback, void *user_data);
RV_API void ipa_get_album_audio_info(int64_t audio_id, rv_result_callback callback,
                                     void *user_data);
RV_API void ipa_get_album_top_list(const char *type, int pagenum, int pagesize,
                                   rv_result_callback callback, void *user_data);
RV_API void ipa_get_album_recommend_list(rv_result_callback callback, void *user_data);

RV_END_DECLS

#endif
