// Fault switches: each kind changes exactly what the client sees, counts its
// uses, and goes away when cleared.
#include <chrono>

#include "mock_test_support.h"

namespace rvmock_test {
namespace {

class Faults : public MockServiceTest {
  protected:
    static Response category() { return fetch(http("/v2/category?" + common_block())); }
    static rvmock::Fault fault(rvmock::Fault::Kind kind) {
        rvmock::Fault f;
        f.kind = kind;
        return f;
    }
};

TEST_F(Faults, DelayHoldsTheAnswerBack) {
    rvmock::Fault delay = fault(rvmock::Fault::Kind::None);
    delay.delay_ms = 600;
    service().set_fault("/v2/category", delay);
    auto start = std::chrono::steady_clock::now();
    Response response = category();
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(600));
    EXPECT_NE(response.body.find("\"result\""), std::string::npos);
}

TEST_F(Faults, MalformedErrorAndOversizeBodies) {
    service().set_fault("/v2/category", fault(rvmock::Fault::Kind::Malformed));
    Response malformed = category();
    EXPECT_EQ(malformed.status, 200);
    EXPECT_FALSE(parse(malformed.body));

    rvmock::Fault error = fault(rvmock::Fault::Kind::Error);
    error.errcode = "40432";
    error.errmsg = "try later";
    service().set_fault("/v2/category", error);
    Json envelope = parse(category().body);
    EXPECT_EQ(str_of(envelope.get(), "errcode"), "40432");
    EXPECT_EQ(str_of(envelope.get(), "errmsg"), "try later");

    rvmock::Fault big = fault(rvmock::Fault::Kind::Oversize);
    big.bytes = 3 * 1024 * 1024;
    service().set_fault("/v2/category", big);
    Response oversize = category();
    EXPECT_GE(oversize.body.size(), big.bytes);
    Json padded = parse(oversize.body);
    EXPECT_TRUE(cJSON_IsArray(result_of(padded)));
}

TEST_F(Faults, DropClosesWithoutAByteOnBothSchemes) {
    service().set_fault("/v2/category", fault(rvmock::Fault::Kind::Drop));
    Response plain = category();
    EXPECT_EQ(plain.code, CURLE_GOT_NOTHING);
    EXPECT_TRUE(plain.body.empty());
    service().set_fault("/v2/oauth2/qrcheck", fault(rvmock::Fault::Kind::Drop));
    Options tls;
    tls.ca_file = service().ca_file();
    Response secure = fetch(https("/v2/oauth2/qrcheck?uuid=x&" + common_block()), tls);
    EXPECT_NE(secure.code, CURLE_OK);
    EXPECT_TRUE(secure.body.empty());
}

TEST_F(Faults, CutSendsTheGivenBytesOfAnAnnouncedLongerBody) {
    rvmock::Fault cut = fault(rvmock::Fault::Kind::Cut);
    cut.bytes = 1000;
    service().set_fault("/media/audio/*", cut);
    Response response = fetch(http("/media/audio/3000000401/aac_64.aac"));
    EXPECT_EQ(response.code, CURLE_PARTIAL_FILE);
    EXPECT_EQ(response.body.size(), 1000u);
    EXPECT_GT(response.content_length, 1000);
}

TEST_F(Faults, RetypeAndStripChangeNamedMembersAtAnyDepthAndRecordNothing) {
    Json normal = parse(category().body);
    const cJSON *first = cJSON_GetArrayItem(result_of(normal), 0);
    ASSERT_TRUE(cJSON_IsNumber(cJSON_GetObjectItemCaseSensitive(first, "cid")));
    ASSERT_TRUE(cJSON_IsString(cJSON_GetObjectItemCaseSensitive(first, "name")));
    EXPECT_NE(parse(service().last_answer("/v2/category")), nullptr);
    const std::string recorded = service().last_answer("/v2/category");

    rvmock::Fault retype = fault(rvmock::Fault::Kind::Retype);
    retype.field = "cid";
    service().set_fault("/v2/category", retype);
    Json cids = parse(category().body);
    for (const cJSON *c = result_of(cids)->child; c != nullptr; c = c->next) {
        EXPECT_TRUE(cJSON_IsString(cJSON_GetObjectItemCaseSensitive(c, "cid")));
    }
    retype.field = "name";
    service().set_fault("/v2/category", retype);
    Json names = parse(category().body);
    EXPECT_TRUE(cJSON_IsNumber(
        cJSON_GetObjectItemCaseSensitive(cJSON_GetArrayItem(result_of(names), 0), "name")));
    retype.field = "result";
    service().set_fault("/v2/category", retype);
    EXPECT_TRUE(cJSON_IsObject(result_of(parse(category().body))));  // it was an array

    rvmock::Fault strip = fault(rvmock::Fault::Kind::Strip);
    strip.field = "result";
    service().set_fault("/v2/category", strip);
    EXPECT_EQ(result_of(parse(category().body)), nullptr);
    // Faulted answers are not recorded as the path's last answer.
    EXPECT_EQ(service().last_answer("/v2/category"), recorded);

    Options post;
    post.method = "POST";
    post.body = R"({"path":"/v2/category","kind":"retype"})";
    EXPECT_EQ(fetch(http("/__mock/faults"), post).status, 400);  // no field
}

TEST_F(Faults, TimesCountsUsesAndPrefixesMatch) {
    rvmock::Fault twice = fault(rvmock::Fault::Kind::Error);
    twice.times = 2;
    service().set_fault("/v2/cat*", twice);
    EXPECT_NE(category().body.find("errcode"), std::string::npos);
    EXPECT_NE(fetch(http("/v2/category/radio?&" + common_block())).body.find("errcode"),
              std::string::npos);
    EXPECT_EQ(category().body.find("errcode"), std::string::npos);
}

TEST_F(Faults, TheHttpSwitchSetsListsAndClears) {
    Options post;
    post.method = "POST";
    post.body = R"([{"path":"/v2/category","kind":"errcode","errcode":"40100"},
                    {"path":"/c.gif","kind":"drop","times":1}])";
    Response set = fetch(http("/__mock/faults"), post);
    EXPECT_EQ(set.status, 200);
    EXPECT_EQ(str_of(parse(category().body).get(), "errcode"), "40100");
    Json listed = parse(fetch(http("/__mock/faults")).body);
    EXPECT_EQ(cJSON_GetArraySize(cJSON_GetObjectItemCaseSensitive(listed.get(), "faults")), 2);

    post.body = R"({"path":"/v2/category","kind":"explode"})";
    EXPECT_EQ(fetch(http("/__mock/faults"), post).status, 400);
    post.body = R"({"path":"/v2/category","delay_ms":-5})";
    EXPECT_EQ(fetch(http("/__mock/faults"), post).status, 400);

    Options del;
    del.method = "DELETE";
    EXPECT_EQ(fetch(http("/__mock/faults"), del).status, 200);
    EXPECT_EQ(category().body.find("errcode"), std::string::npos);
}

TEST_F(Faults, ControlPathsAreNeverFaulted) {
    service().set_fault("/__mock/*", fault(rvmock::Fault::Kind::Drop));
    Response listed = fetch(http("/__mock/faults"));
    EXPECT_EQ(listed.code, CURLE_OK);
    EXPECT_EQ(listed.status, 200);
}

}  // namespace
}  // namespace rvmock_test
