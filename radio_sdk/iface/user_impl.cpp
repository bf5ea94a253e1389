#include "iface/user_impl.h"

#include "request/history_req.h"
#include "request/subscribe_req.h"

extern "C" {

void ipa_authuser_subscribe(int64_t id, rv_result_callback callback, void *user_data) {
    request_authuser_subscribe(id, callback, user_data);
}

void ipa_authuser_unsubscribe(int64_t id, rv_result_callback callback, void *user_data) {
    request_authuser_unsubscribe(id, callback, user_data);
}

void ipa_authuser_is_subscribe(int64_t id, rv_result_callback callback, void *user_data) {
    request_authuser_is_subscribe(id, callback, user_data);
}

void ipa_authuser_subscribe_list(int type, int pagenum, int pagesize, rv_result_callback callback,
                                 void *user_data) {
    request_authuser_subscribe_list(type, pagenum, pagesize, callback, user_data);
}

void ipa_authuser_save_listen_history(int64_t radio_id, int64_t audio_id, int64_t played_time,
                                      int64_t duration, int64_t time_stamp,
                                      rv_result_callback callback, void *user_data) {
    request_authuser_save_listen_history(radio_id, audio_id, played_time, duration, time_stamp,
                                         callback, user_data);
}

void ipa_authuser_get_listen_history(rv_result_callback callback, void *user_data) {
    request_authuser_get_listen_history(callback, user_data);
}

void ipa_authuser_clear_listen_history(rv_result_callback callback, void *user_data) {
    request_authuser_clear_listen_history(callback, user_data);
}

}  // extern "C"
