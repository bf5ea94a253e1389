// The public data functions: each checks on the caller's thread, then hands
// its query to the ipa_ layer with a callback bound to its log phrase.
#include "iface/access_info_impl.h"
#include "iface/album_impl.h"
#include "iface/iface_api.h"
#include "rv_data.h"
#include "rv_error.h"
#include "util/debug.h"

namespace {

using rv::api::enter;
using rv::api::forward;
using rv::api::Outcome;
using rv::api::release_as;

constexpr const char *kTag = "IFACE_V2";

constexpr auto kCategoryList = release_as<List, ListFree>;

constexpr Outcome kAllCategory{"get all category", kCategoryList};
constexpr Outcome kSubCategory{"get sub category", kCategoryList};
constexpr Outcome kAlbumList{"get album list", release_as<dao_album_set, dao_album_set_del>};
constexpr Outcome kAlbumInfo{"get album info", release_as<dao_album_info, dao_album_info_del>};
constexpr Outcome kAudioList{"get album audio list", release_as<dao_audio_set, dao_audio_set_del>};
constexpr Outcome kAudioInfo{"get audio info", release_as<dao_audio, dao_audio_del>};
constexpr Outcome kTopList{"get album top list", release_as<dao_album_set, dao_album_set_del>};

}  // namespace

extern "C" {

void rv_getAllCategory(rv_result_callback callback, void *user_data) {
    if (auto *args = enter("rv_getAllCategory", callback, user_data, true)) {
        ipa_get_all_category(forward<kAllCategory>, args);
    }
}

void rv_getSubCategory(int cid, rv_result_callback callback, void *user_data) {
    if (auto *args = enter("rv_getSubCategory", callback, user_data, true)) {
        ipa_get_sub_category(cid, forward<kSubCategory>, args);
    }
}

void rv_getAlbumList(int cid, int sorttype, int pagenum, int pagesize, rv_result_callback callback,
                     void *user_data) {
    if (auto *args = enter("rv_getAlbumList", callback, user_data, true)) {
        ipa_get_album_list(cid, sorttype, pagenum, pagesize, forward<kAlbumList>, args);
    }
}

void rv_getAlbumInfo(int64_t album_id, rv_result_callback callback, void *user_data) {
    if (auto *args = enter("rv_getAlbumInfo", callback, user_data, true)) {
        ipa_get_album_info(album_id, forward<kAlbumInfo>, args);
    }
}

void rv_getAlbumAudioList(int64_t album_id, int sorttype, int pagenum, int pagesize,
                          int64_t audio_id, rv_result_callback callback, void *user_data) {
    if (auto *args = enter("rv_getAlbumAudioList", callback, user_data, true)) {
        ipa_get_album_playlist(album_id, sorttype, pagenum, pagesize, audio_id, forward<kAudioList>,
                               args);
    }
}

void rv_getAlbumAudioInfo(int64_t audio_id, rv_result_callback callback, void *user_data) {
    if (auto *args = enter("rv_getAlbumAudioInfo", callback, user_data, true)) {
        ipa_get_album_audio_info(audio_id, forward<kAudioInfo>, args);
    }
}

void rv_getAlbumTopList(const char *type, int pagenum, int pagesize, rv_result_callback callback,
                        void *user_data) {
    if (auto *args = enter("rv_getAlbumTopList", callback, user_data, type != nullptr)) {
        ipa_get_album_top_list(type, pagenum, pagesize, forward<kTopList>, args);
    }
}

int rv_cacheSdkAuthAccessInfo(const char *access_token, const char *open_uid) {
    LOGD(kTag, "CALL API [%s] \n", "rv_cacheSdkAuthAccessInfo");
    if (access_token == nullptr || open_uid == nullptr) {
        LOGE(kTag, "function params failed, please check!\n");
        return RVE_BAD_ARGS;
    }
    return ipa_cache_sdk_auth_access_info(access_token, open_uid);
}

int rv_clearSdkAuthAccessInfo(void) {
    LOGD(kTag, "CALL API [%s] \n", "rv_clearSdkAuthAccessInfo");
    return ipa_clear_sdk_auth_access_info();
}

void rv_reportAudioPlayEvent(void) {
    LOGD(kTag, "CALL API [%s] \n", "rv_reportAudioPlayEvent");
}

void rv_reportBroadcastPlayEvent(void) {
    LOGD(kTag, "CALL API [%s] \n", "rv_reportBroadcastPlayEvent");
}

void rv_reportBroadcastPlayBackEndEvent(void) {
    LOGD(kTag, "CALL API [%s] \n", "rv_reportBroadcastPlayBackEndEvent");
}

}  // extern "C"
