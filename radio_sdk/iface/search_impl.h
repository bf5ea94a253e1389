/*
 * The internal API layer of search: one-line forwarders to the requests of
 * request/search_req.h, same arguments, same reporting.
 */
#ifndef RV_IFACE_SEARCH_IMPL_H
#define RV_IFACE_SEARCH_IMPL_H

#include "rv_search.h"

RV_BEGIN_DECLS

RV_API void ipa_get_search_suggest_word(const char *word, int limit, rv_result_callback callback,
                                        void *user_data);
RV_API void ipa_get_search_result(const char *keyword, rv_result_callback callback,
                                  void *user_data);

RV_END_DECLS

#endif
