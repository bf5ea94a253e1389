// The QR-code authorisation, the authorised user's subscriptions and history,
// and search, through the public functions against the local service over
// HTTPS with certificate checks on: the exact requests the service received
// and the records it answered.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "mock_service.h"
#include "request/fixture_files.h"
#include "request/mock_sdk_test.h"
#include "request/sdk_fixture.h"
#include "rv_auth.h"
#include "rv_config.h"
#include "rv_data.h"
#include "rv_error.h"
#include "rv_sdk.h"
#include "rv_search.h"
#include "rv_user.h"

namespace {

using rv::test::call;
using rv::test::Catcher;
using rv::test::Delivery;

constexpr rv_result_callback cb = Catcher::callback;

// Form encoding written out here, apart from the SDK's own encoder.
std::string form(const std::string &text) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : text) {
        if (isalnum(c) != 0 || c == '*' || c == '-' || c == '.' || c == '_') {
            out += static_cast<char>(c);
        } else if (c == ' ') {
            out += '+';
        } else {
            out += {'%', kHex[c >> 4], kHex[c & 15]};
        }
    }
    return out;
}

// Takes a delivered record and frees it when done.
template <class T, void (*Del)(T *)>
struct Owned {
    explicit Owned(const Delivery &d) : record(static_cast<T *>(d.data)) {
        EXPECT_EQ(d.code, 0);
        EXPECT_EQ(d.count, d.code == 0 ? 1 : 0);
    }
    ~Owned() { Del(record); }
    Owned(const Owned &) = delete;
    Owned &operator=(const Owned &) = delete;
    T *operator->() const { return record; }
    T *record;
};

using UserApi = rv::test::MockSdkTest;

