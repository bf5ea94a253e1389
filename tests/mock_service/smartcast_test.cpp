// Smartcast radios hand out batches by clock id until they run out; the
// operate list pages.
#include "mock_test_support.h"

namespace rvmock_test {
namespace {

class Smartcasts : public MockServiceTest {};

TEST_F(Smartcasts, CategoriesRadiosAndDetailsCarryTheirKeys) {
    Json categories = api("/v2/category/radio", "&");
    ASSERT_EQ(cJSON_GetArraySize(result_of(categories)), 2);
    expect_keys(cJSON_GetArrayItem(result_of(categories), 0), {"cid", "hasSub", "name", "img"});
    Json radios = api("/v2/typeradio/list", "cid=500&");
    ASSERT_EQ(cJSON_GetArraySize(result_of(radios)), 1);
    Json detail = api("/v2/radio/detail", "rid=2100001&");
    expect_keys(result_of(detail), {"id", "type", "followedNum", "isOnline", "listenNum",
                                    "commentNum", "isSubscribe", "name", "img", "desc"});
    EXPECT_EQ(str_of(api("/v2/radio/detail", "rid=1&").get(), "errcode"), "50600");
}

TEST_F(Smartcasts, BatchesFollowTheClockIdOfTheLastAudioUntilExhausted) {
    std::string clock_id;  // empty: the first batch
    std::vector<std::string> clocks;
    size_t audios = 0;
    for (int guard = 0; guard < 10; ++guard) {
        Json batch = api("/v2/radio/list", "rid=2100001&clockid=" + clock_id + "&");
        const cJSON *list = result_of(batch);
        ASSERT_TRUE(cJSON_IsArray(list));
        int size = cJSON_GetArraySize(list);
        if (size == 0) {
            break;
        }
        const cJSON *audio = nullptr;
        std::string batch_clock = str_of(cJSON_GetArrayItem(list, 0), "clockId");
        cJSON_ArrayForEach(audio, list) {
            EXPECT_EQ(str_of(audio, "clockId"), batch_clock) << "one clock id per batch";
            EXPECT_FALSE(str_of(audio, "aacPlayUrl").empty());
        }
        audios += static_cast<size_t>(size);
        clocks.push_back(batch_clock);
        clock_id = str_of(cJSON_GetArrayItem(list, size - 1), "clockId");
    }
    EXPECT_EQ(clocks,
              (std::vector<std::string>{"clock-2100001-a", "clock-2100001-b", "clock-2100001-c"}));
    EXPECT_EQ(audios, 6u);
    Json unknown = api("/v2/radio/list", "rid=2100001&clockid=never-issued&");
    EXPECT_EQ(str_of(unknown.get(), "errcode"), "50600");
}

TEST_F(Smartcasts, OperateListPagesAndKeepsIdsBeyond32Bits) {
    Json page = api("/v2/operate", "pagenum=1&pagesize=2&lon=&lat=&");
    const cJSON *result = result_of(page);
    EXPECT_EQ(int_of(result, "count"), 3);
    EXPECT_EQ(int_of(result, "haveNext"), 1);
    const cJSON *first =
        cJSON_GetArrayItem(cJSON_GetObjectItemCaseSensitive(result, "dataList"), 0);
    expect_keys(first, {"rid", "listenNum", "rtype", "cornerMark", "image", "rname", "rvalue"});
    EXPECT_EQ(int_of(first, "rid"), 5000000001LL);
    EXPECT_EQ(int_of(first, "listenNum"), 6000000000LL);
}

}  // namespace
}  // namespace rvmock_test
