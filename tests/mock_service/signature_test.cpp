// The signature check, from both sides: the client's signing rule on literal
// examples, and the service refusing what does not check out.
#include "signature.h"
#include "mock_test_support.h"
#include "query.h"

namespace rvmock_test {
namespace {

TEST(Signature, SignedTextNumbersTheAmpersandsAndSignsDeviceBeforeOpenid) {
    rvmock::Query query = rvmock::Query::parse(
        "appid=rv-test-app&openid=oid-3&deviceid=dev-1&os=linux&packagename=com.example.app&"
        "sign=x&channel=ch-1&");
    EXPECT_EQ(rvmock::signed_text(query, "rv-test-secret"),
              "rv-test-secret0appid=rv-test-app1deviceid=dev-12openid=oid-33os=linux4"
              "packagename=com.example.apprv-test-secret");
}

TEST(Signature, ClientSignerMatchesAKnownDigest) {
    // Digests computed outside this code base for the literal texts above.
    EXPECT_NE(common_block().find("&sign=5be0db6fd33499e38c580106a585803a&"), std::string::npos);
    Identity no_openid;
    no_openid.openid.clear();
    EXPECT_NE(common_block(no_openid).find("&sign=9b4ce1e58c4efa9e9569c0d1159fa432&"),
              std::string::npos);
    EXPECT_EQ(rvmock::md5_hex(""), "d41d8cd98f00b204e9800998ecf8427e");
}

TEST(Signature, AbsentOpenidKeepsTheIndicesConsecutive) {
    rvmock::Query query =
        rvmock::Query::parse("appid=a&deviceid=d&os=linux&packagename=p&sign=x&channel=c&");
    EXPECT_EQ(rvmock::signed_text(query, "s"), "s0appid=a1deviceid=d2os=linux3packagename=ps");
}

TEST(Signature, PercentEncodedValuesAreSignedAsSent) {
    // The service cannot see a raw "&" inside a value (it splits the query); an
    // encoded one is signed exactly as written.
    rvmock::Query query =
        rvmock::Query::parse("appid=a&deviceid=d%26e&os=linux&packagename=p&sign=x&");
    EXPECT_EQ(rvmock::signed_text(query, "s"), "s0appid=a1deviceid=d%26e2os=linux3packagename=ps");
}

TEST(Signature, TheLastCommonBlockIsTheOneChecked) {
    // Search and report queries carry appid/deviceid twice; the common block comes last.
    Identity id;
    std::string query_text = "deviceid=other&appid=wrong&sign=bad&" + common_block(id);
    rvmock::Query query = rvmock::Query::parse(query_text);
    EXPECT_EQ(rvmock::check_common_block(query, "rv-test-app", "rv-test-secret"),
              rvmock::SignCheck::Ok);
}

TEST(Signature, RawValuesAreSignedNotDecodedOnes) {
    Identity id;
    id.packagename = "com.example+app";  // a "+" would decode to a space
    rvmock::Query query = rvmock::Query::parse(common_block(id));
    EXPECT_EQ(query.last("packagename")->value, "com.example app");
    EXPECT_EQ(rvmock::check_common_block(query, "rv-test-app", "rv-test-secret"),
              rvmock::SignCheck::Ok);
}

class SignatureService : public MockServiceTest {};

std::string errcode_of(const Response &response) {
    Json body = parse(response.body);
    const cJSON *code = cJSON_GetObjectItemCaseSensitive(body.get(), "errcode");
    return cJSON_IsString(code) ? code->valuestring : "";
}

TEST_F(SignatureService, AcceptsACorrectlySignedRequest) {
    Response response = fetch(http("/v2/category?" + common_block()));
    EXPECT_EQ(errcode_of(response), "");
    EXPECT_NE(response.body.find("\"result\""), std::string::npos);
}

TEST_F(SignatureService, RefusesATamperedQuery) {
    std::string block = common_block();
    std::string tampered = block;
    tampered.replace(tampered.find("dev-1"), 5, "dev-2");
    EXPECT_EQ(errcode_of(fetch(http("/v2/category?" + tampered))), "40000");
    std::string flipped = block;
    size_t sign = flipped.find("sign=") + 5;
    flipped[sign] = flipped[sign] == '0' ? '1' : '0';
    EXPECT_EQ(errcode_of(fetch(http("/v2/category?" + flipped))), "40000");
}

TEST_F(SignatureService, RefusesAWrongSecretAnUnknownAppAndAMissingSign) {
    Identity wrong_secret;
    wrong_secret.secret = "not-the-secret";
    EXPECT_EQ(errcode_of(fetch(http("/v2/category?" + common_block(wrong_secret)))), "40000");
    Identity other_app;
    other_app.appid = "someone-else";
    EXPECT_EQ(errcode_of(fetch(http("/v2/category?" + common_block(other_app)))), "40000");
    EXPECT_EQ(errcode_of(fetch(http("/v2/category?appid=rv-test-app&deviceid=d&os=linux&"))),
              "40000");
}

TEST_F(SignatureService, ServerTimeIsUnsignedButASignThatIsSentMustHold) {
    Response unsigned_request = fetch(http("/v2/broadcast/date?&"));
    Json body = parse(unsigned_request.body);
    ASSERT_TRUE(body);
    EXPECT_TRUE(cJSON_IsString(cJSON_GetObjectItemCaseSensitive(body.get(), "serverTime")));
    Identity wrong_secret;
    wrong_secret.secret = "nope";
    EXPECT_EQ(errcode_of(fetch(http("/v2/broadcast/date?" + common_block(wrong_secret)))), "40000");
}

TEST_F(SignatureService, EveryApiPathAnswersTheWrongMethodInTheEnvelope) {
    Options post;
    post.method = "POST";
    Response response = fetch(http("/v2/category?" + common_block()), post);
    EXPECT_EQ(response.status, 200);
    EXPECT_EQ(errcode_of(response), "40000");
}

}  // namespace
}  // namespace rvmock_test