TEST_F(UserApi, QrCodeFlowTokensAndTheUsersDataEndToEnd) {
    const std::string redirect = mock_.https_url() + "/oauth2/callback";
    // Longer than any fixed field, with bytes that need encoding both ways.
    const std::string state = "st ate&1=/" + std::string(100, 'x') + "七";

    Delivery d = call([&](Catcher *c) {
        rv_getAuthQRCode("code", "user_info", redirect.c_str(), state.c_str(), cb, c);
    });
    std::string uuid;
    {
        Owned<dao_auth_qrcode, dao_auth_qrcode_del> qr(d);
        ASSERT_NE(qr.record, nullptr);
        uuid = qr->uuid;
        EXPECT_EQ(uuid.size(), 32u);
        EXPECT_EQ(qr->qrcode_path, mock_.http_url() + "/oauth2/confirm?uuid=" + uuid);
        EXPECT_EQ(qr->status, 0);
    }
    EXPECT_EQ(seen_one(),
              "GET https /v2/oauth2/qrcode?response_type=code&scope=user_info&"
              "redirect_uri=" +
                  form(redirect) + "&state=" + form(state) + "&" + block_);

    // Asked before the user confirmed: the service does not redirect, and no
    // code is no success.
    d = call([&](Catcher *c) { rv_getAuthGrantCode(uuid.c_str(), cb, c); });
    EXPECT_EQ(d.code, RVE_SERVER_40432);
    EXPECT_EQ(d.data, nullptr);
    seen();

    std::vector<int> statuses;
    while (statuses.empty() || (statuses.back() != 2 && statuses.size() < 10)) {
        d = call([&](Catcher *c) { rv_getAuthQRCodeStatus(uuid.c_str(), cb, c); });
        Owned<dao_auth_qrcode_status, dao_auth_qrcode_status_del> status(d);
        ASSERT_NE(status.record, nullptr);
        statuses.push_back(status->status);
        EXPECT_EQ(seen_one(), "GET https /v2/oauth2/qrcheck?uuid=" + uuid + "&" + block_);
    }
    EXPECT_EQ(statuses, (std::vector<int>{0, 1, 2}));  // waiting, scanned, confirmed

    d = call([&](Catcher *c) { rv_getAuthGrantCode(uuid.c_str(), cb, c); });
    std::string code;
    {
        Owned<dao_auth_grant_code, dao_auth_grant_code_del> grant(d);
        ASSERT_NE(grant.record, nullptr);
        code = grant->code;
        EXPECT_EQ(code.rfind("code-", 0), 0u) << code;
        EXPECT_EQ(grant->state, state);  // decoded and whole
    }
    // The probe does not fetch a body; it follows the redirect to the callback page.
    EXPECT_EQ(seen_one(), "HEAD https /v2/oauth2/grantcode?uuid=" + uuid + "&" + block_);

    d = call([&](Catcher *c) {
        rv_getAuthAccessToken(code.c_str(), "authorization_code", redirect.c_str(), cb, c);
    });
    std::string first_token, refresh;
    {
        Owned<dao_auth_access_token, dao_auth_access_token_del> token(d);
        ASSERT_NE(token.record, nullptr);
        first_token = token->access_token;
        refresh = token->refresh_token;
        EXPECT_EQ(first_token.rfind("at-", 0), 0u);
        EXPECT_EQ(refresh.rfind("rt-", 0), 0u);
        EXPECT_STREQ(token->open_uid, "mock-user-1");
        EXPECT_STREQ(token->scope, "user_info");
        EXPECT_EQ(token->expires_in, 7200);
    }
    EXPECT_EQ(seen_one(), "POST https /v2/oauth2/token?code=" + code +
                              "&grant_type=authorization_code&redirect_uri=" + form(redirect) +
                              "&secretkey=rv-test-secret&" + block_);

    d = call(
        [&](Catcher *c) { rv_refreshAuthAccessToken(refresh.c_str(), "refresh_token", cb, c); });
    std::string token;
    std::string uid;
    {
        Owned<dao_auth_access_token, dao_auth_access_token_del> renewed(d);
        ASSERT_NE(renewed.record, nullptr);
        token = renewed->access_token;
        uid = renewed->open_uid;
        EXPECT_NE(token, first_token);
    }
    EXPECT_EQ(seen_one(), "POST https /v2/oauth2/refreshtoken?refresh_token=" + refresh +
                              "&grant_type=refresh_token&secretkey=rv-test-secret&" + block_);

    // The refresh ended the first token.
    d = call([&](Catcher *c) { rv_getAuthUserInfo(first_token.c_str(), uid.c_str(), cb, c); });
    EXPECT_EQ(d.code, 0x30003);
    seen();
    d = call([&](Catcher *c) { rv_getAuthUserInfo(token.c_str(), uid.c_str(), cb, c); });
    {
        Owned<dao_auth_user_info, dao_auth_user_info_del> user(d);
        ASSERT_NE(user.record, nullptr);
        EXPECT_STREQ(user->nickname, "mock-user-1");
        EXPECT_EQ(user->avatar, mock_.http_url() + "/img/avatar-mock-user-1.png");
    }
    const std::string access = "open_uid=" + uid + "&access_token=" + token + "&";
    EXPECT_EQ(seen_one(), "POST https /v2/authuser/userinfo?" + access + block_);

    // Everything the user does from here on carries the cached credentials.
    ASSERT_EQ(rv_cacheSdkAuthAccessInfo(token.c_str(), uid.c_str()), 0);
    auto status_call = [&](std::function<void(Catcher *)> fn, const std::string &want) {
        Delivery got = call(fn);
        EXPECT_EQ(got.code, 0) << want;
        EXPECT_EQ(got.count, 1);
        // Every status record shares one layout: one int.
        const int status = static_cast<dao_subscribe_result *>(got.data)->status;
        dao_subscribe_result_del(static_cast<dao_subscribe_result *>(got.data));
        EXPECT_EQ(seen_one(), want);
        return status;
    };
    EXPECT_EQ(status_call([](Catcher *c) { rv_doSubscribe(1100002, cb, c); },
                          "POST https /v2/authuser/subscribe?id=1100002&" + access + block_),
              1);
    EXPECT_EQ(status_call([](Catcher *c) { rv_getSubscribeStatus(1100002, cb, c); },
                          "POST https /v2/authuser/issubscribe?id=1100002&" + access + block_),
              1);
    d = call([](Catcher *c) { rv_getSubscribeList(0, 1, 10, cb, c); });
    {
        Owned<dao_subscribe_set, dao_subscribe_set_del> page(d);
        ASSERT_NE(page.record, nullptr);
        EXPECT_EQ(page->count, 1);
        ASSERT_EQ(ListLength(page->list), 1u);
        auto *sub = static_cast<dao_subscribe *>(ListAt(page->list, 0)->data);
        EXPECT_EQ(sub->id, 1100002);
        EXPECT_EQ(sub->name, rv::test::fixture_album_name(1100002));
        EXPECT_EQ(sub->countNum, 5);
    }
    EXPECT_EQ(seen_one(), "POST https /v2/authuser/subscribelist?type=0&pagenum=1&pagesize=10&" +
                              access + block_);
    EXPECT_EQ(status_call([](Catcher *c) { rv_doUnSubscribe(1100002, cb, c); },
                          "POST https /v2/authuser/unsubscribe?id=1100002&" + access + block_),
              1);
    EXPECT_EQ(status_call([](Catcher *c) { rv_getSubscribeStatus(1100002, cb, c); },
                          "POST https /v2/authuser/issubscribe?id=1100002&" + access + block_),
              0);

    EXPECT_EQ(status_call(
                  [](Catcher *c) {
                      rv_saveListenHistory(1100002, 3000000203LL, 12, 40, 1765190000000LL, cb, c);
                  },
                  "POST https /v2/authuser/savehistory?type=0&radioId=1100002&audioId=3000000203&"
                  "playedTime=12&duration=40&timeStamp=1765190000000&" +
                      access + block_),
              1);
    d = call([](Catcher *c) { rv_getListenHistory(cb, c); });
    {
        Owned<dao_history_set, dao_history_set_del> history(d);
        ASSERT_NE(history.record, nullptr);
        ASSERT_EQ(ListLength(history->list), 1u);
        auto *entry = static_cast<dao_history *>(ListAt(history->list, 0)->data);
        EXPECT_STREQ(entry->radioId, "1100002");
        EXPECT_STREQ(entry->audioId, "3000000203");
        EXPECT_STREQ(entry->audioTitle, "Glass Islands episode 3");
        EXPECT_EQ(entry->playedTime, 12);
        EXPECT_EQ(entry->timeStamp, 1765190000000LL);
    }
    EXPECT_EQ(seen_one(), "POST https /v2/authuser/listhistory?&" + access + block_);
    EXPECT_EQ(status_call([](Catcher *c) { rv_clearListenHistory(cb, c); },
                          "POST https /v2/authuser/clearhistory?&" + access + block_),
              1);
    d = call([](Catcher *c) { rv_getListenHistory(cb, c); });
    {
        Owned<dao_history_set, dao_history_set_del> history(d);
        ASSERT_NE(history.record, nullptr);
        EXPECT_EQ(ListLength(history->list), 0u);
    }
    seen();

    d = call([&](Catcher *c) { rv_doAuthRevoke(token.c_str(), uid.c_str(), cb, c); });
    {
        Owned<dao_auth_revoke_result, dao_auth_revoke_result_del> revoked(d);
        ASSERT_NE(revoked.record, nullptr);
        EXPECT_EQ(revoked->status, 1);
    }
    EXPECT_EQ(seen_one(),
              "POST https /v2/oauth2/revoke?" + access + "secretkey=rv-test-secret&" + block_);

    rv::test::LogCapture log;
    d = call([](Catcher *c) { rv_getListenHistory(cb, c); });
    EXPECT_EQ(d.code, 0x30003);  // the revoked token no longer works
    EXPECT_EQ(log.count("get listen history failed: rve = 0x00030003\n"), 1);
    seen();
    EXPECT_EQ(rv_clearSdkAuthAccessInfo(), 0);
    d = call([](Catcher *c) { rv_getSubscribeStatus(7, cb, c); });
    EXPECT_EQ(d.code, 0x30003);
    EXPECT_EQ(seen_one(), "POST https /v2/authuser/issubscribe?id=7&" + block_);
}

