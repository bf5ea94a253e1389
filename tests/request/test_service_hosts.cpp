// Where requests go: the environment when nothing is set, rv_setServiceHosts
// over it, null arguments keeping a host. Its own process: nothing else may
// have set the hosts before.
#include <gtest/gtest.h>

#include <cstdlib>

#include "request/album_req.h"
#include "request/scripted_server.h"
#include "request/sdk_fixture.h"
#include "rv_config.h"
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
    Catcher list;
    request_all_category(Catcher::callback, &list);
    EXPECT_EQ(list.wait().code, 0);
    EXPECT_EQ(from_call.requests_to("/v2/category").size(), 1u);
    EXPECT_EQ(from_env.requests_to("/v2/category").size(), 0u);
    ListFree(static_cast<List *>(list.wait().data));
    rv_releaseSdk();
    unsetenv("RV_OPEN_API_HTTP");
}

}  // namespace
