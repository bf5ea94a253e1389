#include "request/broadcast_req.h"

#include <cstring>
#include <string>

#include "request/broadcast_dao.h"
#include "request/request_core.h"
#include "rv_error.h"

namespace rv::req {

namespace {

using namespace json;
using namespace dao;

// The programme dates come wrapped in a page-like object.
Answer date_list(const cJSON *result, const cJSON * /*root*/) {
    return list_answer(kBroadcastDate, cJSON_GetObjectItem(result, "dataList"));
}

// The programme, plus the server's time from beside "result".
Answer current_program(const cJSON *result, const cJSON *root) {
    Answer answer = record_answer(kProgram, result);
    if (answer.data == nullptr) {
        return answer;
    }
    const cJSON *time = cJSON_GetObjectItem(root, "serverTime");
    char *&server_time = static_cast<dao_program *>(answer.data)->serverTime;
    server_time = strdup(cJSON_IsString(time) ? time->valuestring : "");
    if (server_time == nullptr) {
        dao_program_del(static_cast<dao_program *>(answer.data));
        return {RVE_NO_MEMORY};
    }
    return answer;
}

// The city lists are not read: whatever arrived is a success without data.
Answer unread(const char * /*body*/, size_t /*size*/, long /*status*/) {
    return {RVE_OK};
}

const Endpoint kCategory{
    Host::OpenApiHttp, "/v2/category/broadcast?",  "&", Method::Get, Effect::Reads,
    kSigned,           as_list<kBroadcastCategory>};
const Endpoint kArea{Host::OpenApiHttp, "/v2/broadcast/arealist?", "", Method::Get, Effect::Reads,
                     kSigned,           as_list<kBroadcastArea>};
const Endpoint kDate{
    Host::OpenApiHttp, "/v2/broadcast/date?", "", Method::Get, Effect::Reads, kSigned, date_list};
const Endpoint kList{Host::OpenApiHttp,
                     "/v2/broadcast/list?",
                     "type=%d&classifyid=%d&pagenum=%d&pagesize=%d&area=%d&",
                     Method::Get,
                     Effect::Reads,
                     kSigned,
                     as_record<kBroadcastSet>};
const Endpoint kInfo{
    Host::OpenApiHttp, "/v2/broadcast/detail?",  "broadcastid=%lld&", Method::Get, Effect::Reads,
    kSigned,           as_record<kBroadcastInfo>};
const Endpoint kProgramList{Host::OpenApiHttp,
                            "/v2/broadcast/programlist?",
                            "bid=%lld&date=%s&",
                            Method::Get,
                            Effect::Reads,
                            kSigned,
                            as_list<kProgram>,
                            nullptr,
                            true};
const Endpoint kProgramInfo{Host::OpenApiHttp,  "/v2/program/detail?", "programid=%lld&",
                            Method::Get,        Effect::Reads,         kSigned,
                            as_record<kProgram>};
const Endpoint kCurrentProgram{Host::OpenApiHttp,   "/v2/broadcast/currentprogram?",
                               "broadcastid=%lld&", Method::Get,
                               Effect::Reads,       kSigned,
                               current_program};
const Endpoint kCityList{Host::OpenApiHttp,
                         "/v2/broadcast/getCityBroadcast/list?",
                         "citycode=%d&pagenum=%d&pagesize=%d&",
                         Method::Get,
                         Effect::Reads,
                         kSigned,
                         nullptr,
                         unread};
const Endpoint kCityTopList{Host::OpenApiHttp,
                            "/v2/broadcast/getCityBroadcast/topList?",
                            "",
                            Method::Get,
                            Effect::Reads,
                            kSigned,
                            nullptr,
                            unread};

}  // namespace

}  // namespace rv::req

// The C entry points, outside any namespace so that they keep their export.
using namespace rv::req;

extern "C" {

void request_broadcast_category(rv_result_callback callback, void *user_data) {
    rv::req::send(kCategory, nullptr, callback, user_data);
}

void request_broadcast_area(rv_result_callback callback, void *user_data) {
    rv::req::send(kArea, nullptr, callback, user_data);
}

void request_broadcast_date(rv_result_callback callback, void *user_data) {
    rv::req::send(kDate, nullptr, callback, user_data);
}

void request_broadcast_list(int type, int classifyid, int pagenum, int pagesize, int area,
                            rv_result_callback callback, void *user_data) {
    rv::req::send(kList, nullptr, callback, user_data, type, classifyid, pagenum, pagesize, area);
}

void request_broadcast_info(int64_t broadcast_id, rv_result_callback callback, void *user_data) {
    rv::req::send(kInfo, nullptr, callback, user_data, static_cast<long long>(broadcast_id));
}

void request_broadcast_program_list(int64_t broadcast_id, const char *date,
                                    rv_result_callback callback, void *user_data) {
    rv::req::send(kProgramList, nullptr, callback, user_data, static_cast<long long>(broadcast_id),
                  date);
}

void request_broadcast_program_info(int64_t program_id, rv_result_callback callback,
                                    void *user_data) {
    rv::req::send(kProgramInfo, nullptr, callback, user_data, static_cast<long long>(program_id));
}

void request_broadcast_current_program(int64_t broadcast_id, rv_result_callback callback,
                                       void *user_data) {
    rv::req::send(kCurrentProgram, nullptr, callback, user_data,
                  static_cast<long long>(broadcast_id));
}

void request_city_broadcast_list(int citycode, int pagenum, int pagesize,
                                 rv_result_callback callback, void *user_data) {
    rv::req::send(kCityList, nullptr, callback, user_data, citycode, pagenum, pagesize);
}

void request_city_broadcast_top_list(rv_result_callback callback, void *user_data) {
    rv::req::send(kCityTopList, nullptr, callback, user_data);
}

}  // extern "C"
