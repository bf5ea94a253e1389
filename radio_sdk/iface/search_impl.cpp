#include "iface/search_impl.h"

#include "request/search_req.h"

extern "C" {

void ipa_get_search_suggest_word(const char *word, int limit, rv_result_callback callback,
                                 void *user_data) {
    request_search_suggest_word(word, limit, callback, user_data);
}

void ipa_get_search_result(const char *keyword, rv_result_callback callback, void *user_data) {
    request_search_result(keyword, callback, user_data);
}

}  // extern "C"
