/** @file
 * QR-code authorisation of a user account (an OAuth 2.0 authorisation-code
 * flow over HTTPS), in the order an application uses it:
 *   1. rv_getAuthQRCode: a QR code (its uuid and the URL to show as a code);
 *   2. rv_getAuthQRCodeStatus: poll it until the user has confirmed (the
 *      application decides how often);
 *   3. rv_getAuthGrantCode: the grant code, read from the redirect target;
 *   4. rv_getAuthAccessToken: exchange it for an access token and open uid,
 *      which the application hands to rv_cacheSdkAuthAccessInfo (rv_data.h)
 *      so that the user's subscriptions and history (rv_user.h) carry them;
 *   5. rv_refreshAuthAccessToken, rv_getAuthUserInfo and rv_doAuthRevoke.
 *
 * Every text argument is required (null: RVE_BAD_ARGS) and is form-encoded into the
 * query, so any text arrives as the one value it is. Ownership, threading and
 * result codes as rv_data.h says: every delivered record (count 1) belongs to
 * the receiver, who frees it with its dao_<name>_del. Server refusals arrive
 * as RVE_SERVER_40100 (not authorised), RVE_SERVER_40431 (QR code unknown or
 * expired) and RVE_SERVER_40432 (grant code asked before the QR code was
 * confirmed).
 */
#ifndef RV_AUTH_H
#define RV_AUTH_H

#include <stdint.h>

#include "rv_export.h"
#include "rv_sdk_info.h"

RV_BEGIN_DECLS

/** A QR code to show the user. */
typedef struct dao_auth_qrcode {
    int32_t status;    /**< the service's "status" (0 when absent) */
    char *uuid;        /**< names this QR code in the next two steps */
    char *qrcode_path; /**< the URL the QR code stands for */
} dao_auth_qrcode;

/** Where a QR code stands (the service's status value, for example waiting,
 * scanned, confirmed). */
typedef struct dao_auth_qrcode_status {
    int32_t status; /**< the QR code's state, as the service sends it */
} dao_auth_qrcode_status;

/** The grant code and state taken from the redirect target's query (decoded;
 * the empty text when absent). Not read from JSON. */
typedef struct dao_auth_grant_code {
    char *code;  /**< the grant code, traded for a token */
    char *state; /**< the redirect's "state": the one given to rv_getAuthQRCode */
} dao_auth_grant_code;

/** An access token, from the exchange and from a refresh. */
typedef struct dao_auth_access_token {
    char *access_token;  /**< the token (rv_cacheSdkAuthAccessInfo) */
    char *refresh_token; /**< trades for a new token when this one expires */
    char *open_uid;      /**< the user, as the service names it */
    char *scope;         /**< what the token grants, as sent */
    int32_t expires_in;  /**< seconds */
} dao_auth_access_token;

/** The user's profile; each text is "0" when the answer lacks it. */
typedef struct dao_auth_user_info {
    char *nickname; /**< the user's display name */
    char *avatar;   /**< picture URL */
} dao_auth_user_info;

/** The outcome of a revocation. */
typedef struct dao_auth_revoke_result {
    int32_t status; /**< the service's "status" (0 when absent) */
} dao_auth_revoke_result;

RV_API dao_auth_qrcode *dao_auth_qrcode_new(
    void); /**< a zero-filled record; null when memory is short */
RV_API void dao_auth_qrcode_del(
    dao_auth_qrcode *record); /**< frees the record, its strings and lists; null is ignored */
RV_API dao_auth_qrcode_status *dao_auth_qrcode_status_new(
    void); /**< a zero-filled record; null when memory is short */
RV_API void dao_auth_qrcode_status_del(
    dao_auth_qrcode_status
        *record); /**< frees the record, its strings and lists; null is ignored */
RV_API dao_auth_grant_code *dao_auth_grant_code_new(
    void); /**< a zero-filled record; null when memory is short */
RV_API void dao_auth_grant_code_del(
    dao_auth_grant_code *record); /**< frees the record, its strings and lists; null is ignored */
RV_API dao_auth_access_token *dao_auth_access_token_new(
    void); /**< a zero-filled record; null when memory is short */
RV_API void dao_auth_access_token_del(
    dao_auth_access_token *record); /**< frees the record, its strings and lists; null is ignored */
RV_API dao_auth_user_info *dao_auth_user_info_new(
    void); /**< a zero-filled record; null when memory is short */
RV_API void dao_auth_user_info_del(
    dao_auth_user_info *record); /**< frees the record, its strings and lists; null is ignored */
RV_API dao_auth_revoke_result *dao_auth_revoke_result_new(
    void); /**< a zero-filled record; null when memory is short */
RV_API void dao_auth_revoke_result_del(
    dao_auth_revoke_result
        *record); /**< frees the record, its strings and lists; null is ignored */

/** A new QR code: a dao_auth_qrcode. */
RV_API void rv_getAuthQRCode(const char *response_type, const char *scope, const char *redirect_uri,
                             const char *state, rv_result_callback callback, void *user_data);
/** The status of QR code `uuid`: a dao_auth_qrcode_status. */
RV_API void rv_getAuthQRCodeStatus(const char *uuid, rv_result_callback callback, void *user_data);
/** The grant code of confirmed QR code `uuid`: a dao_auth_grant_code, whose
 * code is never empty. When the service does not redirect to a code (asked
 * before the user confirmed, or an unknown uuid): RVE_SERVER_40432 and no
 * record; poll rv_getAuthQRCodeStatus until confirmed first. */
RV_API void rv_getAuthGrantCode(const char *uuid, rv_result_callback callback, void *user_data);
/** Exchanges a grant code (with the redirect URI of its QR code): a
 * dao_auth_access_token. */
RV_API void rv_getAuthAccessToken(const char *code, const char *grant_type,
                                  const char *redirect_uri, rv_result_callback callback,
                                  void *user_data);
/** A new access token for `refresh_token`: a dao_auth_access_token. */
RV_API void rv_refreshAuthAccessToken(const char *refresh_token, const char *grant_type,
                                      rv_result_callback callback, void *user_data);
/** The user's profile: a dao_auth_user_info. */
RV_API void rv_getAuthUserInfo(const char *access_token, const char *open_uid,
                               rv_result_callback callback, void *user_data);
/** Ends the authorisation: a dao_auth_revoke_result. */
RV_API void rv_doAuthRevoke(const char *access_token, const char *open_uid,
                            rv_result_callback callback, void *user_data);

RV_END_DECLS

#endif
