// Signed URLs: MD5, form encoding and the common, access and search blocks,
// each compared byte for byte with text the test builds from the rules
// (MD5 from OpenSSL, not from the SDK).
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <random>
#include <string>

#include "request/helper_url.h"
#include "request/scripted_server.h"
#include "request/sdk_fixture.h"
#include "request/util_md5.h"
#include "request/util_url.h"
#include "rv_data.h"
#include "rv_sdk.h"

namespace {

using rv::test::openssl_md5_hex;

using rv::test::App;
using rv::test::ScriptedServer;
using rv::test::TempDir;

std::string sdk_md5_hex(const std::string &bytes) {
    MD5_CTX ctx;
    MD5Init(&ctx);
    // Fed in uneven slices so that the block carry-over is exercised.
    for (size_t i = 0; i < bytes.size(); i += 7) {
        size_t n = std::min<size_t>(7, bytes.size() - i);
        MD5Update(&ctx, reinterpret_cast<const unsigned char *>(bytes.data() + i),
                  static_cast<unsigned int>(n));
    }
    unsigned char digest[16];
    MD5Final(digest, &ctx);
    std::string hex;
    char two[3];
    for (unsigned char b : digest) {
        snprintf(two, sizeof two, "%02x", b);
        hex += two;
    }
    return hex;
}

std::string encode(const std::string &src, int dst_size = 1024) {
    std::string dst(static_cast<size_t>(dst_size) + 1, '\x7f');
    int n = util_url_encode(src.data(), static_cast<int32_t>(src.size()), dst.data(), dst_size);
    return n > 0 ? dst.substr(0, static_cast<size_t>(n)) : "<0>";
}

TEST(Md5, MatchesAnIndependentImplementationForEveryLengthAcrossBlockBoundaries) {
    std::mt19937 gen(7);
    for (size_t len = 0; len <= 200; len++) {
        std::string bytes(len, '\0');
        for (char &c : bytes) {
            c = static_cast<char>(gen());
        }
        ASSERT_EQ(sdk_md5_hex(bytes), openssl_md5_hex(bytes)) << "length " << len;
    }
    char out[33] = {0};
    _calc_signature("abc", out);
    EXPECT_STREQ(out, "900150983cd24fb0d6963f7d28e17f72");
}

TEST(UrlEncode, KeepsUnreservedTurnsSpaceToPlusAndEscapesTheRest) {
    EXPECT_EQ(encode("a b*Z~"), "a+b*Z%7E");
    EXPECT_EQ(encode("AZaz09*-._"), "AZaz09*-._");
    EXPECT_EQ(encode("/:?&=\"\xc3\xa9"), "%2F%3A%3F%26%3D%22%C3%A9");
    EXPECT_EQ(encode("abc", 3), "abc");
}

TEST(UrlEncode, RefusesBadArgumentsAndOutputThatDoesNotFit) {
    char dst[16];
    EXPECT_EQ(util_url_encode(nullptr, 3, dst, 15), 0);
    EXPECT_EQ(util_url_encode("abc", 0, dst, 15), 0);
    EXPECT_EQ(util_url_encode("abc", 3, nullptr, 15), 0);
    EXPECT_EQ(util_url_encode("abc", 3, dst, 0), 0);
    EXPECT_EQ(encode("ab/", 4), "<0>");   // the escape needs positions 2..4
    EXPECT_EQ(encode("abcd", 3), "<0>");  // no silent cut of plain characters either
}

// A started SDK with known values: the device id comes from a prepared
// openid.dat, the openid from the scripted app-init answer.
class SignedBlocks : public ::testing::Test {
  protected:
    void start(const App &app, const std::string &deviceid, const std::string &openid) {
        server_.script("/v2/app/init", R"({"result":{"openid":")" + openid + R"("}})");
        rv::test::write_file(dir_.file("openid.dat"), deviceid + "&" + openid);
        ASSERT_EQ(rv::test::start_sdk(server_.url(), dir_.path(), app), 0);
    }
    void TearDown() override { rv_releaseSdk(); }

    static std::string indexed(const std::string &text) {
        std::string out;
        int i = 0;
        for (char c : text) {
            out += c == '&' ? std::to_string(i++) : std::string(1, c);
        }
        return out;
    }