// The grant code is read out of the redirect that carries it; that URL is never
// requested (a listener standing for the application's redirect target sees no
// connection), and a redirect from the HTTPS host to plain HTTP is refused.
TEST_F(UserApi, GrantCodeIsReadFromItsRedirectWithoutRequestingIt) {
    const int listener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr *>(&address), sizeof address), 0);
    ASSERT_EQ(listen(listener, 4), 0);
    ASSERT_EQ(getsockname(listener, reinterpret_cast<sockaddr *>(&address), &length), 0);
    const std::string target = "127.0.0.1:" + std::to_string(ntohs(address.sin_port)) + "/cb";
    const struct {
        std::string redirect;
        int code;
    } rows[] = {
        {mock_.https_url() + "/oauth2/callback", 0},  // the service's own landing page
        {"https://" + target, 0},
        {"http://" + target, 2},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.redirect);
        Delivery d = call([&](Catcher *c) {
            rv_getAuthQRCode("code", "user_info", row.redirect.c_str(), "st-28", cb, c);
        });
        std::string uuid;
        {
            Owned<dao_auth_qrcode, dao_auth_qrcode_del> qr(d);
            ASSERT_NE(qr.record, nullptr);
            uuid = qr->uuid;
        }
        for (int status = 0, polls = 0; status != 2 && polls < 10; polls++) {
            d = call([&](Catcher *c) { rv_getAuthQRCodeStatus(uuid.c_str(), cb, c); });
            Owned<dao_auth_qrcode_status, dao_auth_qrcode_status_del> s(d);
            ASSERT_NE(s.record, nullptr);
            status = s->status;
        }
        seen();
        d = call([&](Catcher *c) { rv_getAuthGrantCode(uuid.c_str(), cb, c); });
        EXPECT_EQ(d.code, row.code);
        if (row.code == 0) {
            Owned<dao_auth_grant_code, dao_auth_grant_code_del> grant(d);
            ASSERT_NE(grant.record, nullptr);
            EXPECT_EQ(std::string(grant->code).rfind("code-", 0), 0u) << grant->code;
            EXPECT_STREQ(grant->state, "st-28");
        }
        EXPECT_EQ(seen(), std::vector<std::string>{"HEAD https /v2/oauth2/grantcode?uuid=" + uuid +
                                                   "&" + block_});
        pollfd waiting{listener, POLLIN, 0};
        EXPECT_EQ(poll(&waiting, 1, 0), 0) << "the redirect target was requested";
    }
    close(listener);
}

