// The report path records every report, in order, with its signature checked.
#include "mock_test_support.h"

namespace rvmock_test {
namespace {

class Reports : public MockServiceTest {};

TEST_F(Reports, EveryReportIsRecordedWithItsParametersInOrder) {
    std::string report_block =
        "appid=rv-test-app&openid=oid-3&sessionid=oid-31700000000&timestamp=1700000001&"
        "network=-1&operator=0&appversion=unknown&channel=unknown&os=linux&"
        "osversion=unknown&playid=1&";
    Response first =
        fetch(http("/c.gif?&" + report_block + common_block() +
                   "radioid=7&audioid=3000000101&playtime=3&remarks1=player&eventcode=101010&"));
    EXPECT_EQ(first.status, 200);
    EXPECT_EQ(first.content_type, "image/gif");
    Identity wrong;
    wrong.secret = "other";
    fetch(http("/c.gif?&eventcode=300030&" + common_block(wrong)));

    std::vector<rvmock::Report> reports = service().reports();
    ASSERT_EQ(reports.size(), 2u);
    EXPECT_TRUE(reports[0].signature_ok);
    EXPECT_EQ(reports[0].value("eventcode"), "101010");
    EXPECT_EQ(reports[0].value("radioid"), "7");
    EXPECT_EQ(reports[0].value("channel"), "unknown");  // the report block's comes first
    EXPECT_EQ(reports[0].params.back().first, "eventcode");
    EXPECT_FALSE(reports[1].signature_ok);
    EXPECT_EQ(reports[1].value("eventcode"), "300030");
    EXPECT_FALSE(reports[1].has("radioid"));
}

TEST_F(Reports, TheReportListIsJsonAndCanBeCleared) {
    fetch(http("/c.gif?&eventcode=992000&result=-5&" + common_block()));
    Json listed = parse(fetch(http("/__mock/reports")).body);
    const cJSON *reports = cJSON_GetObjectItemCaseSensitive(listed.get(), "reports");
    ASSERT_EQ(cJSON_GetArraySize(reports), 1);
    const cJSON *report = cJSON_GetArrayItem(reports, 0);
    expect_keys(report, {"query", "signature_ok", "time_ms", "params"});
    EXPECT_TRUE(cJSON_IsTrue(cJSON_GetObjectItemCaseSensitive(report, "signature_ok")));
    const cJSON *pair = cJSON_GetArrayItem(cJSON_GetObjectItemCaseSensitive(report, "params"), 1);
    EXPECT_STREQ(cJSON_GetArrayItem(pair, 0)->valuestring, "result");
    EXPECT_STREQ(cJSON_GetArrayItem(pair, 1)->valuestring, "-5");

    Options del;
    del.method = "DELETE";
    fetch(http("/__mock/reports"), del);
    EXPECT_TRUE(service().reports().empty());
}

}  // namespace
}  // namespace rvmock_test
