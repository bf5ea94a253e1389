#include "request/history_req.h"

#include "request/auth_dao.h"
#include "request/history_dao.h"
#include "request/request_core.h"

namespace {

using rv::Host;
using rv::req::Effect;
using rv::req::Endpoint;
using rv::req::kAuthorisedUser;
using rv::req::kSigned;
using rv::req::Method;
using namespace rv::json;
using namespace rv::dao;

// The type is always 0.
constexpr const char *kSaveQuery =
    "type=0&radioId=%lld&audioId=%lld&playedTime=%lld&duration=%lld&timeStamp=%lld&";

const Endpoint kSaveDevice{Host::OpenApiHttp, "/v2/history/save?", kSaveQuery,
                           Method::Post,      Effect::Changes,     kSigned,
                           as_record<kStatus>};
const Endpoint kSaveUser{
    Host::OpenApiHttps, "/v2/authuser/savehistory?", kSaveQuery, Method::Post, Effect::Changes,
    kAuthorisedUser,    as_record<kStatus>};
const Endpoint kListDevice{Host::OpenApiHttp,     "/v2/history/list?", "&",
                           Method::Get,           Effect::Reads,       kSigned,
                           as_record<kHistorySet>};
const Endpoint kListUser{
    Host::OpenApiHttps, "/v2/authuser/listhistory?", "&", Method::Post, Effect::Reads,
    kAuthorisedUser,    as_record<kHistorySet>};
const Endpoint kClearDevice{Host::OpenApiHttp, "/v2/history/clear?", "&",
                            Method::Get,       Effect::Changes,      kSigned,
                            as_record<kStatus>};
const Endpoint kClearUser{Host::OpenApiHttps,
                          "/v2/authuser/clearhistory?",
                          "&",
                          Method::Post,
                          Effect::Changes,
                          kAuthorisedUser,
                          as_record<kStatus>};

void send_save(const Endpoint &endpoint, int64_t radio_id, int64_t audio_id, int64_t played_time,
               int64_t duration, int64_t time_stamp, rv_result_callback callback, void *user_data) {
    rv::req::send(endpoint, nullptr, callback, user_data, static_cast<long long>(radio_id),
                  static_cast<long long>(audio_id), static_cast<long long>(played_time),
                  static_cast<long long>(duration), static_cast<long long>(time_stamp));
}

}  // namespace

extern "C" {

void request_save_listen_history(int64_t radio_id, int64_t audio_id, int64_t played_time,
                                 int64_t duration, int64_t time_stamp, rv_result_callback callback,
                                 void *user_data) {
    send_save(kSaveDevice, radio_id, audio_id, played_time, duration, time_stamp, callback,
              user_data);
}

void request_authuser_save_listen_history(int64_t radio_id, int64_t audio_id, int64_t played_time,
                                          int64_t duration, int64_t time_stamp,
                                          rv_result_callback callback, void *user_data) {
    send_save(kSaveUser, radio_id, audio_id, played_time, duration, time_stamp, callback,
              user_data);
}

void request_get_listen_history(rv_result_callback callback, void *user_data) {
    rv::req::send(kListDevice, nullptr, callback, user_data);
}

void request_authuser_get_listen_history(rv_result_callback callback, void *user_data) {
    rv::req::send(kListUser, nullptr, callback, user_data);
}

void request_clear_listen_history(rv_result_callback callback, void *user_data) {
    rv::req::send(kClearDevice, nullptr, callback, user_data);
}

void request_authuser_clear_listen_history(rv_result_callback callback, void *user_data) {
    rv::req::send(kClearUser, nullptr, callback, user_data);
}

}  // extern "C"
