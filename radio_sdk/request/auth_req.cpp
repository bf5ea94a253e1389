#include "request/auth_req.h"

#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "request/auth_dao.h"
#include "request/request_core.h"
#include "request/util_url.h"
#include "rv_error.h"

namespace {

using rv::Host;
using rv::req::Effect;
using rv::req::Endpoint;
using rv::req::kSigned;
using rv::req::Method;
using namespace rv::json;
using namespace rv::dao;

// The grant code and state of a redirect target (`size` bytes of `uri`): what
// follows the first "?" split at "&", the last "code=" and "state=" pieces
// form-decoded. Without a code the service did not redirect (the probe reads
// no body, so not why): RVE_SERVER_40432, the refusal it gives an unconfirmed
// QR code, rather than a success nobody can use.
Answer grant_code_answer(const char *uri, size_t size, long /*status*/) {
    std::string_view text(uri != nullptr ? uri : "", uri != nullptr ? size : 0);
    std::string code, state;
    const size_t mark = text.find('?');
    std::string_view query = mark == std::string_view::npos ? "" : text.substr(mark + 1);
    while (!query.empty()) {
        const size_t amp = query.find('&');
        const std::string_view piece = query.substr(0, amp);
        query = amp == std::string_view::npos ? "" : query.substr(amp + 1);
        if (piece.starts_with("code=")) {
            code = rv::url_decode(piece.substr(5));
        } else if (piece.starts_with("state=")) {
            state = rv::url_decode(piece.substr(6));
        }
    }
    if (code.empty()) {
        return {RVE_SERVER_40432};
    }
    dao_auth_grant_code *record = dao_auth_grant_code_new();
    if (record == nullptr) {
        return {RVE_NO_MEMORY};
    }
    record->code = strdup(code.c_str());
    record->state = strdup(state.c_str());
    if (record->code == nullptr || record->state == nullptr) {
        dao_auth_grant_code_del(record);
        return {RVE_NO_MEMORY};
    }
    return {RVE_OK, record, 1, kAuthGrantCode.free_item};
}

// The requests that prove the application's identity with its secret key.
constexpr std::array<rv::req::Block, 3> kWithSecret{rv::append_secret_key,
                                                    rv::append_common_params};

const Endpoint kQrcode{Host::OpenApiHttps,
                       "/v2/oauth2/qrcode?",
                       "response_type=%s&scope=%s&redirect_uri=%s&state=%s&",
                       Method::Get,
                       Effect::Changes,
                       kSigned,
                       as_record<kAuthQrcode>,
                       nullptr,
                       true};
const Endpoint kQrcheck{Host::OpenApiHttps,
                        "/v2/oauth2/qrcheck?",
                        "uuid=%s&",
                        Method::Get,
                        Effect::Changes,
                        kSigned,
                        as_record<kStatus>,
                        nullptr,
                        true};
const Endpoint kGrantCode{Host::OpenApiHttps,
                          "/v2/oauth2/grantcode?",
                          "uuid=%s&",
                          Method::RedirectProbe,
                          Effect::Changes,
                          kSigned,
                          nullptr,
                          grant_code_answer,
                          true};
const Endpoint kToken{Host::OpenApiHttps,
                      "/v2/oauth2/token?",
                      "code=%s&grant_type=%s&redirect_uri=%s&",
                      Method::Post,
                      Effect::Changes,
                      kWithSecret,
                      as_record<kAuthAccessToken>,
                      nullptr,
                      true};
const Endpoint kRefresh{Host::OpenApiHttps,
                        "/v2/oauth2/refreshtoken?",
                        "refresh_token=%s&grant_type=%s&",
                        Method::Post,
                        Effect::Changes,
                        kWithSecret,
                        as_record<kAuthAccessToken>,
                        nullptr,
                        true};
const Endpoint kUserInfo{Host::OpenApiHttps,
                         "/v2/authuser/userinfo?",
                         "open_uid=%s&access_token=%s&",
                         Method::Post,
                         Effect::Reads,
                         kSigned,
                         as_record<kAuthUserInfo>,
                         nullptr,
                         true};
const Endpoint kRevoke{Host::OpenApiHttps,
                       "/v2/oauth2/revoke?",
                       "open_uid=%s&access_token=%s&",
                       Method::Post,
                       Effect::Changes,
                       kWithSecret,
                       as_record<kStatus>,
                       nullptr,
                       true};

}  // namespace

extern "C" {

void request_auth_qrcode(const char *response_type, const char *scope, const char *redirect_uri,
                         const char *state, rv_result_callback callback, void *user_data) {
    rv::req::send(kQrcode, nullptr, callback, user_data, response_type, scope, redirect_uri, state);
}

void request_auth_qrcode_status(const char *uuid, rv_result_callback callback, void *user_data) {
    rv::req::send(kQrcheck, nullptr, callback, user_data, uuid);
}

void request_auth_grant_code(const char *uuid, rv_result_callback callback, void *user_data) {
    rv::req::send(kGrantCode, nullptr, callback, user_data, uuid);
}

void request_auth_access_token(const char *code, const char *grant_type, const char *redirect_uri,
                               rv_result_callback callback, void *user_data) {
    rv::req::send(kToken, nullptr, callback, user_data, code, grant_type, redirect_uri);
}

void request_auth_access_token_refresh(const char *refresh_token, const char *grant_type,
                                       rv_result_callback callback, void *user_data) {
    rv::req::send(kRefresh, nullptr, callback, user_data, refresh_token, grant_type);
}

void request_auth_user_info(const char *access_token, const char *open_uid,
                            rv_result_callback callback, void *user_data) {
    rv::req::send(kUserInfo, nullptr, callback, user_data, open_uid, access_token);
}

void request_auth_revoke_result(const char *access_token, const char *open_uid,
                                rv_result_callback callback, void *user_data) {
    rv::req::send(kRevoke, nullptr, callback, user_data, open_uid, access_token);
}

}  // extern "C"
