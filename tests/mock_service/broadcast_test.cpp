// Broadcasts and the programme guide around the current time.
#include <chrono>
#include <thread>

#include "mock_test_support.h"

namespace rvmock_test {
namespace {

class Broadcasts : public MockServiceTest {};

long long now_ms() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

TEST_F(Broadcasts, CategoriesAreasAndDatesCarryTheirKeys) {
    Json categories = api("/v2/category/broadcast", "&");
    ASSERT_GE(cJSON_GetArraySize(result_of(categories)), 3);
    expect_keys(cJSON_GetArrayItem(result_of(categories), 0), {"id", "type", "name", "img"});
    Json areas = api("/v2/broadcast/arealist");
    expect_keys(cJSON_GetArrayItem(result_of(areas), 0), {"id", "name"});
    Json dates = api("/v2/broadcast/date");
    const cJSON *list = cJSON_GetObjectItemCaseSensitive(result_of(dates), "dataList");
    ASSERT_GE(cJSON_GetArraySize(list), 1);
    expect_keys(cJSON_GetArrayItem(list, 0), {"weekDay", "dateTime", "time"});
    long long server_time = std::stoll(str_of(dates.get(), "serverTime"));
    EXPECT_LT(std::llabs(server_time - now_ms()), 60000);
}

TEST_F(Broadcasts, ListsFilterAndCarryPlayUrls) {
    Json all = api("/v2/broadcast/list", "type=0&classifyid=0&pagenum=1&pagesize=20&area=0&");
    const cJSON *result = result_of(all);
    EXPECT_EQ(int_of(result, "count"), 4);
    const cJSON *first =
        cJSON_GetArrayItem(cJSON_GetObjectItemCaseSensitive(result, "dataList"), 0);
    expect_keys(first, {"broadcastId", "status", "onLineNum", "likedNum", "isSubscribe", "name",
                        "img", "currentProgramTitle", "playUrl"});
    EXPECT_EQ(str_of(first, "playUrl"), service().http_url() + "/live/1001.aac");
    EXPECT_FALSE(str_of(first, "currentProgramTitle").empty());

    Json regional = api("/v2/broadcast/list", "type=0&classifyid=2&pagenum=1&pagesize=20&area=0&");
    EXPECT_EQ(int_of(result_of(regional), "count"), 2);
    Json city = api("/v2/broadcast/getCityBroadcast/list", "citycode=11&pagenum=1&pagesize=10&");
    EXPECT_EQ(int_of(result_of(city), "count"), 2);
    Json top = api("/v2/broadcast/getCityBroadcast/topList");
    EXPECT_EQ(cJSON_GetArraySize(result_of(top)), 4);
}

TEST_F(Broadcasts, DetailsTellOnAirFromOffAir) {
    Json on = api("/v2/broadcast/detail", "broadcastid=1002&");
    expect_keys(result_of(on), {"broadcastId", "status", "onLineNum", "likedNum", "isSubscribe",
                                "roomId", "classifyId", "name", "img", "classifyName", "playUrl"});
    EXPECT_EQ(int_of(result_of(on), "status"), 1);
    Json off = api("/v2/broadcast/detail", "broadcastid=1004&");
    EXPECT_EQ(int_of(result_of(off), "status"), 0);
    EXPECT_EQ(str_of(result_of(off), "playUrl"), "");
    Json guide = api("/v2/broadcast/programlist", "bid=1004&date=&");
    EXPECT_EQ(cJSON_GetArraySize(result_of(guide)), 0);
    Json current = api("/v2/broadcast/currentprogram", "broadcastid=1004&");
    EXPECT_EQ(str_of(current.get(), "errcode"), "50600");
}

TEST_F(Broadcasts, TheGuideRunsFromPastThroughLiveToFuture) {
    long long before = now_ms();
    Json guide = api("/v2/broadcast/programlist", "bid=1001&date=&");
    long long after = now_ms();
    const cJSON *list = result_of(guide);
    ASSERT_GE(cJSON_GetArraySize(list), 3);
    int live = 0;
    long long previous_finish = -1;
    const cJSON *p = nullptr;
    cJSON_ArrayForEach(p, list) {
        expect_keys(p, {"programId", "broadcastId", "nextProgramId", "preProgramId", "startTime",
                        "finishTime", "status", "isSubscribe", "title", "backLiveUrl", "playUrl",
                        "comperes", "beginTime", "endTime", "desc", "broadcastDesc",
                        "broadcastName", "broadcastImg"});
        long long start = int_of(p, "startTime"), finish = int_of(p, "finishTime");
        if (previous_finish >= 0) {
            EXPECT_EQ(start, previous_finish);
        }
        previous_finish = finish;
        long long status = int_of(p, "status");
        if (finish <= before) {
            EXPECT_EQ(status, 2);
            EXPECT_NE(str_of(p, "backLiveUrl").find("/media/programme/"), std::string::npos);
        } else if (start > after) {
            EXPECT_EQ(status, 3);
            EXPECT_EQ(str_of(p, "playUrl"), "");
        } else if (start <= before && finish > after) {
            EXPECT_EQ(status, 1);
            EXPECT_EQ(str_of(p, "playUrl"), service().http_url() + "/live/1001.aac");
            ++live;
        }
    }
    EXPECT_EQ(live, 1);

    Json current = api("/v2/broadcast/currentprogram", "broadcastid=1001&");
    EXPECT_EQ(int_of(result_of(current), "status"), 1);
    EXPECT_FALSE(str_of(current.get(), "serverTime").empty());
    long long id = int_of(result_of(current), "programId");
    EXPECT_GT(id, 1LL << 32);
    Json detail = api("/v2/program/detail", "programid=" + std::to_string(id) + "&");
    EXPECT_EQ(int_of(result_of(detail), "programId"), id);
    EXPECT_EQ(cJSON_GetObjectItemCaseSensitive(detail.get(), "serverTime"), nullptr);

    Json bad_date = api("/v2/broadcast/programlist", "bid=1001&date=yesterday&");
    EXPECT_EQ(str_of(bad_date.get(), "errcode"), "40000");
    Json day = api("/v2/broadcast/programlist", "bid=1001&date=2026-01-15&");
    EXPECT_EQ(cJSON_GetArraySize(result_of(day)), 24);
}

TEST_F(Broadcasts, RadioLabelsCarryAudiosWithTheirClockId) {
    Json labels = api("/v2/radioLable/list", "&pagenum=1&pagesize=10&");
    const cJSON *list = cJSON_GetObjectItemCaseSensitive(result_of(labels), "dataList");
    ASSERT_EQ(cJSON_GetArraySize(list), 3);
    const cJSON *label = cJSON_GetArrayItem(list, 0);
    expect_keys(label, {"rid", "rtype", "rname", "rvalue", "image", "desc", "updateTime",
                        "cornerMark", "optType", "isOpt", "index", "isMusic", "audios"});
    EXPECT_TRUE(cJSON_IsString(cJSON_GetObjectItemCaseSensitive(label, "updateTime")));
    const cJSON *audio = cJSON_GetArrayItem(cJSON_GetObjectItemCaseSensitive(label, "audios"), 0);
    EXPECT_EQ(str_of(audio, "clockId"), "label-7001");
    EXPECT_EQ(
        cJSON_GetArraySize(cJSON_GetObjectItemCaseSensitive(cJSON_GetArrayItem(list, 2), "audios")),
        0);
}

class ShortProgrammes : public MockServiceTest {
  public:
    static void SetUpTestSuite() {
        config_.short_programmes = true;
        MockServiceTest::SetUpTestSuite();
        config_ = {};
    }
};

TEST_F(ShortProgrammes, TheLiveProgrammeEndsWithinSeconds) {
    Json first = api("/v2/broadcast/currentprogram", "broadcastid=1002&");
    const cJSON *programme = result_of(first);
    long long length = int_of(programme, "finishTime") - int_of(programme, "startTime");
    EXPECT_LE(length, 10000);
    long long wait =
        int_of(programme, "finishTime") - std::stoll(str_of(first.get(), "serverTime"));
    std::this_thread::sleep_for(std::chrono::milliseconds(wait + 200));
    Json next = api("/v2/broadcast/currentprogram", "broadcastid=1002&");
    EXPECT_EQ(int_of(result_of(next), "programId"), int_of(programme, "nextProgramId"));
    EXPECT_EQ(int_of(result_of(next), "preProgramId"), int_of(programme, "programId"));
    Json guide = api("/v2/broadcast/programlist", "bid=1002&date=&");
    const cJSON *list = result_of(guide);
    ASSERT_GE(cJSON_GetArraySize(list), 3);
    EXPECT_EQ(int_of(cJSON_GetArrayItem(list, 0), "status"), 2);
    EXPECT_EQ(int_of(cJSON_GetArrayItem(list, cJSON_GetArraySize(list) - 1), "status"), 3);
}

}  // namespace
}  // namespace rvmock_test
