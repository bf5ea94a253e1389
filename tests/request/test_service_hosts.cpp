// Where requests go: the environment when nothing is set, rv_setServiceHosts
// over it, null arguments keeping a host, a value that is no http(s) URL refused,
// the setting kept across a release. Its own process: nothing else may have set
// the hosts before.
#include <gtest/gtest.h>

#include <cstdlib>

#include "request/album_req.h"
#include "request/scripted_server.h"
#include "request/sdk_fixture.h"
#include "rv_config.h"
#include "rv_error.h"
#include "rv_sdk.h"

namespace {

using rv::test::Catcher;
using rv::test::ScriptedServer;

TEST(ServiceHosts, EnvironmentFirstThenTheApplicationsSetting) {
    ScriptedServer from_env, from_call;
    for (ScriptedServer *s : {&from_env, &from_call}) {
        s->script("/v2/app/init", R"({"result":{"openid":"O"}})");
        s->script("/v2/category", R"({"result":[]})");
    }
    ASSERT_EQ(setenv("RV_OPEN_API_HTTP", (from_env.url() + "/").c_str(), 1), 0);
    rv::test::TempDir dir;
    Catcher init;
    rv_initSdk("a", "s", "c", nullptr, "p", dir.path().c_str(), Catcher::callback, &init);
    ASSERT_EQ(init.wait().code, 0);
    ASSERT_EQ(from_env.requests_to("/v2/app/init").size(), 1u);  // trailing "/" dropped

    EXPECT_EQ(rv_setServiceHosts(from_call.url().c_str(), nullptr, nullptr), 0);
    EXPECT_EQ(rv_setServiceHosts(nullptr, nullptr, nullptr), 0);  // keeps what was set
    // Anything but an http:// or https:// URL is refused, and with it the whole call.
    const std::string good = from_env.url();
    for (const char *bad :
         {"not a url", "file:///etc/passwd", "ftp://127.0.0.1:21", "http://", "127.0.0.1:8940",
          "http://127.0.0.1:1/?q=1", "http://127.0.0.1:1/#f", "http://user:pw@127.0.0.1:1", ""}) {
        EXPECT_EQ(rv_setServiceHosts(good.c_str(), nullptr, bad), RVE_BAD_ARGS) << bad;
        EXPECT_EQ(rv_setServiceHosts(bad, nullptr, nullptr), RVE_BAD_ARGS) << bad;
        EXPECT_EQ(rv_setServiceHosts(nullptr, bad, nullptr), RVE_BAD_ARGS) << bad;
    }
    EXPECT_EQ(rv_setServiceHosts(nullptr, "HTTPS://Example.ORG:8941/base/", nullptr), 0);
    Catcher list;
    request_all_category(Catcher::callback, &list);
    EXPECT_EQ(list.wait().code, 0);
    EXPECT_EQ(from_call.requests_to("/v2/category").size(), 1u);
    EXPECT_EQ(from_env.requests_to("/v2/category").size(), 0u);
    ListFree(static_cast<List *>(list.wait().data));
    rv_releaseSdk();
    unsetenv("RV_OPEN_API_HTTP");
    // What was set outlives the release: the next start goes there too.
    ASSERT_EQ(rv_setServiceHosts(nullptr, "https://127.0.0.1:1", nullptr), 0);
    Catcher again;
    rv_initSdk("a", "s", "c", nullptr, "p", dir.path().c_str(), Catcher::callback, &again);
    EXPECT_EQ(again.wait().code, 0);
    EXPECT_EQ(from_call.requests_to("/v2/app/init").size(), 1u);
    rv_releaseSdk();
}

}  // namespace