TEST_F(UserApi, SearchFindsAKeywordWithAQuoteASpaceAndChineseCharacters) {
    const std::string name = rv::test::fixture_album_name(1100003);
    ASSERT_NE(name.find("\"Seven\""), std::string::npos);
    Delivery d = call([](Catcher *c) { rv_doSearch("\"Seven\" Languages 七种", cb, c); });
    ASSERT_EQ(d.code, 0);
    auto *hits = static_cast<List *>(d.data);
    ASSERT_EQ(d.count, 1);
    auto *hit = static_cast<dao_search_result *>(ListAt(hits, 0)->data);
    EXPECT_EQ(hit->id, 1100003);
    EXPECT_EQ(hit->type, 0);
    EXPECT_EQ(hit->name, name);
    EXPECT_EQ(hit->img, mock_.http_url() + "/img/album-1100003.png");
    ListFree(hits);

    d = call([](Catcher *c) { rv_getSearchSuggestWord("\"seven\" lang", 5, cb, c); });
    ASSERT_EQ(d.code, 0);
    ASSERT_EQ(d.count, 1);
    auto *words = static_cast<List *>(d.data);
    EXPECT_EQ(static_cast<dao_search_suggest_word *>(ListAt(words, 0)->data)->word, name);
    ListFree(words);
    const std::vector<std::string> sent = seen();
    ASSERT_EQ(sent.size(), 2u);
    const std::string deviceid = sdk_info_get()->deviceid;
    const std::string keyword = R"(\"Seven\" Languages 七种)";  // as a JSON string's inside
    const std::string body =
        R"({"category":"","albumName":"","artist":"","audioName":"","field":2,"tag":1,"text":")" +
        keyword + R"(","keyword":")" + keyword + R"("})";
    EXPECT_EQ(sent[0], "GET http /v2/resource/voice/searchall?deviceid=" + deviceid +
                           "&sign=" + rv::test::openssl_md5_hex("rv-test-secret" + deviceid) +
                           "&appid=rv-test-app&voicesource=1&appsource=1&qualitytype=1&q=" +
                           form(body) + "&" + block_);
    EXPECT_EQ(sent[1],
              "GET http /v2/resource/suggestionword?word=%22seven%22+lang&limit=5&" + block_);
}

