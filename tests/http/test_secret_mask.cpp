// Credentials are hidden in logged URLs and bodies, and nothing else is touched.
#include <gtest/gtest.h>

#include "http/secret_mask.h"

namespace {

using rv::http::mask_secrets;

TEST(SecretMask, HidesQueryAndFormValuesOfTheFourNames) {
    EXPECT_EQ("http://h/v2/x?app_key=a&secretkey=***&access_token=***&n=1",
              mask_secrets("http://h/v2/x?app_key=a&secretkey=S3CR3T&access_token=T0K&n=1"));
    EXPECT_EQ("refresh_token=***&code=***", mask_secrets("refresh_token=R&code=C0DE"));
    EXPECT_EQ("http://cb/?code=***#frag", mask_secrets("http://cb/?code=abc#frag"));
    EXPECT_EQ("x?code=***", mask_secrets("x?code="));
    EXPECT_EQ("x?code=*** \n", mask_secrets("x?code=abc \n"));
}

TEST(SecretMask, LeavesOtherNamesThatMerelyContainASecretName) {
    const std::string text = "x?errcode=50600&zipcode=1&my_access_token=2&codex=3&secretkeys=4";
    EXPECT_EQ(text, mask_secrets(text));
    EXPECT_EQ("no secrets here", mask_secrets("no secrets here"));
    EXPECT_EQ("", mask_secrets(""));
}

TEST(SecretMask, HidesJsonMembersWithStringAndBareValues) {
    EXPECT_EQ(R"({"access_token":"***","expires_in":7200,"refresh_token" : "***"})",
              mask_secrets(R"({"access_token":"a\"b","expires_in":7200,"refresh_token" : "r"})"));
    EXPECT_EQ(R"({"code":***,"errcode":"50600"})",
              mask_secrets(R"({"code":1234,"errcode":"50600"})"));
    EXPECT_EQ(R"({"result":{"code":"***"}})", mask_secrets(R"({"result":{"code":"x"}})"));
    // A quoted name that is not a member key stays as it is.
    EXPECT_EQ(R"(["code", "x"])", mask_secrets(R"(["code", "x"])"));
}

TEST(SecretMask, CutTextEndsCleanly) {
    EXPECT_EQ(R"({"secretkey":"***)", mask_secrets(R"({"secretkey":"unterminated)"));
    EXPECT_EQ(R"({"secretkey":"***)", mask_secrets(R"({"secretkey":"ends in backslash\)"));
    EXPECT_EQ("secretkey", mask_secrets("secretkey"));
}

}  // namespace
