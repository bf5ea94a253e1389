#include "request/subscribe_req.h"

#include "request/auth_dao.h"
#include "request/request_core.h"
#include "request/subscribe_dao.h"

namespace {

using rv::Host;
using rv::req::Effect;
using rv::req::Endpoint;
using rv::req::kAuthorisedUser;
using rv::req::kSigned;
using rv::req::Method;
using namespace rv::json;
using namespace rv::dao;

constexpr const char *kIdQuery = "id=%lld&";
constexpr const char *kPageQuery = "type=%d&pagenum=%d&pagesize=%d&";

const Endpoint kSubscribeDevice{Host::OpenApiHttp, "/v2/subscribe?", kIdQuery,          Method::Get,
                                Effect::Changes,   kSigned,          as_record<kStatus>};
const Endpoint kSubscribeUser{Host::OpenApiHttps, "/v2/authuser/subscribe?", kIdQuery,
                              Method::Post,       Effect::Changes,           kAuthorisedUser,
                              as_record<kStatus>};
const Endpoint kUnsubscribeDevice{Host::OpenApiHttp, "/v2/unsubscribe?", kIdQuery,
                                  Method::Get,       Effect::Changes,    kSigned,
                                  as_record<kStatus>};
const Endpoint kUnsubscribeUser{
    Host::OpenApiHttps, "/v2/authuser/unsubscribe?", kIdQuery, Method::Post, Effect::Changes,
    kAuthorisedUser,    as_record<kStatus>};
const Endpoint kStatusDevice{Host::OpenApiHttp, "/v2/issubscribe?", kIdQuery,
                             Method::Get,       Effect::Reads,      kSigned,
                             as_record<kStatus>};
const Endpoint kStatusUser{
    Host::OpenApiHttps, "/v2/authuser/issubscribe?", kIdQuery, Method::Post, Effect::Reads,
    kAuthorisedUser,    as_record<kStatus>};
const Endpoint kListDevice{
    Host::OpenApiHttp, "/v2/subscribe/list?",   kPageQuery, Method::Get, Effect::Reads,
    kSigned,           as_record<kSubscribeSet>};
const Endpoint kListUser{
    Host::OpenApiHttps, "/v2/authuser/subscribelist?", kPageQuery, Method::Post, Effect::Reads,
    kAuthorisedUser,    as_record<kSubscribeSet>};

void send_id(const Endpoint &endpoint, int64_t id, rv_result_callback callback, void *user_data) {
    rv::req::send(endpoint, nullptr, callback, user_data, static_cast<long long>(id));
}

}  // namespace

extern "C" {

void request_subscribe_result(int64_t id, rv_result_callback callback, void *user_data) {
    send_id(kSubscribeDevice, id, callback, user_data);
}

void request_authuser_subscribe(int64_t id, rv_result_callback callback, void *user_data) {
    send_id(kSubscribeUser, id, callback, user_data);
}

void request_unsubscribe_result(int64_t id, rv_result_callback callback, void *user_data) {
    send_id(kUnsubscribeDevice, id, callback, user_data);
}

void request_authuser_unsubscribe(int64_t id, rv_result_callback callback, void *user_data) {
    send_id(kUnsubscribeUser, id, callback, user_data);
}

void request_subscribe_status(int64_t id, rv_result_callback callback, void *user_data) {
    send_id(kStatusDevice, id, callback, user_data);
}

void request_authuser_is_subscribe(int64_t id, rv_result_callback callback, void *user_data) {
    send_id(kStatusUser, id, callback, user_data);
}

void request_subscribe_list(int type, int pagenum, int pagesize, rv_result_callback callback,
                            void *user_data) {
    rv::req::send(kListDevice, nullptr, callback, user_data, type, pagenum, pagesize);
}

void request_authuser_subscribe_list(int type, int pagenum, int pagesize,
                                     rv_result_callback callback, void *user_data) {
    rv::req::send(kListUser, nullptr, callback, user_data, type, pagenum, pagesize);
}

}  // extern "C"
