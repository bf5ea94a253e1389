// Start-up, identity and release against a scripted server over real sockets.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <regex>
#include <string>
#include <thread>

#include "request/scripted_server.h"
#include "request/sdk_fixture.h"
#include "rv_config.h"
#include "rv_data.h"
#include "rv_error.h"
#include "rv_sdk.h"

namespace {

using rv::test::App;
using rv::test::Catcher;
using rv::test::Delivery;
using rv::test::LogCapture;
using rv::test::ScriptedServer;
using rv::test::TempDir;

constexpr const char *kOpenid = R"({"result":{"openid":"OPEN-7"}})";

class SdkStartup : public ::testing::Test {
  protected:
    void TearDown() override { rv_releaseSdk(); }

    int start(const std::string &dir) { return rv::test::start_sdk(server_.url(), dir); }
    std::string identity() { return rv::test::read_file(dir_.file("openid.dat")); }

    ScriptedServer server_;
    TempDir dir_;
};

ino_t inode_of(const std::string &path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 ? st.st_ino : 0;
}

TEST_F(SdkStartup, FirstStartMakesADeviceIdAndWritesTheIdentityFile) {
    server_.script("/v2/app/init", kOpenid);
    EXPECT_EQ(mSdkInitOk, 0);
    ASSERT_EQ(start(dir_.path()), 0);
    EXPECT_EQ(mSdkInitOk, 1);
    std::smatch m;
    const std::string text = identity();
    ASSERT_TRUE(std::regex_match(text, m, std::regex("([0-9a-f]{32})&OPEN-7"))) << text;
    // The request blocks carry the same identity.
    EXPECT_NE(rv::test::common_block().find("openid=OPEN-7&deviceid=" + m[1].str() + "&"),
              std::string::npos);
}

TEST_F(SdkStartup, UnchangedOpenidLeavesTheFileUntouched) {
    server_.script("/v2/app/init", kOpenid);
    rv::test::write_file(dir_.file("openid.dat"), "dev-1&OPEN-7");
    const ino_t before = inode_of(dir_.file("openid.dat"));
    ASSERT_EQ(start(dir_.path()), 0);
    EXPECT_EQ(identity(), "dev-1&OPEN-7");
    EXPECT_EQ(inode_of(dir_.file("openid.dat")), before);  // not even rewritten in place
    EXPECT_NE(rv::test::common_block().find("deviceid=dev-1&"), std::string::npos);
}

TEST_F(SdkStartup, AnyDifferentStoredOpenidIsReplacedWhole) {
    server_.script("/v2/app/init", kOpenid);
    for (const char *stored : {"dev-2&OLD", "dev-2&OPEN", "dev-2&", "dev-2&OPEN-77"}) {
        rv::test::write_file(dir_.file("openid.dat"), stored);
        ASSERT_EQ(start(dir_.path()), 0) << stored;
        EXPECT_EQ(identity(), "dev-2&OPEN-7") << stored;
        rv_releaseSdk();
    }
}

TEST_F(SdkStartup, FileWithoutAmpersandOrDeviceIdGetsANewDeviceId) {
    server_.script("/v2/app/init", kOpenid);
    for (const char *stored : {"no separator here", "&OPEN-7"}) {
        rv::test::write_file(dir_.file("openid.dat"), stored);
        ASSERT_EQ(start(dir_.path()), 0) << stored;
        EXPECT_TRUE(std::regex_match(identity(), std::regex("[0-9a-f]{32}&OPEN-7"))) << stored;
        rv_releaseSdk();
    }
}

TEST_F(SdkStartup, FailedAppInitFallsBackToAppActive) {
    server_.script("/v2/app/init", R"({"errcode":"50600","errmsg":"busy"})");
    server_.script("/v2/app/active", kOpenid);
    LogCapture log;
    ASSERT_EQ(start(dir_.path()), 0);
    EXPECT_EQ(log.count("init app failed, rve = 0x00030001\n"), 1);
    auto active = server_.requests_to("/v2/app/active");
    ASSERT_EQ(active.size(), 1u);
    EXPECT_EQ(active[0].method, "POST");
    EXPECT_EQ(active[0].body, "");
    EXPECT_NE(active[0].target.find("&sign="), std::string::npos);
    EXPECT_TRUE(std::regex_match(identity(), std::regex("[0-9a-f]{32}&OPEN-7")));
}

TEST_F(SdkStartup, BothIdentityRequestsFailingLeavesTheSdkRefusingUntilRelease) {
    server_.script("/v2/app/init", R"({"errcode":"40100","errmsg":"bad sign"})");
    server_.script("/v2/app/active", R"({"errcode":"40431","errmsg":"unknown app"})");
    EXPECT_EQ(start(dir_.path()), 0x30004);
    EXPECT_EQ(mSdkInitOk, 0);
    EXPECT_FALSE(rv::test::read_file(dir_.file("openid.dat")).size() > 0);

    // A second start-up without release is refused and sends nothing.
    const size_t sent = server_.requests().size();
    EXPECT_EQ(start(dir_.path()), RVE_ALREADY_STARTED);
    EXPECT_EQ(server_.requests().size(), sent);

    rv_releaseSdk();
    server_.script("/v2/app/init", kOpenid);
    EXPECT_EQ(start(dir_.path()), 0);
}

TEST_F(SdkStartup, IdentityAnswerWithoutOpenidGives516) {
    server_.script("/v2/app/init", R"({"result":{"open":"x"}})");
    server_.script("/v2/app/active", R"({"result":{"openid":17}})");
    EXPECT_EQ(start(dir_.path()), 0x204);
    EXPECT_EQ(mSdkInitOk, 0);
}

TEST_F(SdkStartup, DataDirectoryIsCreatedWithItsParentsOrRefusedWith16) {
    server_.script("/v2/app/init", kOpenid);
    const std::string nested = dir_.path() + "/a/b/c";
    ASSERT_EQ(start(nested), 0);
    EXPECT_FALSE(rv::test::read_file(nested + "/openid.dat").empty());
    rv_releaseSdk();

    rv::test::write_file(dir_.file("plain"), "a file, not a directory");
    const size_t sent = server_.requests().size();
    rv_setServiceHosts(nullptr, "https://127.0.0.1:1", nullptr);
    Catcher c;
    rv_initSdk("a", "s", "c", nullptr, "p", dir_.file("plain/sub").c_str(), Catcher::callback, &c);
    ASSERT_EQ(c.calls(), 1);  // refused on the calling thread
    EXPECT_EQ(c.wait().code, 16);
    EXPECT_EQ(server_.requests().size(), sent);
    EXPECT_EQ(rv::test::common_block(), "<512>");  // nothing left behind
}

TEST_F(SdkStartup, NullDataDirectoryUsesTheWorkingDirectory) {
    server_.script("/v2/app/init", kOpenid);
    char *cwd = getcwd(nullptr, 0);
    ASSERT_EQ(chdir(dir_.path().c_str()), 0);
    rv_setServiceHosts(server_.url().c_str(), "https://127.0.0.1:1", nullptr);
    Catcher c;
    rv_initSdk("a", "s", "c", nullptr, "p", nullptr, Catcher::callback, &c);
    EXPECT_EQ(c.wait().code, 0);
    EXPECT_EQ(chdir(cwd), 0);
    free(cwd);
    EXPECT_TRUE(std::regex_match(identity(), std::regex("[0-9a-f]{32}&OPEN-7")));
}

// Paths beyond 255 characters and an identity beyond 1,023 are used whole.
TEST_F(SdkStartup, LongDirectoriesAndLongIdentitiesAreNeverCut) {
    std::string deep = dir_.path();
    for (int i = 0; i < 4; i++) {
        deep += "/" + std::string(90, static_cast<char>('a' + i));
    }
    ASSERT_GT(deep.size(), 360u);
    const std::string openid(1100, 'o');
    server_.script("/v2/app/init", R"({"result":{"openid":")" + openid + R"("}})");
    ASSERT_EQ(start(deep), 0);
    const std::string text = rv::test::read_file(deep + "/openid.dat");
    ASSERT_EQ(text.size(), 32 + 1 + openid.size());
    EXPECT_EQ(text.substr(33), openid);
    EXPECT_NE(rv::test::common_block().find("openid=" + openid + "&"), std::string::npos);
    rv_releaseSdk();

    // The working directory of that length serves as the data directory.
    char *cwd = getcwd(nullptr, 0);
    ASSERT_EQ(chdir(deep.c_str()), 0);
    rv_setServiceHosts(server_.url().c_str(), "https://127.0.0.1:1", nullptr);
    Catcher c;
    rv_initSdk("a", "s", "c", nullptr, "p", nullptr, Catcher::callback, &c);
    const int code = c.wait().code;
    EXPECT_EQ(chdir(cwd), 0);
    free(cwd);
    ASSERT_EQ(code, 0);
    EXPECT_EQ(std::string(sdk_info_get()->data_dir), deep);
    EXPECT_EQ(rv::test::read_file(deep + "/openid.dat"), text);  // read back, device id kept
}

TEST_F(SdkStartup, UnwritableIdentityFileGives521) {
    server_.script("/v2/app/init", kOpenid);
    ASSERT_EQ(mkdir(dir_.file("openid.dat").c_str(), 0700), 0);  // a directory cannot be replaced
    EXPECT_EQ(start(dir_.path()), 521);
    EXPECT_EQ(mSdkInitOk, 0);
}

TEST_F(SdkStartup, AFailedIdentityWriteKeepsTheOldIdentity) {
    server_.script("/v2/app/init", kOpenid);
    rv::test::write_file(dir_.file("openid.dat"), "dev-3&OLD");
    // Files may not grow past 8 bytes for a moment: the new identity cannot be written.
    struct rlimit saved {};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    struct rlimit small = saved;
    small.rlim_cur = 8;
    signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const int code = start(dir_.path());
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &saved), 0);
    EXPECT_EQ(code, 521);
    EXPECT_EQ(identity(), "dev-3&OLD");
    for (const auto &entry : std::filesystem::directory_iterator(dir_.path())) {
        // No temporary file left; the report outbox's lock and the download store's
        // folder are the only others.
        const auto name = entry.path().filename();
        EXPECT_TRUE(name == "openid.dat" || name == "report_outbox.lock" || name == "downloads")
            << entry.path();
    }
}

