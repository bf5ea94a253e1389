#include "request/operate_req.h"

#include "request/operate_dao.h"
#include "request/request_core.h"

namespace rv::req {

namespace {

using namespace json;
using namespace dao;

const Endpoint kOperateList{
    Host::OpenApiHttp,     "/v2/operate?", "pagenum=%d&pagesize=%d&lon=%s&lat=%s&",
    Method::Get,           Effect::Reads,  kSigned,
    as_record<kOperateSet>};

}  // namespace

}  // namespace rv::req

// The C entry points, outside any namespace so that they keep their export.
using namespace rv::req;

extern "C" void request_operate_list(int pagenum, int pagesize, rv_result_callback callback,
                                     void *user_data) {
    // No location is known to the SDK.
    rv::req::send(kOperateList, nullptr, callback, user_data, pagenum, pagesize, "", "");
}
