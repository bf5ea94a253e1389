// Descriptions of the authorisation records (rv_auth.h), for the filler, and
// of the one-status records every status answer delivers.
#ifndef RV_REQUEST_AUTH_DAO_H
#define RV_REQUEST_AUTH_DAO_H

#include "request/helper_json.h"
#include "rv_auth.h"

namespace rv::dao {

extern const json::RecordDesc kAuthQrcode;       // dao_auth_qrcode
extern const json::RecordDesc kAuthGrantCode;    // dao_auth_grant_code (not read from JSON)
extern const json::RecordDesc kAuthAccessToken;  // dao_auth_access_token
extern const json::RecordDesc kAuthUserInfo;     // dao_auth_user_info
// Every record made of one int "status" (keys in any case): the QR status,
// the revocation and the subscription and history results share its layout.
extern const json::RecordDesc kStatus;

}  // namespace rv::dao

#endif
