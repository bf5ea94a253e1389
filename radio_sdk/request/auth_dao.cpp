#include "request/auth_dao.h"

#include <array>

namespace rv::dao {

using json::free_as;

namespace {

constexpr std::array kQrcodeFields{
    RV_FIELD(dao_auth_qrcode, status, "status", Int),
    RV_FIELD(dao_auth_qrcode, uuid, "uuid", String),
    RV_FIELD(dao_auth_qrcode, qrcode_path, "qrcode_path", String),
};

constexpr std::array kGrantCodeFields{
    RV_FIELD(dao_auth_grant_code, code, "code", String),
    RV_FIELD(dao_auth_grant_code, state, "state", String),
};

constexpr std::array kAccessTokenFields{
    RV_FIELD(dao_auth_access_token, access_token, "access_token", String),
    RV_FIELD(dao_auth_access_token, refresh_token, "refresh_token", String),
    RV_FIELD(dao_auth_access_token, open_uid, "open_uid", String),
    RV_FIELD(dao_auth_access_token, scope, "scope", String),
    RV_FIELD(dao_auth_access_token, expires_in, "expires_in", Int),
};

constexpr std::array kUserInfoFields{
    RV_FIELD(dao_auth_user_info, nickname, "nickname", String, nullptr, "0"),
    RV_FIELD(dao_auth_user_info, avatar, "avatar", String, nullptr, "0"),
};

constexpr std::array kStatusFields{
    RV_FIELD(dao_auth_qrcode_status, status, "status", Int),
};

}  // namespace

const json::RecordDesc kAuthQrcode{sizeof(dao_auth_qrcode), false, kQrcodeFields,
                                   free_as<kAuthQrcode>};
const json::RecordDesc kAuthGrantCode{sizeof(dao_auth_grant_code), false, kGrantCodeFields,
                                      free_as<kAuthGrantCode>};
const json::RecordDesc kAuthAccessToken{sizeof(dao_auth_access_token), false, kAccessTokenFields,
                                        free_as<kAuthAccessToken>};
const json::RecordDesc kAuthUserInfo{sizeof(dao_auth_user_info), false, kUserInfoFields,
                                     free_as<kAuthUserInfo>};
const json::RecordDesc kStatus{sizeof(dao_auth_qrcode_status), false, kStatusFields,
                               free_as<kStatus>};

}  // namespace rv::dao

RV_DAO_FUNCTIONS(dao_auth_qrcode, rv::dao::kAuthQrcode)
RV_DAO_FUNCTIONS(dao_auth_qrcode_status, rv::dao::kStatus)
RV_DAO_FUNCTIONS(dao_auth_grant_code, rv::dao::kAuthGrantCode)
RV_DAO_FUNCTIONS(dao_auth_access_token, rv::dao::kAuthAccessToken)
RV_DAO_FUNCTIONS(dao_auth_user_info, rv::dao::kAuthUserInfo)
RV_DAO_FUNCTIONS(dao_auth_revoke_result, rv::dao::kStatus)
static_assert(sizeof(dao_auth_revoke_result) == sizeof(dao_auth_qrcode_status));