TEST_F(SdkStartup, ChecksRunInOrderArgumentsThenState) {
    Catcher before;
    rv_initSdk(nullptr, "s", "c", nullptr, "p", dir_.path().c_str(), Catcher::callback, &before);
    ASSERT_EQ(before.calls(), 1);
    EXPECT_EQ(before.wait().code, 4);
    // The secret's signature and the user's tokens never go to an HTTPS host in clear.
    // (What is no http(s) URL at all never gets that far: rv_setServiceHosts refuses it.)
    ASSERT_EQ(rv_setServiceHosts(server_.url().c_str(), "http://127.0.0.1:1", nullptr), 0);
    Catcher plain;
    rv_initSdk("a", "s", "c", nullptr, "p", dir_.path().c_str(), Catcher::callback, &plain);
    ASSERT_EQ(plain.calls(), 1);
    EXPECT_EQ(plain.wait().code, 4);
    EXPECT_TRUE(server_.requests().empty());

    server_.script("/v2/app/init", kOpenid);
    ASSERT_EQ(start(dir_.path()), 0);
    const std::string block = rv::test::common_block();
    for (int missing = 0; missing < 4; missing++) {
        const char *v[4] = {"a", "s", "c", "p"};
        v[missing] = nullptr;
        Catcher c;
        rv_initSdk(v[0], v[1], v[2], nullptr, v[3], dir_.path().c_str(), Catcher::callback, &c);
        ASSERT_EQ(c.calls(), 1);
        EXPECT_EQ(c.wait().code, 4) << missing;  // 4 even though the SDK is started
    }
    Catcher again;
    rv_initSdk("other", "s", "c", nullptr, "p", dir_.path().c_str(), Catcher::callback, &again);
    ASSERT_EQ(again.calls(), 1);
    EXPECT_EQ(again.wait().code, RVE_ALREADY_STARTED);
    EXPECT_EQ(rv::test::common_block(), block);  // nothing changed
}