TEST_F(UserApi, RequiredTextsAreCheckedBeforeTheSdkState) {
    rv_releaseSdk();
    const char *t = "t";
    const std::vector<std::function<void(Catcher *)>> missing{
        [](Catcher *c) { rv_getSearchSuggestWord(nullptr, 1, cb, c); },
        [](Catcher *c) { rv_doSearch(nullptr, cb, c); },
        [t](Catcher *c) { rv_getAuthQRCode(nullptr, t, t, t, cb, c); },
        [t](Catcher *c) { rv_getAuthQRCode(t, nullptr, t, t, cb, c); },
        [t](Catcher *c) { rv_getAuthQRCode(t, t, nullptr, t, cb, c); },
        [t](Catcher *c) { rv_getAuthQRCode(t, t, t, nullptr, cb, c); },
        [](Catcher *c) { rv_getAuthQRCodeStatus(nullptr, cb, c); },
        [](Catcher *c) { rv_getAuthGrantCode(nullptr, cb, c); },
        [t](Catcher *c) { rv_getAuthAccessToken(nullptr, t, t, cb, c); },
        [t](Catcher *c) { rv_getAuthAccessToken(t, nullptr, t, cb, c); },
        [t](Catcher *c) { rv_getAuthAccessToken(t, t, nullptr, cb, c); },
        [t](Catcher *c) { rv_refreshAuthAccessToken(nullptr, t, cb, c); },
        [t](Catcher *c) { rv_refreshAuthAccessToken(t, nullptr, cb, c); },
        [t](Catcher *c) { rv_getAuthUserInfo(nullptr, t, cb, c); },
        [t](Catcher *c) { rv_getAuthUserInfo(t, nullptr, cb, c); },
        [t](Catcher *c) { rv_doAuthRevoke(nullptr, t, cb, c); },
        [t](Catcher *c) { rv_doAuthRevoke(t, nullptr, cb, c); },
    };
    for (size_t i = 0; i < missing.size(); i++) {
        Delivery d = call(missing[i]);
        EXPECT_EQ(d.code, 4) << i;
        EXPECT_EQ(d.thread, std::this_thread::get_id()) << i;
    }
    const std::vector<std::function<void(Catcher *)>> not_started{
        [t](Catcher *c) { rv_getSearchSuggestWord(t, 1, cb, c); },
        [t](Catcher *c) { rv_doSearch(t, cb, c); },
        [t](Catcher *c) { rv_getAuthQRCode(t, t, t, t, cb, c); },
        [t](Catcher *c) { rv_getAuthQRCodeStatus(t, cb, c); },
        [t](Catcher *c) { rv_getAuthGrantCode(t, cb, c); },
        [t](Catcher *c) { rv_getAuthAccessToken(t, t, t, cb, c); },
        [t](Catcher *c) { rv_refreshAuthAccessToken(t, t, cb, c); },
        [t](Catcher *c) { rv_getAuthUserInfo(t, t, cb, c); },
        [t](Catcher *c) { rv_doAuthRevoke(t, t, cb, c); },
        [](Catcher *c) { rv_doSubscribe(1, cb, c); },
        [](Catcher *c) { rv_doUnSubscribe(1, cb, c); },
        [](Catcher *c) { rv_getSubscribeStatus(1, cb, c); },
        [](Catcher *c) { rv_getSubscribeList(0, 1, 1, cb, c); },
        [](Catcher *c) { rv_saveListenHistory(1, 2, 3, 4, 5, cb, c); },
        [](Catcher *c) { rv_getListenHistory(cb, c); },
        [](Catcher *c) { rv_clearListenHistory(cb, c); },
    };
    for (size_t i = 0; i < not_started.size(); i++) {
        Delivery d = call(not_started[i]);
        EXPECT_EQ(d.code, 3) << i;
        EXPECT_EQ(d.thread, std::this_thread::get_id()) << i;
    }
    EXPECT_TRUE(seen().empty());
}

TEST_F(UserApi, WithoutACallbackTheRecordIsStillFreed) {
    rv::test::LogCapture log;
    rv_doSearch("sonata", nullptr, nullptr);
    rv_getAuthQRCode("code", "s", "https://example.invalid/cb", "x", nullptr, nullptr);
    EXPECT_TRUE(log.wait_for("get search result success\n"));
    EXPECT_TRUE(log.wait_for("get auth qrcode success\n"));
    // Leak checkers see the records freed when the run ends.
}

}  // namespace
