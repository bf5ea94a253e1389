// The QR-code authorisation flow from qrcode to token, and the tokens it
// hands out guarding the authorised-user paths.
#include "mock_test_support.h"

namespace rvmock_test {
namespace {

class Authorisation : public MockServiceTest {
  protected:
    std::string redirect() const { return service().http_url() + "/oauth2/callback"; }
    std::string encoded_redirect() const {
        std::unique_ptr<char, decltype(&curl_free)> text(
            curl_easy_escape(nullptr, redirect().c_str(), 0), curl_free);
        return text.get();
    }

    std::string new_qr() {
        Json qr = api_https(
            "GET", "/v2/oauth2/qrcode",
            "response_type=code&scope=user&redirect_uri=" + encoded_redirect() + "&state=st-42&");
        const cJSON *result = result_of(qr);
        expect_keys(result, {"status", "uuid", "qrcode_path"});
        return str_of(result, "uuid");
    }

    long long poll(const std::string &uuid) {
        return int_of(result_of(api_https("GET", "/v2/oauth2/qrcheck", "uuid=" + uuid + "&")),
                      "status");
    }

    void confirm_by_polling(const std::string &uuid) {
        long long status = 0;
        for (int i = 0; i < 10 && status != 2; ++i) {
            status = poll(uuid);
        }
        ASSERT_EQ(status, 2);
    }

    // Walks the flow to its tokens.
    Json login() {
        std::string uuid = new_qr();
        confirm_by_polling(uuid);
        Options probe;
        probe.method = "HEAD";
        probe.ca_file = service().ca_file();
        Response grant =
            fetch(https("/v2/oauth2/grantcode?uuid=" + uuid + "&" + common_block()), probe);
        std::string code = grant.location.substr(grant.location.find("code=") + 5);
        code = code.substr(0, code.find('&'));
        return api_https("POST", "/v2/oauth2/token",
                         "code=" + code + "&grant_type=authorization_code&redirect_uri=" +
                             encoded_redirect() + "&secretkey=rv-test-secret&");
    }
};

TEST_F(Authorisation, QrStatusMovesToConfirmedAfterTheConfiguredPolls) {
    std::string uuid = new_qr();
    EXPECT_EQ(poll(uuid), 0);
    EXPECT_EQ(poll(uuid), 1);
    EXPECT_EQ(poll(uuid), 2);
    EXPECT_EQ(poll(uuid), 2);
    Json unknown = api_https("GET", "/v2/oauth2/qrcheck", "uuid=nope&");
    EXPECT_EQ(str_of(unknown.get(), "errcode"), "40431");
}

TEST_F(Authorisation, GrantCodeRedirectsOnlyOnceConfirmed) {
    std::string uuid = new_qr();
    Json early = api_https("GET", "/v2/oauth2/grantcode", "uuid=" + uuid + "&");
    EXPECT_EQ(str_of(early.get(), "errcode"), "40432");

    // Opening the QR code's URL stands for a user confirming on a phone.
    Response confirm = fetch(service().http_url() + "/oauth2/confirm?uuid=" + uuid + "&user=alice");
    EXPECT_EQ(confirm.status, 200);

    Options follow;
    follow.ca_file = service().ca_file();
    follow.follow = true;
    follow.method = "HEAD";
    Response grant =
        fetch(https("/v2/oauth2/grantcode?uuid=" + uuid + "&" + common_block()), follow);
    EXPECT_EQ(grant.code, CURLE_OK);
    EXPECT_EQ(grant.status, 200);
    EXPECT_EQ(grant.effective_url.rfind(redirect() + "?code=code-", 0), 0u) << grant.effective_url;
    EXPECT_NE(grant.effective_url.find("&state=st-42"), std::string::npos);
}

TEST_F(Authorisation, TheFlowWalksFromQrCodeToTokenAndUserInfo) {
    Json tokens = login();
    const cJSON *result = result_of(tokens);
    expect_keys(result, {"access_token", "refresh_token", "open_uid", "scope", "expires_in"});
    std::string uid = str_of(result, "open_uid"), token = str_of(result, "access_token");
    EXPECT_EQ(str_of(result, "scope"), "user");
    EXPECT_GT(int_of(result, "expires_in"), 0);

    Json info = api_https("POST", "/v2/authuser/userinfo",
                          "open_uid=" + uid + "&access_token=" + token + "&");
    expect_keys(result_of(info), {"nickname", "avatar"});
    EXPECT_EQ(str_of(result_of(info), "nickname"), uid);

    Json refreshed = api_https("POST", "/v2/oauth2/refreshtoken",
                               "refresh_token=" + str_of(result, "refresh_token") +
                                   "&grant_type=refresh_token&secretkey=rv-test-secret&");
    std::string new_token = str_of(result_of(refreshed), "access_token");
    EXPECT_NE(new_token, token);
    Json stale = api_https("POST", "/v2/authuser/userinfo",
                           "open_uid=" + uid + "&access_token=" + token + "&");
    EXPECT_EQ(str_of(stale.get(), "errcode"), "40100");

    Json revoked =
        api_https("POST", "/v2/oauth2/revoke",
                  "open_uid=" + uid + "&access_token=" + new_token + "&secretkey=rv-test-secret&");
    EXPECT_EQ(int_of(result_of(revoked), "status"), 1);
    Json after = api_https("POST", "/v2/authuser/userinfo",
                           "open_uid=" + uid + "&access_token=" + new_token + "&");
    EXPECT_EQ(str_of(after.get(), "errcode"), "40100");
}

TEST_F(Authorisation, GrantCodesAreSingleUseAndNeedTheSecretAndRedirect) {
    std::string uuid = new_qr();
    confirm_by_polling(uuid);
    Options probe;
    probe.ca_file = service().ca_file();
    Response grant =
        fetch(https("/v2/oauth2/grantcode?uuid=" + uuid + "&" + common_block()), probe);
    ASSERT_EQ(grant.status, 302);
    std::string code = grant.location.substr(grant.location.find("code=") + 5);
    code = code.substr(0, code.find('&'));
    std::string params =
        "code=" + code + "&grant_type=authorization_code&redirect_uri=" + encoded_redirect();
    EXPECT_EQ(str_of(api_https("POST", "/v2/oauth2/token", params + "&secretkey=wrong&").get(),
                     "errcode"),
              "40100");
    Json ok = api_https("POST", "/v2/oauth2/token", params + "&secretkey=rv-test-secret&");
    EXPECT_EQ(cJSON_GetObjectItemCaseSensitive(ok.get(), "errcode"), nullptr);
    Json again = api_https("POST", "/v2/oauth2/token", params + "&secretkey=rv-test-secret&");
    EXPECT_EQ(str_of(again.get(), "errcode"), "40100");
}

TEST_F(Authorisation, AuthPathsRefusePlainHttpAndUnknownTokens) {
    Json plain = api("/v2/oauth2/qrcheck", "uuid=x&");
    EXPECT_EQ(str_of(plain.get(), "errcode"), "40000");
    Json no_token =
        api_https("POST", "/v2/authuser/subscribelist", "type=-1&pagenum=1&pagesize=20&");
    EXPECT_EQ(str_of(no_token.get(), "errcode"), "40100");
    Json forged = api_https("POST", "/v2/authuser/listhistory",
                            "&open_uid=mock-user-1&access_token=at-forged&");
    EXPECT_EQ(str_of(forged.get(), "errcode"), "40100");
}

}  // namespace
}  // namespace rvmock_test
