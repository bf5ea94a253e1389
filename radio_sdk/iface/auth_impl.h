/*
 * The internal API layer of the authorisation flow: one-line forwarders to
 * the requests of request/auth_req.h, same arguments, same reporting.
 */
#ifndef RV_IFACE_AUTH_IMPL_H
#define RV_IFACE_AUTH_IMPL_H

#include "rv_auth.h"

RV_BEGIN_DECLS

RV_API void ipa_get_auth_qrcode(const char *response_type, const char *scope,
                                const char *redirect_uri, const char *state,
                                rv_result_callback callback, void *user_data);
RV_API void ipa_get_auth_qrcode_status(const char *uuid, rv_result_callback callback,
                                       void *user_data);
RV_API void ipa_get_auth_grant_code(const char *uuid, rv_result_callback callback, void *user_data);
RV_API void ipa_get_auth_access_token(const char *code, const char *grant_type,
                                      const char *redirect_uri, rv_result_callback callback,
                                      void *user_data);
RV_API void ipa_refresh_auth_access_token(const char *refresh_token, const char *grant_type,
                                          rv_result_callback callback, void *user_data);
RV_API void ipa_get_auth_user_info(const char *access_token, const char *open_uid,
                                   rv_result_callback callback, void *user_data);
RV_API void ipa_do_auth_revoke(const char *access_token, const char *open_uid,
                               rv_result_callback callback, void *user_data);

RV_END_DECLS

#endif
