// The public data functions: each checks on the caller's thread, then hands
// its query to the ipa_ layer with a callback bound to its log phrase.
#include "iface/access_info_impl.h"
#include "iface/album_impl.h"
#include "iface/auth_impl.h"
#include "iface/broadcast_impl.h"
#include "iface/iface_api.h"
#include "iface/search_impl.h"
#include "iface/smartcast_impl.h"
#include "iface/user_impl.h"
#include "rv_auth.h"
#include "rv_broadcast.h"
#include "rv_data.h"
#include "rv_error.h"
#include "rv_search.h"
#include "rv_smartcast.h"
#include "rv_user.h"
#include "util/debug.h"

namespace {

using rv::api::enter;
using rv::api::forward;
using rv::api::Outcome;
using rv::api::release_as;

constexpr const char *kTag = "IFACE_V2";

// A bare List frees its items itself.
constexpr auto kBareList = release_as<List, ListFree>;

constexpr Outcome kAllCategory{"get all category", kBareList};
constexpr Outcome kSubCategory{"get sub category", kBareList};
constexpr Outcome kAlbumList{"get album list", release_as<dao_album_set, dao_album_set_del>};
constexpr Outcome kAlbumInfo{"get album info", release_as<dao_album_info, dao_album_info_del>};
constexpr Outcome kAudioList{"get album audio list", release_as<dao_audio_set, dao_audio_set_del>};
constexpr Outcome kAudioInfo{"get audio info", release_as<dao_audio, dao_audio_del>};
constexpr Outcome kTopList{"get album top list", release_as<dao_album_set, dao_album_set_del>};

constexpr auto kProgram = release_as<dao_program, dao_program_del>;

constexpr Outcome kOperateList{"get operate list",
                               release_as<dao_operate_set, dao_operate_set_del>};
constexpr Outcome kSmartcastCategory{"get smartcast category", kBareList};
constexpr Outcome kSmartcastList{"get smartcast list", kBareList};
constexpr Outcome kSmartcastInfo{"get smartcast info",
                                 release_as<dao_smartcast, dao_smartcast_del>};
constexpr Outcome kSmartcastPlaylist{"get smartcast playlist", kBareList};
constexpr Outcome kBroadcastCategory{"get broadcast category", kBareList};
constexpr Outcome kBroadcastArea{"get broadcast area", kBareList};
constexpr Outcome kBroadcastDate{"get broadcast date", kBareList};
constexpr Outcome kBroadcastList{"get broadcast list",
                                 release_as<dao_broadcast_set, dao_broadcast_set_del>};
constexpr Outcome kBroadcastInfo{"get broadcast info",
                                 release_as<dao_broadcast_info, dao_broadcast_info_del>};
constexpr Outcome kProgramList{"get broadcast program list", kBareList};
constexpr Outcome kProgramInfo{"get broadcast program info", kProgram};
constexpr Outcome kCurrentProgram{"get broadcast current program", kProgram};
// The city lists deliver no data; the release is never used.
constexpr Outcome kCityList{"get city broadcast list", kBareList};
constexpr Outcome kCityTopList{"get city broadcast top list", kBareList};

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

void rv_getOperateList(int pagenum, int pagesize, rv_result_callback callback, void *user_data) {
    if (auto *args = enter("rv_getOperateList", callback, user_data, true)) {
        ipa_get_operate_list(pagenum, pagesize, forward<kOperateList>, args);
    }
}

void rv_getSmartcastCategory(rv_result_callback callback, void *user_data) {
    if (auto *args = enter("rv_getSmartcastCategory", callback, user_data, true)) {
        ipa_get_smartcast_category(forward<kSmartcastCategory>, args);
    }
}

void rv_getSmartcastList(int cid, rv_result_callback callback, void *user_data) {
    if (auto *args = enter("rv_getSmartcastList", callback, user_data, true)) {
        ipa_get_smartcast_list(cid, forward<kSmartcastList>, args);
    }
}

void rv_getSmartcastInfo(int64_t smartcast_id, rv_result_callback callback, void *user_data) {
    if (auto *args = enter("rv_getSmartcastInfo", callback, user_data, true)) {
        ipa_get_smartcast_info(smartcast_id, forward<kSmartcastInfo>, args);
    }
}

void rv_getSmartcastAudioList(int64_t smartcast_id, const char *clock_id,
                              rv_result_callback callback, void *user_data) {
    if (auto *args = enter("rv_getSmartcastAudioList", callback, user_data, clock_id != nullptr)) {
        ipa_get_smartcast_playlist(smartcast_id, clock_id, forward<kSmartcastPlaylist>, args);
    }
}

void rv_getBroadcastCategory(rv_result_callback callback, void *user_data) {
    if (auto *args = enter("rv_getBroadcastCategory", callback, user_data, true)) {
        ipa_get_broadcast_category(forward<kBroadcastCategory>, args);
    }
}

void rv_getBroadcastArea(rv_result_callback callback, void *user_data) {
    if (auto *args = enter("rv_getBroadcastArea", callback, user_data, true)) {
        ipa_get_broadcast_area(forward<kBroadcastArea>, args);
    }
}

void rv_getBroadcastDate(rv_result_callback callback, void *user_data) {
    if (auto *args = enter("rv_getBroadcastDate", callback, user_data, true)) {
        ipa_get_broadcast_date(forward<kBroadcastDate>, args);
    }
}

void rv_getBroadcastList(int type, int classifyid, int pagenum, int pagesize, int area,
                         rv_result_callback callback, void *user_data) {
    if (auto *args = enter("rv_getBroadcastList", callback, user_data, true)) {
        ipa_get_broadcast_list(type, classifyid, pagenum, pagesize, area, forward<kBroadcastList>,
                               args);
    }
}

void rv_getBroadcastInfo(int64_t broadcast_id, rv_result_callback callback, void *user_data) {
    if (auto *args = enter("rv_getBroadcastInfo", callback, user_data, true)) {
        ipa_get_broadcast_info(broadcast_id, forward<kBroadcastInfo>, args);
    }
}

void rv_getBroadcastProgramList(int64_t broadcast_id, const char *date, rv_result_callback callback,
                                void *user_data) {
    if (auto *args = enter("rv_getBroadcastProgramList", callback, user_data, date != nullptr)) {
        ipa_get_broadcast_program_list(broadcast_id, date, forward<kProgramList>, args);
    }
}

void rv_getBroadcastProgramInfo(int64_t program_id, rv_result_callback callback, void *user_data) {
    if (auto *args = enter("rv_getBroadcastProgramInfo", callback, user_data, true)) {
        ipa_get_broadcast_program_info(program_id, forward<kProgramInfo>, args);
    }
}

void rv_getBroadcastCurrentProgram(int64_t broadcast_id, rv_result_callback callback,
                                   void *user_data) {
    if (auto *args = enter("rv_getBroadcastCurrentProgram", callback, user_data, true)) {
        ipa_get_broadcast_current_program(broadcast_id, forward<kCurrentProgram>, args);
    }
}

void rv_getCityBroadcastList(int citycode, int pagenum, int pagesize, rv_result_callback callback,
                             void *user_data) {
    if (auto *args = enter("rv_getCityBroadcastList", callback, user_data, true)) {
        ipa_get_city_broadcast_list(citycode, pagenum, pagesize, forward<kCityList>, args);
    }
}

void rv_getCityBroadcastTopList(rv_result_callback callback, void *user_data) {
    if (auto *args = enter("rv_getCityBroadcastTopList", callback, user_data, true)) {
        ipa_get_city_broadcast_top_list(forward<kCityTopList>, args);
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

}  // extern "C"

// --- Search, authorisation and the authorised user's data -------------------

namespace {

template <class T, void (*Del)(T *)>
constexpr Outcome outcome(const char *phrase) {
    return {phrase, release_as<T, Del>};
}

constexpr Outcome kSuggestWord{"get search suggest word", release_as<List, ListFree>};
constexpr Outcome kSearch{"get search result", release_as<List, ListFree>};
constexpr auto kQrcode = outcome<dao_auth_qrcode, dao_auth_qrcode_del>("get auth qrcode");
constexpr auto kQrcodeStatus =
    outcome<dao_auth_qrcode_status, dao_auth_qrcode_status_del>("get auth qrcode status");
constexpr auto kGrantCode =
    outcome<dao_auth_grant_code, dao_auth_grant_code_del>("get auth grant code");
constexpr auto kAccessToken =
    outcome<dao_auth_access_token, dao_auth_access_token_del>("get auth access token");
constexpr auto kRefreshToken =
    outcome<dao_auth_access_token, dao_auth_access_token_del>("refresh auth access token");
constexpr auto kUserInfo =
    outcome<dao_auth_user_info, dao_auth_user_info_del>("get auth user info");
constexpr auto kRevoke =
    outcome<dao_auth_revoke_result, dao_auth_revoke_result_del>("do auth revoke");
constexpr auto kSubscribe = outcome<dao_subscribe_result, dao_subscribe_result_del>("do subscribe");
constexpr auto kUnsubscribe =
    outcome<dao_unsubscribe_result, dao_unsubscribe_result_del>("do unsubscribe");
constexpr auto kSubscribeStatus =
    outcome<dao_subscribe_status, dao_subscribe_status_del>("get subscribe status");
constexpr auto kSubscribeList =
    outcome<dao_subscribe_set, dao_subscribe_set_del>("get subscribe list");
constexpr auto kSaveHistory =
    outcome<dao_history_save_result, dao_history_save_result_del>("save listen history");
constexpr auto kHistory = outcome<dao_history_set, dao_history_set_del>("get listen history");
constexpr auto kClearHistory =
    outcome<dao_history_clear_result, dao_history_clear_result_del>("clear listen history");

}  // namespace

extern "C" {

void rv_getSearchSuggestWord(const char *word, int limit, rv_result_callback callback,
                             void *user_data) {
    if (auto *args = enter("rv_getSearchSuggestWord", callback, user_data, word != nullptr)) {
        ipa_get_search_suggest_word(word, limit, forward<kSuggestWord>, args);
    }
}

void rv_doSearch(const char *keyword, rv_result_callback callback, void *user_data) {
    if (auto *args = enter("rv_doSearch", callback, user_data, keyword != nullptr)) {
        ipa_get_search_result(keyword, forward<kSearch>, args);
    }
}

void rv_getAuthQRCode(const char *response_type, const char *scope, const char *redirect_uri,
                      const char *state, rv_result_callback callback, void *user_data) {
    const bool ok =
        response_type != nullptr && scope != nullptr && redirect_uri != nullptr && state != nullptr;
    if (auto *args = enter("rv_getAuthQRCode", callback, user_data, ok)) {
        ipa_get_auth_qrcode(response_type, scope, redirect_uri, state, forward<kQrcode>, args);
    }
}

void rv_getAuthQRCodeStatus(const char *uuid, rv_result_callback callback, void *user_data) {
    if (auto *args = enter("rv_getAuthQRCodeStatus", callback, user_data, uuid != nullptr)) {
        ipa_get_auth_qrcode_status(uuid, forward<kQrcodeStatus>, args);
    }
}

void rv_getAuthGrantCode(const char *uuid, rv_result_callback callback, void *user_data) {
    if (auto *args = enter("rv_getAuthGrantCode", callback, user_data, uuid != nullptr)) {
        ipa_get_auth_grant_code(uuid, forward<kGrantCode>, args);
    }
}

void rv_getAuthAccessToken(const char *code, const char *grant_type, const char *redirect_uri,
                           rv_result_callback callback, void *user_data) {
    const bool ok = code != nullptr && grant_type != nullptr && redirect_uri != nullptr;
    if (auto *args = enter("rv_getAuthAccessToken", callback, user_data, ok)) {
        ipa_get_auth_access_token(code, grant_type, redirect_uri, forward<kAccessToken>, args);
    }
}

void rv_refreshAuthAccessToken(const char *refresh_token, const char *grant_type,
                               rv_result_callback callback, void *user_data) {
    const bool ok = refresh_token != nullptr && grant_type != nullptr;
    if (auto *args = enter("rv_refreshAuthAccessToken", callback, user_data, ok)) {
        ipa_refresh_auth_access_token(refresh_token, grant_type, forward<kRefreshToken>, args);
    }
}

void rv_getAuthUserInfo(const char *access_token, const char *open_uid, rv_result_callback callback,
                        void *user_data) {
    const bool ok = access_token != nullptr && open_uid != nullptr;
    if (auto *args = enter("rv_getAuthUserInfo", callback, user_data, ok)) {
        ipa_get_auth_user_info(access_token, open_uid, forward<kUserInfo>, args);
    }
}

void rv_doAuthRevoke(const char *access_token, const char *open_uid, rv_result_callback callback,
                     void *user_data) {
    const bool ok = access_token != nullptr && open_uid != nullptr;
    if (auto *args = enter("rv_doAuthRevoke", callback, user_data, ok)) {
        ipa_do_auth_revoke(access_token, open_uid, forward<kRevoke>, args);
    }
}

void rv_doSubscribe(int64_t id, rv_result_callback callback, void *user_data) {
    if (auto *args = enter("rv_doSubscribe", callback, user_data, true)) {
        ipa_authuser_subscribe(id, forward<kSubscribe>, args);
    }
}

void rv_doUnSubscribe(int64_t id, rv_result_callback callback, void *user_data) {
    if (auto *args = enter("rv_doUnSubscribe", callback, user_data, true)) {
        ipa_authuser_unsubscribe(id, forward<kUnsubscribe>, args);
    }
}

void rv_getSubscribeStatus(int64_t id, rv_result_callback callback, void *user_data) {
    if (auto *args = enter("rv_getSubscribeStatus", callback, user_data, true)) {
        ipa_authuser_is_subscribe(id, forward<kSubscribeStatus>, args);
    }
}

void rv_getSubscribeList(int type, int pagenum, int pagesize, rv_result_callback callback,
                         void *user_data) {
    if (auto *args = enter("rv_getSubscribeList", callback, user_data, true)) {
        ipa_authuser_subscribe_list(type, pagenum, pagesize, forward<kSubscribeList>, args);
    }
}

void rv_saveListenHistory(int64_t radio_id, int64_t audio_id, int64_t played_time, int64_t duration,
                          int64_t time_stamp, rv_result_callback callback, void *user_data) {
    if (auto *args = enter("rv_saveListenHistory", callback, user_data, true)) {
        ipa_authuser_save_listen_history(radio_id, audio_id, played_time, duration, time_stamp,
                                         forward<kSaveHistory>, args);
    }
}

void rv_getListenHistory(rv_result_callback callback, void *user_data) {
    if (auto *args = enter("rv_getListenHistory", callback, user_data, true)) {
        ipa_authuser_get_listen_history(forward<kHistory>, args);
    }
}

void rv_clearListenHistory(rv_result_callback callback, void *user_data) {
    if (auto *args = enter("rv_clearListenHistory", callback, user_data, true)) {
        ipa_authuser_clear_listen_history(forward<kClearHistory>, args);
    }
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
