#include "faults/request_table.h"

#include <gtest/gtest.h>

#include "request/sdk_fixture.h"

#include "request/history_req.h"
#include "request/report_req.h"
#include "request/subscribe_req.h"
#include "rv_auth.h"
#include "rv_broadcast.h"
#include "rv_data.h"
#include "rv_list.h"
#include "rv_search.h"
#include "rv_smartcast.h"
#include "rv_user.h"

namespace rv::test {

namespace {

using S = const Session &;
using Cb = rv_result_callback;

void free_list(void *data) {
    ListFree(static_cast<List *>(data));
}
template <class T, void (*Del)(T *)>
void free_as(void *data) {
    Del(static_cast<T *>(data));
}
// The freer of record type T: T_del.
#define RV_FREE(T) free_as<T, T##_del>
void free_nothing(void *) {}

constexpr Needs N = Needs::Nothing;
constexpr Needs U = Needs::CachedToken;
constexpr Reading E = Reading::Envelope;
constexpr bool kRetried = true;

const RequestRow kRows[] = {
    // catalogue
    {"all categories", "/v2/category", N, E, [](S, Cb cb, void *u) { rv_getAllCategory(cb, u); },
     free_list, kRetried},
    {"sub-categories", "/v2/category/sublist", N, E,
     [](S, Cb cb, void *u) { rv_getSubCategory(100, cb, u); }, free_list, kRetried},
    {"album list", "/v2/album/list", N, E,
     [](S, Cb cb, void *u) { rv_getAlbumList(101, 0, 1, 20, cb, u); }, RV_FREE(dao_album_set),
     kRetried},
    {"album info", "/v2/album/detail", N, E,
     [](S, Cb cb, void *u) { rv_getAlbumInfo(1100001, cb, u); }, RV_FREE(dao_album_info), kRetried},
    {"album audio page", "/v2/audio/list", N, E,
     [](S, Cb cb, void *u) { rv_getAlbumAudioList(1100001, 0, 1, 20, 0, cb, u); },
     RV_FREE(dao_audio_set), kRetried},
    {"album audio info", "/v2/audio/detail", N, E,
     [](S, Cb cb, void *u) { rv_getAlbumAudioInfo(3000000101, cb, u); }, RV_FREE(dao_audio),
     kRetried},
    {"album top list", "/v2/album/top", N, E,
     [](S, Cb cb, void *u) { rv_getAlbumTopList("1", 1, 20, cb, u); }, RV_FREE(dao_album_set),
     kRetried},
    // broadcasts
    {"broadcast categories", "/v2/category/broadcast", N, E,
     [](S, Cb cb, void *u) { rv_getBroadcastCategory(cb, u); }, free_list, kRetried},
    {"broadcast areas", "/v2/broadcast/arealist", N, E,
     [](S, Cb cb, void *u) { rv_getBroadcastArea(cb, u); }, free_list, kRetried},
    {"broadcast dates", "/v2/broadcast/date", N, E,
     [](S, Cb cb, void *u) { rv_getBroadcastDate(cb, u); }, free_list, kRetried},
    {"broadcast list", "/v2/broadcast/list", N, E,
     [](S, Cb cb, void *u) { rv_getBroadcastList(0, 0, 1, 20, 0, cb, u); },
     RV_FREE(dao_broadcast_set), kRetried},
    {"broadcast info", "/v2/broadcast/detail", N, E,
     [](S, Cb cb, void *u) { rv_getBroadcastInfo(1001, cb, u); }, RV_FREE(dao_broadcast_info),
     kRetried},
    {"programme list", "/v2/broadcast/programlist", N, E,
     [](S, Cb cb, void *u) { rv_getBroadcastProgramList(1001, "", cb, u); }, free_list, kRetried},
    {"programme info", "/v2/program/detail", N, E,
     [](S, Cb cb, void *u) { rv_getBroadcastProgramInfo(10010000000005LL, cb, u); },
     RV_FREE(dao_program), kRetried},
    {"current programme", "/v2/broadcast/currentprogram", N, E,
     [](S, Cb cb, void *u) { rv_getBroadcastCurrentProgram(1001, cb, u); }, RV_FREE(dao_program),
     kRetried},
    {"city broadcasts", "/v2/broadcast/getCityBroadcast/list", N, Reading::Unread,
     [](S, Cb cb, void *u) { rv_getCityBroadcastList(110000, 1, 20, cb, u); }, free_nothing,
     kRetried},
    {"city top list", "/v2/broadcast/getCityBroadcast/topList", N, Reading::Unread,
     [](S, Cb cb, void *u) { rv_getCityBroadcastTopList(cb, u); }, free_nothing, kRetried},
    // smartcasts and the operate list
    {"smartcast categories", "/v2/category/radio", N, E,
     [](S, Cb cb, void *u) { rv_getSmartcastCategory(cb, u); }, free_list, kRetried},
    {"smartcast list", "/v2/typeradio/list", N, E,
     [](S, Cb cb, void *u) { rv_getSmartcastList(500, cb, u); }, free_list, kRetried},
    {"smartcast info", "/v2/radio/detail", N, E,
     [](S, Cb cb, void *u) { rv_getSmartcastInfo(2100001, cb, u); }, RV_FREE(dao_smartcast),
     kRetried},
    {"smartcast audios", "/v2/radio/list", N, E,
     [](S, Cb cb, void *u) { rv_getSmartcastAudioList(2100001, "", cb, u); }, free_list, kRetried},
    {"operate list", "/v2/operate", N, E,
     [](S, Cb cb, void *u) { rv_getOperateList(1, 20, cb, u); }, RV_FREE(dao_operate_set),
     kRetried},
    // authorisation
    {"QR code", "/v2/oauth2/qrcode", N, E,
     [](S s, Cb cb, void *u) {
         rv_getAuthQRCode("code", "user_info", s.redirect_uri.c_str(), "st", cb, u);
     },
     RV_FREE(dao_auth_qrcode)},
    {"QR status", "/v2/oauth2/qrcheck", Needs::Uuid, E,
     [](S s, Cb cb, void *u) { rv_getAuthQRCodeStatus(s.uuid.c_str(), cb, u); },
     RV_FREE(dao_auth_qrcode_status)},
    {"grant code", "/v2/oauth2/grantcode", Needs::ConfirmedUuid, Reading::Redirect,
     [](S s, Cb cb, void *u) { rv_getAuthGrantCode(s.uuid.c_str(), cb, u); },
     RV_FREE(dao_auth_grant_code)},
    {"access token", "/v2/oauth2/token", Needs::GrantCode, E,
     [](S s, Cb cb, void *u) {
         rv_getAuthAccessToken(s.code.c_str(), "authorization_code", s.redirect_uri.c_str(), cb, u);
     },
     RV_FREE(dao_auth_access_token)},
    {"token refresh", "/v2/oauth2/refreshtoken", Needs::Token, E,
     [](S s, Cb cb, void *u) {
         rv_refreshAuthAccessToken(s.refresh_token.c_str(), "refresh_token", cb, u);
     },
     RV_FREE(dao_auth_access_token)},
    {"user info", "/v2/authuser/userinfo", Needs::Token, E,
     [](S s, Cb cb, void *u) {
         rv_getAuthUserInfo(s.access_token.c_str(), s.open_uid.c_str(), cb, u);
     },
     RV_FREE(dao_auth_user_info), kRetried},
    {"revoke", "/v2/oauth2/revoke", Needs::Token, E,
     [](S s, Cb cb, void *u) {
         rv_doAuthRevoke(s.access_token.c_str(), s.open_uid.c_str(), cb, u);
     },
     RV_FREE(dao_auth_revoke_result)},
    // subscriptions and history of the authorised user
    {"subscribe", "/v2/authuser/subscribe", U, E,
     [](S, Cb cb, void *u) { rv_doSubscribe(1100001, cb, u); }, RV_FREE(dao_subscribe_result)},
    {"unsubscribe", "/v2/authuser/unsubscribe", U, E,
     [](S, Cb cb, void *u) { rv_doUnSubscribe(1100001, cb, u); }, RV_FREE(dao_unsubscribe_result)},
    {"subscription status", "/v2/authuser/issubscribe", U, E,
     [](S, Cb cb, void *u) { rv_getSubscribeStatus(1100001, cb, u); },
     RV_FREE(dao_subscribe_status), kRetried},
    {"subscription list", "/v2/authuser/subscribelist", U, E,
     [](S, Cb cb, void *u) { rv_getSubscribeList(0, 1, 20, cb, u); }, RV_FREE(dao_subscribe_set),
     kRetried},
    {"history save", "/v2/authuser/savehistory", U, E,
     [](S, Cb cb,
        void *u) { rv_saveListenHistory(2100001, 3000000101, 10, 120, 1765190000, cb, u); },
     RV_FREE(dao_history_save_result)},
    {"history list", "/v2/authuser/listhistory", U, E,
     [](S, Cb cb, void *u) { rv_getListenHistory(cb, u); }, RV_FREE(dao_history_set), kRetried},
    {"history clear", "/v2/authuser/clearhistory", U, E,
     [](S, Cb cb, void *u) { rv_clearListenHistory(cb, u); }, RV_FREE(dao_history_clear_result)},
    // the same per device (request layer only)
    {"device subscribe", "/v2/subscribe", N, E,
     [](S, Cb cb, void *u) { request_subscribe_result(1100001, cb, u); },
     RV_FREE(dao_subscribe_result)},
    {"device unsubscribe", "/v2/unsubscribe", N, E,
     [](S, Cb cb, void *u) { request_unsubscribe_result(1100001, cb, u); },
     RV_FREE(dao_unsubscribe_result)},
    {"device subscription status", "/v2/issubscribe", N, E,
     [](S, Cb cb, void *u) { request_subscribe_status(1100001, cb, u); },
     RV_FREE(dao_subscribe_status), kRetried},
    {"device subscription list", "/v2/subscribe/list", N, E,
     [](S, Cb cb, void *u) { request_subscribe_list(0, 1, 20, cb, u); }, RV_FREE(dao_subscribe_set),
     kRetried},
    {"device history save", "/v2/history/save", N, E,
     [](S, Cb cb,
        void *u) { request_save_listen_history(2100001, 3000000101, 10, 120, 1765190000, cb, u); },
     RV_FREE(dao_history_save_result)},
    {"device history list", "/v2/history/list", N, E,
     [](S, Cb cb, void *u) { request_get_listen_history(cb, u); }, RV_FREE(dao_history_set),
     kRetried},
    {"device history clear", "/v2/history/clear", N, E,
     [](S, Cb cb, void *u) { request_clear_listen_history(cb, u); },
     RV_FREE(dao_history_clear_result)},
    // search
    {"suggestion words", "/v2/resource/suggestionword", N, E,
     [](S, Cb cb, void *u) { rv_getSearchSuggestWord("Tone", 5, cb, u); }, free_list, kRetried},
    {"search", "/v2/resource/voice/searchall", N, E,
     [](S, Cb cb, void *u) { rv_doSearch("Tone", cb, u); }, free_list, kRetried},
    // reports
    {"report", "/c.gif", N, Reading::Unread,
     [](S, Cb cb, void *u) { request_send_report("eventcode=101010&", cb, u); }, free_nothing},
};

}  // namespace

#undef RV_FREE

std::span<const RequestRow> request_table() {
    return kRows;
}

namespace {

using rv::test::Catcher;
using rv::test::Delivery;

// Hands the data of a successful helper call to `use`, then frees it.
template <class T, void (*Del)(T *), class Fn>
void step(Fn &&fn, void (*use)(const T &, Session &), Session &session) {
    Delivery d = rv::test::call([&](Catcher *c) { fn(Catcher::callback, c); });
    ASSERT_EQ(d.code, 0);
    ASSERT_NE(d.data, nullptr);
    use(*static_cast<T *>(d.data), session);
    Del(static_cast<T *>(d.data));
}

}  // namespace

Session prepare_session(Needs needs, const std::string &redirect_uri) {
    Session s;
    s.redirect_uri = redirect_uri;
    rv_clearSdkAuthAccessInfo();
    if (needs == Needs::Nothing) {
        return s;
    }
    step<dao_auth_qrcode, dao_auth_qrcode_del>(
        [&](rv_result_callback cb, void *u) {
            rv_getAuthQRCode("code", "user_info", s.redirect_uri.c_str(), "st", cb, u);
        },
        [](const dao_auth_qrcode &r, Session &out) { out.uuid = r.uuid; }, s);
    if (needs == Needs::Uuid) {
        return s;
    }
    for (int poll = 0; poll < 3; ++poll) {  // the service confirms on the third poll
        step<dao_auth_qrcode_status, dao_auth_qrcode_status_del>(
            [&](rv_result_callback cb, void *u) { rv_getAuthQRCodeStatus(s.uuid.c_str(), cb, u); },
            [](const dao_auth_qrcode_status &, Session &) {}, s);
    }
    if (needs == Needs::ConfirmedUuid) {
        return s;
    }
    step<dao_auth_grant_code, dao_auth_grant_code_del>(
        [&](rv_result_callback cb, void *u) { rv_getAuthGrantCode(s.uuid.c_str(), cb, u); },
        [](const dao_auth_grant_code &r, Session &out) { out.code = r.code; }, s);
    if (needs == Needs::GrantCode) {
        return s;
    }
    step<dao_auth_access_token, dao_auth_access_token_del>(
        [&](rv_result_callback cb, void *u) {
            rv_getAuthAccessToken(s.code.c_str(), "authorization_code", s.redirect_uri.c_str(), cb,
                                  u);
        },
        [](const dao_auth_access_token &r, Session &out) {
            out.access_token = r.access_token;
            out.refresh_token = r.refresh_token;
            out.open_uid = r.open_uid;
        },
        s);
    if (needs == Needs::CachedToken) {
        EXPECT_EQ(rv_cacheSdkAuthAccessInfo(s.access_token.c_str(), s.open_uid.c_str()), 0);
    }
    return s;
}

}  // namespace rv::test
