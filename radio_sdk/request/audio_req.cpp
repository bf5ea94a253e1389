#include "request/audio_req.h"

#include "request/audio_dao.h"
#include "request/request_core.h"

namespace {

using rv::Host;
using rv::req::Effect;
using rv::req::Endpoint;
using rv::req::Method;
using namespace rv::json;
using namespace rv::dao;

using rv::req::kSigned;

const Endpoint kAudioPage{
    Host::OpenApiHttp,   "/v2/audio/list?", "aid=%lld&sorttype=%d&pagesize=%d&pagenum=%d&",
    Method::Get,         Effect::Reads,     kSigned,
    as_record<kAudioSet>};
const Endpoint kAudioPageAround{
    Host::OpenApiHttp,   "/v2/audio/list?", "aid=%lld&audioid=%lld&sorttype=%d&pagesize=%d&",
    Method::Get,         Effect::Reads,     kSigned,
    as_record<kAudioSet>};
const Endpoint kAudioDetail{Host::OpenApiHttp, "/v2/audio/detail?", "id=%lld&",
                            Method::Get,       Effect::Reads,       kSigned,
                            as_record<kAudio>};

}  // namespace

extern "C" {

void request_album_playlist(int64_t album_id, int sorttype, int pagenum, int pagesize,
                            int64_t audio_id, rv_result_callback callback, void *user_data) {
    const auto aid = static_cast<long long>(album_id);
    if (pagenum == 0 && audio_id >= 1) {
        rv::req::send(kAudioPageAround, nullptr, callback, user_data, aid,
                      static_cast<long long>(audio_id), sorttype, pagesize);
    } else {
        rv::req::send(kAudioPage, nullptr, callback, user_data, aid, sorttype, pagesize, pagenum);
    }
}

void request_album_audio_info(int64_t audio_id, rv_result_callback callback, void *user_data) {
    rv::req::send(kAudioDetail, nullptr, callback, user_data, static_cast<long long>(audio_id));
}

}  // extern "C"
