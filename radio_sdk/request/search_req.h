/*
 * Search requests (plain HTTP GET, signed). Each returns at once and reports
 * exactly once as request_core.h describes, with a bare List owned by the
 * receiver (rv_search.h); null texts are taken as empty.
 */
#ifndef RV_REQUEST_SEARCH_REQ_H
#define RV_REQUEST_SEARCH_REQ_H

#include "rv_search.h"

RV_BEGIN_DECLS

/* List of dao_search_suggest_word; `word` is form-encoded into the query. */
RV_API void request_search_suggest_word(const char *word, int limit, rv_result_callback callback,
                                        void *user_data);
/* List of dao_search_result (empty when the answer has no "dataList");
 * `keyword` travels in the JSON body of the search block. */
RV_API void request_search_result(const char *keyword, rv_result_callback callback,
                                  void *user_data);

RV_END_DECLS

#endif
