// Suggested words and the full search with its JSON body and own signature.
#include "mock_test_support.h"

namespace rvmock_test {
namespace {

class Search : public MockServiceTest {
  protected:
    // The search block as a client writes it: sign = MD5(secret + device id).
    static std::string search_block(const std::string &keyword, const std::string &sign) {
        std::string body =
            "{\"category\":\"\",\"albumName\":\"\",\"artist\":\"\",\"audioName\":\"\","
            "\"field\":2,\"tag\":1,\"text\":\"" +
            keyword + "\",\"keyword\":\"" + keyword + "\"}";
        std::unique_ptr<char, decltype(&curl_free)> q(curl_easy_escape(nullptr, body.c_str(), 0),
                                                      curl_free);
        return "deviceid=dev-1&sign=" + sign +
               "&appid=rv-test-app&voicesource=1&appsource=1&qualitytype=1&q=" + q.get() + "&";
    }
    static constexpr const char *kSearchSign =
        "252a96ed0ba1be42043cbfb81548e6f1";  // MD5("rv-test-secretdev-1")
};

TEST_F(Search, SuggestionsAreNamesHoldingTheWord) {
    Json words = api("/v2/resource/suggestionword", "word=north&limit=3&");
    const cJSON *list = result_of(words);
    ASSERT_EQ(cJSON_GetArraySize(list), 3);
    const cJSON *word = nullptr;
    cJSON_ArrayForEach(word, list) {
        ASSERT_TRUE(cJSON_IsString(word));
        EXPECT_NE(std::string(word->valuestring).find("North"), std::string::npos);
    }
    EXPECT_EQ(
        cJSON_GetArraySize(result_of(api("/v2/resource/suggestionword", "word=zzz&limit=5&"))), 0);
}

TEST_F(Search, TheSearchDecodesItsJsonBodyAndFindsEveryKind) {
    Json found = api("/v2/resource/voice/searchall", search_block("valley", kSearchSign));
    const cJSON *list = cJSON_GetObjectItemCaseSensitive(result_of(found), "dataList");
    ASSERT_EQ(cJSON_GetArraySize(list), 13);  // the album and its twelve songs
    const cJSON *album = cJSON_GetArrayItem(list, 0);
    expect_keys(album,
                {"id", "oldId", "type", "listenNum", "source", "isShowRed", "isRequest", "duration",
                 "originalDuration", "name", "img", "albumName", "sourceName", "playUrl"});
    EXPECT_EQ(int_of(album, "type"), 0);
    EXPECT_EQ(int_of(album, "id"), 1100005);
    const cJSON *song = cJSON_GetArrayItem(list, 1);
    EXPECT_EQ(int_of(song, "type"), 1);
    EXPECT_EQ(str_of(song, "albumName"), "Songs of the Valley");
    EXPECT_EQ(str_of(song, "playUrl"), service().http_url() + "/media/audio/3000000501/aac_64.aac");

    Json station = api("/v2/resource/voice/searchall", search_block("TONE", kSearchSign));
    const cJSON *stations = cJSON_GetObjectItemCaseSensitive(result_of(station), "dataList");
    ASSERT_EQ(cJSON_GetArraySize(stations), 1);
    EXPECT_EQ(int_of(cJSON_GetArrayItem(stations, 0), "type"), 11);
    EXPECT_EQ(str_of(cJSON_GetArrayItem(stations, 0), "playUrl"),
              service().http_url() + "/live/1003.aac");

    Json audio = api("/v2/resource/voice/searchall", search_block("part 12", kSearchSign));
    const cJSON *hits = cJSON_GetObjectItemCaseSensitive(result_of(audio), "dataList");
    ASSERT_EQ(cJSON_GetArraySize(hits), 1);
    EXPECT_EQ(int_of(cJSON_GetArrayItem(hits, 0), "id"), 3000000112LL);
    EXPECT_EQ(int_of(cJSON_GetArrayItem(hits, 0), "type"), 1);
}

TEST_F(Search, ABadSearchSignOrABrokenBodyIsRefused) {
    Json bad_sign =
        api("/v2/resource/voice/searchall", search_block("x", "00000000000000000000000000000000"));
    EXPECT_EQ(str_of(bad_sign.get(), "errcode"), "40000");
    // A quote inserted without escaping breaks the JSON body.
    Json broken = api("/v2/resource/voice/searchall", search_block("a\"b", kSearchSign));
    EXPECT_EQ(str_of(broken.get(), "errcode"), "40000");
    Json escaped = api("/v2/resource/voice/searchall", search_block("a\\\"b", kSearchSign));
    EXPECT_EQ(cJSON_GetObjectItemCaseSensitive(escaped.get(), "errcode"), nullptr);
}

}  // namespace
}  // namespace rvmock_test
