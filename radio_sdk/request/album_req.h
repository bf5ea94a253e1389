/*
 * Catalogue and album requests (plain HTTP GET, signed). Each returns at once
 * and reports exactly once through the callback as request_core.h describes;
 * the delivered record or List belongs to the receiver (rv_data.h).
 */
#ifndef RV_REQUEST_ALBUM_REQ_H
#define RV_REQUEST_ALBUM_REQ_H

#include <stdint.h>

#include "rv_data.h"

RV_BEGIN_DECLS

/* List of dao_category. */
RV_API void request_all_category(rv_result_callback callback, void *user_data);
RV_API void request_sub_category(int cid, rv_result_callback callback, void *user_data);
/* dao_album_set. */
RV_API void request_album_list(int cid, int sorttype, int pagenum, int pagesize,
                               rv_result_callback callback, void *user_data);
/* dao_album_info of the first album of the answer. */
RV_API void request_album_info(int64_t album_id, rv_result_callback callback, void *user_data);
/* List of dao_album. */
RV_API void request_album_recommend_list(rv_result_callback callback, void *user_data);
/* dao_album_set; `type` is form-encoded into the query (null is taken as empty). */
RV_API void request_album_top_list(const char *type, int pagenum, int pagesize,
                                   rv_result_callback callback, void *user_data);

RV_END_DECLS

#endif
