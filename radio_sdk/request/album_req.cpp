#include "request/album_req.h"

#include "request/album_dao.h"
#include "request/request_core.h"

namespace {

using rv::Host;
using rv::req::Effect;
using rv::req::Endpoint;
using rv::req::Method;
using namespace rv::json;
using namespace rv::dao;

using rv::req::kSigned;

const Endpoint kAllCategory{Host::OpenApiHttp, "/v2/category?",   "", Method::Get, Effect::Reads,
                            kSigned,           as_list<kCategory>};
const Endpoint kSubCategory{Host::OpenApiHttp, "/v2/category/sublist?", "cid=%d&",
                            Method::Get,       Effect::Reads,           kSigned,
                            as_list<kCategory>};
const Endpoint kAlbumList{
    Host::OpenApiHttp,   "/v2/album/list?", "cid=%d&sorttype=%d&pagenum=%d&pagesize=%d&",
    Method::Get,         Effect::Reads,     kSigned,
    as_record<kAlbumSet>};
const Endpoint kAlbumDetail{
    Host::OpenApiHttp, "/v2/album/detail?",        "ids=%lld&", Method::Get, Effect::Reads,
    kSigned,           as_first_record<kAlbumInfo>};
const Endpoint kAlbumRecommend{Host::OpenApiHttp, "/v2/album/recommend?", "&",
                               Method::Get,       Effect::Reads,          kSigned,
                               as_list<kAlbum>};
const Endpoint kAlbumTop{Host::OpenApiHttp,    "/v2/album/top?", "&type=%s&pagesize=%d&pagenum=%d&",
                         Method::Get,          Effect::Reads,    kSigned,
                         as_record<kAlbumSet>, nullptr,          true};

}  // namespace

extern "C" {

void request_all_category(rv_result_callback callback, void *user_data) {
    rv::req::send(kAllCategory, nullptr, callback, user_data);
}

void request_sub_category(int cid, rv_result_callback callback, void *user_data) {
    rv::req::send(kSubCategory, nullptr, callback, user_data, cid);
}

void request_album_list(int cid, int sorttype, int pagenum, int pagesize,
                        rv_result_callback callback, void *user_data) {
    rv::req::send(kAlbumList, nullptr, callback, user_data, cid, sorttype, pagenum, pagesize);
}

void request_album_info(int64_t album_id, rv_result_callback callback, void *user_data) {
    rv::req::send(kAlbumDetail, nullptr, callback, user_data, static_cast<long long>(album_id));
}

void request_album_recommend_list(rv_result_callback callback, void *user_data) {
    rv::req::send(kAlbumRecommend, nullptr, callback, user_data);
}

void request_album_top_list(const char *type, int pagenum, int pagesize,
                            rv_result_callback callback, void *user_data) {
    rv::req::send(kAlbumTop, nullptr, callback, user_data, type, pagesize, pagenum);
}

}  // extern "C"
