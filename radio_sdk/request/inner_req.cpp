#include "request/inner_req.h"

#include <memory>
#include <new>

#include "request/inner_dao.h"
#include "request/request_core.h"
#include "rv_error.h"

namespace rv::req {

namespace {

using namespace json;
using namespace dao;

// Any JSON answer carries the time; the envelope does not matter here.
Answer server_time(const char *body, size_t size, long /*status*/) {
    std::unique_ptr<cJSON, decltype(&cJSON_Delete)> root(
        body != nullptr ? cJSON_ParseWithLength(body, size) : nullptr, cJSON_Delete);
    if (root == nullptr) {
        return {RVE_BAD_RESPONSE};
    }
    return record_answer(kServerTime, root.get());
}

const Endpoint kServerTimeEndpoint{
    Host::OpenApiHttp, "/v2/broadcast/date?", "&", Method::Get, Effect::Reads, {}, nullptr,
    server_time};
const Endpoint kRadioLabels{Host::OpenApiHttp,
                            "/v2/radioLable/list?",
                            "&pagenum=%d&pagesize=%d&",
                            Method::Get,
                            Effect::Reads,
                            kSigned,
                            as_record<kRadioLabelSet>};

}  // namespace

}  // namespace rv::req

// The C entry points, outside any namespace so that they keep their export.
using namespace rv::req;

extern "C" {

void request_current_server_time(rv_result_callback callback, void *user_data) {
    rv::req::send(kServerTimeEndpoint, nullptr, callback, user_data);
}

void request_radio_label_list(int pagenum, int pagesize, rv_result_callback callback,
                              void *user_data) {
    rv::req::send(kRadioLabels, nullptr, callback, user_data, pagenum, pagesize);
}

}  // extern "C"
