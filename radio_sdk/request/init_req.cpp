#include "request/init_req.h"

#include <cstdlib>
#include <cstring>

#include "request/request_core.h"
#include "rv_error.h"

namespace {

using rv::Host;
using rv::req::Effect;
using rv::req::Endpoint;
using rv::req::kSigned;
using rv::req::Method;

rv::json::Answer openid_answer(const cJSON *result, const cJSON * /*root*/) {
    const cJSON *openid = cJSON_GetObjectItem(result, "openid");
    if (!cJSON_IsString(openid)) {
        return {RVE_BAD_RESPONSE};
    }
    char *text = strdup(openid->valuestring);
    if (text == nullptr) {
        return {RVE_NO_MEMORY};
    }
    return {RVE_OK, text, static_cast<int>(strlen(text)), free};
}

const Endpoint kAppInit{Host::OpenApiHttp, "/v2/app/init?", "",           Method::Get,
                        Effect::Changes,   kSigned,         openid_answer};
const Endpoint kAppActive{Host::OpenApiHttp, "/v2/app/active?", "",           Method::Post,
                          Effect::Changes,   kSigned,           openid_answer};

}  // namespace

extern "C" void request_init_app(rv_result_callback callback, void *user_data) {
    rv::req::send(kAppInit, nullptr, callback, user_data);
}

extern "C" void request_active_app(rv_result_callback callback, void *user_data) {
    rv::req::send(kAppActive, nullptr, callback, user_data);
}
