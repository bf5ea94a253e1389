#include "iface/smartcast_impl.h"

#include "request/operate_req.h"
#include "request/smartcast_req.h"

extern "C" {

void ipa_get_operate_list(int pagenum, int pagesize, rv_result_callback callback, void *user_data) {
    request_operate_list(pagenum, pagesize, callback, user_data);
}

void ipa_get_smartcast_category(rv_result_callback callback, void *user_data) {
    request_smartcast_category(callback, user_data);
}

void ipa_get_smartcast_list(int cid, rv_result_callback callback, void *user_data) {
    request_smartcast_list(cid, callback, user_data);
}

void ipa_get_smartcast_info(int64_t smartcast_id, rv_result_callback callback, void *user_data) {
    request_smartcast_info(smartcast_id, callback, user_data);
}

void ipa_get_smartcast_playlist(int64_t smartcast_id, const char *clock_id,
                                rv_result_callback callback, void *user_data) {
    request_smartcast_playlist(smartcast_id, clock_id != nullptr ? clock_id : "", callback,
                               user_data);
}

}  // extern "C"
