#include "request/smartcast_req.h"

#include <string>

#include "request/album_dao.h"
#include "request/audio_dao.h"
#include "request/request_core.h"
#include "request/smartcast_dao.h"

namespace rv::req {

namespace {

using namespace json;
using namespace dao;

const Endpoint kRadioCategory{Host::OpenApiHttp, "/v2/category/radio?", "&",
                              Method::Get,       Effect::Reads,         kSigned,
                              as_list<kCategory>};
const Endpoint kList{Host::OpenApiHttp,  "/v2/typeradio/list?", "cid=%d&",
                     Method::Get,        Effect::Reads,         kSigned,
                     as_list<kSmartcast>};
const Endpoint kInfo{Host::OpenApiHttp,    "/v2/radio/detail?", "rid=%lld&",
                     Method::Get,          Effect::Reads,       kSigned,
                     as_record<kSmartcast>};
const Endpoint kPlaylist{Host::OpenApiHttp,
                         "/v2/radio/list?",
                         "rid=%lld&clockid=%s&",
                         Method::Get,
                         Effect::Reads,
                         kSigned,
                         as_list<kAudioWithClock>,
                         nullptr,
                         true};

}  // namespace

}  // namespace rv::req

// The C entry points, outside any namespace so that they keep their export.
using namespace rv::req;

extern "C" {

void request_smartcast_category(rv_result_callback callback, void *user_data) {
    rv::req::send(kRadioCategory, nullptr, callback, user_data);
}

void request_smartcast_list(int cid, rv_result_callback callback, void *user_data) {
    rv::req::send(kList, nullptr, callback, user_data, cid);
}

void request_smartcast_info(int64_t smartcast_id, rv_result_callback callback, void *user_data) {
    rv::req::send(kInfo, nullptr, callback, user_data, static_cast<long long>(smartcast_id));
}

void request_smartcast_playlist(int64_t smartcast_id, const char *clock_id,
                                rv_result_callback callback, void *user_data) {
    rv::req::send(kPlaylist, nullptr, callback, user_data, static_cast<long long>(smartcast_id),
                  clock_id);
}

}  // extern "C"