TEST_F(SdkStartup, StartUpInFlightRefusesASecondOne) {
    server_.script("/v2/app/init", kOpenid, 400);
    rv_setServiceHosts(server_.url().c_str(), "https://127.0.0.1:1", nullptr);
    Catcher first, second;
    rv_initSdk("a", "s", "c", nullptr, "p", dir_.path().c_str(), Catcher::callback, &first);
    rv_initSdk("a", "s", "c", nullptr, "p", dir_.path().c_str(), Catcher::callback, &second);
    ASSERT_EQ(second.calls(), 1);
    EXPECT_EQ(second.wait().code, RVE_ALREADY_STARTED);
    EXPECT_EQ(first.wait().code, 0);
    EXPECT_EQ(first.calls(), 1);
    EXPECT_EQ(server_.requests_to("/v2/app/init").size(), 1u);
}

TEST_F(SdkStartup, ReleaseDuringStartUpReportsOnceAndLeavesTheSdkStopped) {
    server_.script("/v2/app/init", kOpenid, 300);
    server_.script("/v2/app/active", kOpenid, 300);
    rv_setServiceHosts(server_.url().c_str(), "https://127.0.0.1:1", nullptr);
    Catcher init;
    rv_initSdk("a", "s", "c", nullptr, "p", dir_.path().c_str(), Catcher::callback, &init);
    rv_releaseSdk();
    Delivery d = init.wait();
    EXPECT_NE(d.code, 0);
    EXPECT_EQ(init.calls(), 1);
    EXPECT_EQ(mSdkInitOk, 0);
    EXPECT_EQ(rv::test::common_block(), "<512>");
    // And it starts again cleanly.
    server_.script("/v2/app/init", kOpenid);
    EXPECT_EQ(start(dir_.path()), 0);
}

