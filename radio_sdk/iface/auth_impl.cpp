#include "iface/auth_impl.h"

#include "request/auth_req.h"

extern "C" {

void ipa_get_auth_qrcode(const char *response_type, const char *scope, const char *redirect_uri,
                         const char *state, rv_result_callback callback, void *user_data) {
    request_auth_qrcode(response_type, scope, redirect_uri, state, callback, user_data);
}

void ipa_get_auth_qrcode_status(const char *uuid, rv_result_callback callback, void *user_data) {
    request_auth_qrcode_status(uuid, callback, user_data);
}

void ipa_get_auth_grant_code(const char *uuid, rv_result_callback callback, void *user_data) {
    request_auth_grant_code(uuid, callback, user_data);
}

void ipa_get_auth_access_token(const char *code, const char *grant_type, const char *redirect_uri,
                               rv_result_callback callback, void *user_data) {
    request_auth_access_token(code, grant_type, redirect_uri, callback, user_data);
}

void ipa_refresh_auth_access_token(const char *refresh_token, const char *grant_type,
                                   rv_result_callback callback, void *user_data) {
    request_auth_access_token_refresh(refresh_token, grant_type, callback, user_data);
}

void ipa_get_auth_user_info(const char *access_token, const char *open_uid,
                            rv_result_callback callback, void *user_data) {
    request_auth_user_info(access_token, open_uid, callback, user_data);
}

void ipa_do_auth_revoke(const char *access_token, const char *open_uid, rv_result_callback callback,
                        void *user_data) {
    request_auth_revoke_result(access_token, open_uid, callback, user_data);
}

}  // extern "C"
