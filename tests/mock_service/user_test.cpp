// Subscriptions and history per device and per authorised user.
#include "mock_test_support.h"

namespace rvmock_test {
namespace {

class UserData : public MockServiceTest {
  protected:
    // Tokens for a fresh login (confirmed through the QR code's URL).
    std::string user_params() {
        std::unique_ptr<char, decltype(&curl_free)> redirect(
            curl_easy_escape(nullptr, (service().http_url() + "/oauth2/callback").c_str(), 0),
            curl_free);
        std::string r = redirect.get();
        Json qr = api_https("GET", "/v2/oauth2/qrcode",
                            "response_type=code&scope=&redirect_uri=" + r + "&state=s&");
        std::string uuid = str_of(result_of(qr), "uuid");
        fetch(service().http_url() + "/oauth2/confirm?uuid=" + uuid + "&user=bob");
        Options probe;
        probe.ca_file = service().ca_file();
        Response grant =
            fetch(https("/v2/oauth2/grantcode?uuid=" + uuid + "&" + common_block()), probe);
        std::string code = grant.location.substr(grant.location.find("code=") + 5);
        code = code.substr(0, code.find('&'));
        Json tokens =
            api_https("POST", "/v2/oauth2/token",
                      "code=" + code + "&grant_type=authorization_code&redirect_uri=" + r +
                          "&secretkey=rv-test-secret&");
        const cJSON *t = result_of(tokens);
        return "open_uid=" + str_of(t, "open_uid") + "&access_token=" + str_of(t, "access_token") +
               "&";
    }
};

TEST_F(UserData, DeviceSubscriptionsAreKeptPerDevice) {
    Identity device;
    device.deviceid = "dev-subscriber";
    EXPECT_EQ(int_of(result_of(api("/v2/issubscribe", "id=1100002&", device)), "status"), 0);
    EXPECT_EQ(int_of(result_of(api("/v2/subscribe", "id=1100002&", device)), "status"), 1);
    EXPECT_EQ(int_of(result_of(api("/v2/subscribe", "id=1003&", device)), "status"), 1);
    EXPECT_EQ(int_of(result_of(api("/v2/issubscribe", "id=1100002&", device)), "status"), 1);
    Json detail = api("/v2/album/detail", "ids=1100002&", device);
    EXPECT_EQ(int_of(cJSON_GetArrayItem(result_of(detail), 0), "isSubscribe"), 1);

    Json list = api("/v2/subscribe/list", "type=-1&pagenum=1&pagesize=20&", device);
    const cJSON *items = cJSON_GetObjectItemCaseSensitive(result_of(list), "dataList");
    ASSERT_EQ(cJSON_GetArraySize(items), 2);
    const cJSON *newest = cJSON_GetArrayItem(items, 0);
    expect_keys(newest, {"type", "id", "name", "desc", "img", "isOnline", "hasCopyright",
                         "countNum", "updateTime"});
    EXPECT_EQ(int_of(newest, "id"), 1003);
    EXPECT_EQ(int_of(newest, "type"), 11);
    Json albums_only = api("/v2/subscribe/list", "type=0&pagenum=1&pagesize=20&", device);
    EXPECT_EQ(int_of(result_of(albums_only), "count"), 1);

    Identity other;
    other.deviceid = "dev-other";
    EXPECT_EQ(int_of(result_of(api("/v2/issubscribe", "id=1100002&", other)), "status"), 0);
    EXPECT_EQ(int_of(result_of(api("/v2/unsubscribe", "id=1100002&", device)), "status"), 1);
    EXPECT_EQ(int_of(result_of(api("/v2/unsubscribe", "id=1100002&", device)), "status"), 0);
    EXPECT_EQ(str_of(api("/v2/subscribe", "id=42&", device).get(), "errcode"), "50600");
}

TEST_F(UserData, AuthorisedUserDataIsApartFromTheDevices) {
    std::string user = user_params();
    Json subscribed = api_https("POST", "/v2/authuser/subscribe", "id=2100002&" + user);
    EXPECT_EQ(int_of(result_of(subscribed), "status"), 1);
    Json status = api_https("POST", "/v2/authuser/issubscribe", "id=2100002&" + user);
    EXPECT_EQ(int_of(result_of(status), "status"), 1);
    EXPECT_EQ(int_of(result_of(api("/v2/issubscribe", "id=2100002&")), "status"), 0);
    Json list =
        api_https("POST", "/v2/authuser/subscribelist", "type=3&pagenum=1&pagesize=20&" + user);
    EXPECT_EQ(int_of(result_of(list), "count"), 1);
}

TEST_F(UserData, HistoryKeepsTheLatestAudioPerRadioNewestFirst) {
    Identity device;
    device.deviceid = "dev-history";
    auto save = [&](const std::string &radio, const std::string &audio, const std::string &stamp) {
        Options post;
        post.method = "POST";
        Response response = fetch(
            http("/v2/history/save?type=0&radioId=" + radio + "&audioId=" + audio +
                 "&playedTime=1500&duration=3000&timeStamp=" + stamp + "&" + common_block(device)),
            post);
        EXPECT_EQ(int_of(result_of(parse(response.body)), "status"), 1);
    };
    save("1100001", "3000000101", "1000");
    save("1100002", "3000000201", "2000");
    save("1100001", "3000000102", "3000");
    Json list = api("/v2/history/list", "&", device);
    const cJSON *result = result_of(list);
    expect_keys(result, {"haveNext", "nextPage", "havePre", "prePage", "currentPage", "dataList"});
    const cJSON *items = cJSON_GetObjectItemCaseSensitive(result, "dataList");
    ASSERT_EQ(cJSON_GetArraySize(items), 2);
    const cJSON *newest = cJSON_GetArrayItem(items, 0);
    expect_keys(newest, {"radioId", "radioTitle", "picUrl", "audioId", "audioTitle", "playUrl",
                         "shareUrl", "playedTime", "duration", "orderNum", "timeStamp"});
    EXPECT_EQ(str_of(newest, "radioId"), "1100001");
    EXPECT_EQ(str_of(newest, "audioId"), "3000000102");
    EXPECT_EQ(int_of(newest, "timeStamp"), 3000);
    EXPECT_EQ(str_of(newest, "audioTitle"), "North Wind, part 2");

    EXPECT_EQ(int_of(result_of(api("/v2/history/clear", "&", device)), "status"), 1);
    Json cleared = api("/v2/history/list", "&", device);
    EXPECT_EQ(cJSON_GetArraySize(cJSON_GetObjectItemCaseSensitive(result_of(cleared), "dataList")),
              0);
}

}  // namespace
}  // namespace rvmock_test
