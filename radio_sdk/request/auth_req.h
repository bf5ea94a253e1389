/*
 * The QR-code authorisation requests (HTTPS, signed). Each returns at once and
 * reports exactly once through the callback as request_core.h describes; the
 * delivered record belongs to the receiver (rv_auth.h). Every text argument
 * is form-encoded into the query (null is taken as empty). The token, refresh
 * and revoke requests also carry the application's secret key.
 */
#ifndef RV_REQUEST_AUTH_REQ_H
#define RV_REQUEST_AUTH_REQ_H

#include "rv_auth.h"

RV_BEGIN_DECLS

/* dao_auth_qrcode (GET). */
RV_API void request_auth_qrcode(const char *response_type, const char *scope,
                                const char *redirect_uri, const char *state,
                                rv_result_callback callback, void *user_data);
/* dao_auth_qrcode_status (GET). */
RV_API void request_auth_qrcode_status(const char *uuid, rv_result_callback callback,
                                       void *user_data);
/* dao_auth_grant_code, read from the query of the URL the endpoint redirects
 * to (redirects followed, no body fetched). */
RV_API void request_auth_grant_code(const char *uuid, rv_result_callback callback, void *user_data);
/* dao_auth_access_token (POST, empty body). */
RV_API void request_auth_access_token(const char *code, const char *grant_type,
                                      const char *redirect_uri, rv_result_callback callback,
                                      void *user_data);
RV_API void request_auth_access_token_refresh(const char *refresh_token, const char *grant_type,
                                              rv_result_callback callback, void *user_data);
/* dao_auth_user_info (POST, empty body). */
RV_API void request_auth_user_info(const char *access_token, const char *open_uid,
                                   rv_result_callback callback, void *user_data);
/* dao_auth_revoke_result (POST, empty body). */
RV_API void request_auth_revoke_result(const char *access_token, const char *open_uid,
                                       rv_result_callback callback, void *user_data);

RV_END_DECLS

#endif
