#include "iface/album_impl.h"

#include "request/album_req.h"
#include "request/audio_req.h"

extern "C" {

void ipa_get_all_category(rv_result_callback callback, void *user_data) {
    request_all_category(callback, user_data);
}

void ipa_get_sub_category(int cid, rv_result_callback callback, void *user_data) {
    request_sub_category(cid, callback, user_data);
}

void ipa_get_album_list(int cid, int sorttype, int pagenum, int pagesize,
                        rv_result_callback callback, void *user_data) {
    request_album_list(cid, sorttype, pagenum, pagesize, callback, user_data);
}

void ipa_get_album_info(int64_t album_id, rv_result_callback callback, void *user_data) {
    request_album_info(album_id, callback, user_data);
}

void ipa_get_album_playlist(int64_t album_id, int sorttype, int pagenum, int pagesize,
                            int64_t audio_id, rv_result_callback callback, void *user_data) {
    request_album_playlist(album_id, sorttype, pagenum, pagesize, audio_id, callback, user_data);
}

void ipa_get_album_audio_info(int64_t audio_id, rv_result_callback callback, void *user_data) {
    request_album_audio_info(audio_id, callback, user_data);
}

void ipa_get_album_top_list(const char *type, int pagenum, int pagesize,
                            rv_result_callback callback, void *user_data) {
    request_album_top_list(type, pagenum, pagesize, callback, user_data);
}

void ipa_get_album_recommend_list(rv_result_callback callback, void *user_data) {
    request_album_recommend_list(callback, user_data);
}

}  // extern "C"