    ScriptedServer server_;
    TempDir dir_;
};

TEST_F(SignedBlocks, CommonBlockIsSignedInOneOrderAndSentInAnother) {
    start(App{"A", "S", "C", "P"}, "D", "O");
    const std::string sign =
        openssl_md5_hex("S0appid=A1deviceid=D2openid=O3os=linux4packagename=PS");
    EXPECT_EQ(rv::test::common_block(),
              "appid=A&openid=O&deviceid=D&os=linux&packagename=P&sign=" + sign + "&channel=C&");

    // The identity request went out before the openid was known: its piece
    // and its index vanish, the indices stay consecutive.
    auto init = server_.requests_to("/v2/app/init");
    ASSERT_EQ(init.size(), 1u);
    const std::string first_sign = openssl_md5_hex("S0appid=A1deviceid=D2os=linux3packagename=PS");
    EXPECT_EQ(init[0].target, "/v2/app/init?appid=A&deviceid=D&os=linux&packagename=P&sign=" +
                                  first_sign + "&channel=C&");
}

TEST_F(SignedBlocks, AnAbsentPackageNameStillLeavesItsAmpersand) {
    start(App{"A", "S", "C", "P"}, "D", "O");
    sdk_info *info = sdk_info_get();
    free(info->packagename);
    info->packagename = nullptr;
    const std::string sign = openssl_md5_hex("S0appid=A1deviceid=D2openid=O3os=linux4S");
    EXPECT_EQ(rv::test::common_block(),
              "appid=A&openid=O&deviceid=D&os=linux&&sign=" + sign + "&channel=C&");
}

TEST_F(SignedBlocks, AmpersandInsideAValueIsIndexedWhenSignedAndSentAsIs) {
    start(App{"A&B", "S", "C", "P"}, "D", "O");
    const std::string sign =
        openssl_md5_hex("S0appid=A1B2deviceid=D3openid=O4os=linux5packagename=PS");
    EXPECT_EQ(rv::test::common_block(),
              "appid=A&B&openid=O&deviceid=D&os=linux&packagename=P&sign=" + sign + "&channel=C&");
}

TEST_F(SignedBlocks, LongValuesAreNeverCutAndTheSignatureCoversThemWhole) {
    const std::string appid(300, 'a'), secret(200, 's'), package(700, 'p'), openid(150, 'o');
    const std::string deviceid(140, 'd');
    start(App{appid.c_str(), secret.c_str(), "C", package.c_str()}, deviceid, openid);
    const std::string pieces = "appid=" + appid + "&deviceid=" + deviceid + "&openid=" + openid +
                               "&os=linux&packagename=" + package;
    const std::string sign = openssl_md5_hex(indexed(secret + "&" + pieces) + secret);
    EXPECT_EQ(rv::test::common_block(),
              "appid=" + appid + "&openid=" + openid + "&deviceid=" + deviceid +
                  "&os=linux&packagename=" + package + "&sign=" + sign + "&channel=C&");
}

TEST_F(SignedBlocks, AccessBlockCarriesTheCachedCredentialsOnly) {
    start(App{}, "D", "O");
    auto access = [] {
        char *url = strdup("x?");
        int rc = url_set_access_params(&url);
        std::string text = rc == 0 ? url : "<" + std::to_string(rc) + ">";
        free(url);
        return text;
    };
    EXPECT_EQ(access(), "x?");
    EXPECT_EQ(rv_cacheSdkAuthAccessInfo("T1", "U1"), 0);
    EXPECT_EQ(rv_cacheSdkAuthAccessInfo("T2", "U2"), 0);  // replaces both
    EXPECT_EQ(access(), "x?open_uid=U2&access_token=T2&");
    EXPECT_EQ(rv_cacheSdkAuthAccessInfo(nullptr, "U3"), 4);
    EXPECT_EQ(rv_cacheSdkAuthAccessInfo("T3", nullptr), 4);
    EXPECT_EQ(access(), "x?open_uid=U2&access_token=T2&");
    EXPECT_EQ(rv_clearSdkAuthAccessInfo(), 0);
    EXPECT_EQ(access(), "x?");
}

TEST_F(SignedBlocks, SearchBlockSignsSecretAndDeviceAndEscapesTheKeywordInTheBody) {
    start(App{"A", "S", "C", "P"}, "D", "O");
    char *url = strdup("");
    ASSERT_EQ(url_set_search_params(&url, "he said \"hi\" \\ \n"), 0);
    // The keyword stays one JSON string: quote, backslash and control
    // characters escaped, then the whole body form-encoded.
    const std::string body =
        R"({"category":"","albumName":"","artist":"","audioName":"","field":2,"tag":1,)"
        R"("text":"he said \"hi\" \\ \u000a","keyword":"he said \"hi\" \\ \u000a"})";
    EXPECT_EQ(std::string(url),
              "deviceid=D&sign=" + openssl_md5_hex("SD") +
                  "&appid=A&voicesource=1&appsource=1&qualitytype=1&q=" + encode(body, 4096) + "&");
    EXPECT_NE(std::string(url).find("%5C%22hi%5C%22"), std::string::npos);
    free(url);
}

TEST_F(SignedBlocks, AccessBlockEncodesTheCredentialsItSends) {
    start(App{}, "D", "O");
    EXPECT_EQ(rv_cacheSdkAuthAccessInfo("t/k=1&x", "u 1"), 0);
    char *url = strdup("x?");
    ASSERT_EQ(url_set_access_params(&url), 0);
    EXPECT_STREQ(url, "x?open_uid=u+1&access_token=t%2Fk%3D1%26x&");
    free(url);
}

TEST(SignedBlocksWithoutSdk, BuildersGive512AndLeaveTheUrlAlone) {
    rv_releaseSdk();
    char *url = strdup("keep?");
    EXPECT_EQ(url_set_common_params(&url), 512);
    EXPECT_EQ(url_set_access_params(&url), 512);
    EXPECT_EQ(url_set_search_params(&url, "k"), 512);
    EXPECT_EQ(url_set_report_params(&url), 512);
    EXPECT_STREQ(url, "keep?");
    free(url);
    EXPECT_EQ(url_set_common_params(nullptr), 4);
    // Credentials offered before start-up are accepted and not kept.
    EXPECT_EQ(rv_cacheSdkAuthAccessInfo("T", "U"), 0);
}

}  // namespace