TEST_F(SdkStartup, ReleaseIsHarmlessWithoutAStartAndTwice) {
    rv_releaseSdk();
    rv_releaseSdk();
    EXPECT_EQ(mSdkInitOk, 0);
    EXPECT_EQ(rv_clearSdkAuthAccessInfo(), 0);
}

TEST_F(SdkStartup, DataFunctionsBeforeStartUpRefuseOnTheCallersThread) {
    LogCapture log;
    Catcher c;
    rv_getAllCategory(Catcher::callback, &c);
    ASSERT_EQ(c.calls(), 1);
    Delivery d = c.wait();
    EXPECT_EQ(d.code, 3);
    EXPECT_EQ(d.data, nullptr);
    EXPECT_EQ(d.thread, std::this_thread::get_id());
    EXPECT_EQ(log.count("sdk not inited\n"), 1);
    EXPECT_EQ(log.count("CALL API [rv_getAllCategory] \n"), 1);

    Catcher top;
    rv_getAlbumTopList(nullptr, 1, 10, Catcher::callback, &top);
    ASSERT_EQ(top.calls(), 1);
    EXPECT_EQ(top.wait().code, 4);        // arguments are checked before the state
    rv_getAllCategory(nullptr, nullptr);  // a null callback is accepted
}

TEST_F(SdkStartup, NullCallbackStillRunsAndItsRecordIsFreed) {
    server_.script("/v2/app/init", kOpenid);
    server_.script("/v2/album/detail", R"({"result":[{"id":1,"host":[{"name":"n"}]}]})");
    ASSERT_EQ(start(dir_.path()), 0);
    LogCapture log;
    rv_getAlbumInfo(1, nullptr, nullptr);
    EXPECT_TRUE(log.wait_for("get album info success\n"));
    rv_releaseSdk();  // joins the worker; LeakSanitizer checks the record was freed
    EXPECT_EQ(server_.requests_to("/v2/album/detail").size(), 1u);
}

}  // namespace
