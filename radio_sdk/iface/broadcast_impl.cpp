#include "iface/broadcast_impl.h"

#include "request/broadcast_req.h"
#include "request/inner_req.h"

extern "C" {

void ipa_get_broadcast_category(rv_result_callback callback, void *user_data) {
    request_broadcast_category(callback, user_data);
}

void ipa_get_broadcast_area(rv_result_callback callback, void *user_data) {
    request_broadcast_area(callback, user_data);
}

void ipa_get_broadcast_date(rv_result_callback callback, void *user_data) {
    request_broadcast_date(callback, user_data);
}

void ipa_get_broadcast_list(int type, int classifyid, int pagenum, int pagesize, int area,
                            rv_result_callback callback, void *user_data) {
    request_broadcast_list(type, classifyid, pagenum, pagesize, area, callback, user_data);
}

void ipa_get_broadcast_info(int64_t broadcast_id, rv_result_callback callback, void *user_data) {
    request_broadcast_info(broadcast_id, callback, user_data);
}

void ipa_get_broadcast_program_list(int64_t broadcast_id, const char *date,
                                    rv_result_callback callback, void *user_data) {
    request_broadcast_program_list(broadcast_id, date, callback, user_data);
}

void ipa_get_broadcast_program_info(int64_t program_id, rv_result_callback callback,
                                    void *user_data) {
    request_broadcast_program_info(program_id, callback, user_data);
}

void ipa_get_broadcast_current_program(int64_t broadcast_id, rv_result_callback callback,
                                       void *user_data) {
    request_broadcast_current_program(broadcast_id, callback, user_data);
}

void ipa_get_city_broadcast_list(int citycode, int pagenum, int pagesize,
                                 rv_result_callback callback, void *user_data) {
    request_city_broadcast_list(citycode, pagenum, pagesize, callback, user_data);
}

void ipa_get_city_broadcast_top_list(rv_result_callback callback, void *user_data) {
    request_city_broadcast_top_list(callback, user_data);
}

void ipa_get_current_server_time(rv_result_callback callback, void *user_data) {
    request_current_server_time(callback, user_data);
}

void ipa_get_radio_label_list(int pagenum, int pagesize, rv_result_callback callback,
                              void *user_data) {
    request_radio_label_list(pagenum, pagesize, callback, user_data);
}

}  // extern "C"
