// A started SDK whose hosts all point at a ScriptedServer: the fixture of the
// request tests that compare wire bytes and read scripted answers.
#ifndef RV_TESTS_REQUEST_SCRIPTED_SDK_H
#define RV_TESTS_REQUEST_SCRIPTED_SDK_H

#include <gtest/gtest.h>

#include <string>

#include "request/scripted_server.h"
#include "request/sdk_fixture.h"
#include "rv_config.h"
#include "rv_sdk.h"

namespace rv::test {

class ScriptedSdkTest : public ::testing::Test {
  protected:
    void SetUp() override {
        server_.script("/v2/app/init", R"({"result":{"openid":"OPEN-1"}})");
        ASSERT_EQ(start_sdk(server_.url(), dir_.path()), 0);
        block_ = common_block();
        server_.clear_requests();
    }
    void TearDown() override { rv_releaseSdk(); }

    // The one request the server saw for `path`.
    SeenRequest only(const std::string &path) {
        auto seen = server_.requests_to(path);
        EXPECT_EQ(seen.size(), 1u) << path;
        return seen.empty() ? SeenRequest{} : seen[0];
    }

    // Points the open-API host at a port where nothing listens any more.
    static void point_at_closed_port() {
        std::string closed;
        {
            ScriptedServer gone;
            closed = gone.url();
        }
        rv_setServiceHosts(closed.c_str(), nullptr, nullptr);
    }

    ScriptedServer server_;
    TempDir dir_;
    std::string block_;  // the common block every signed request ends with
};

}  // namespace rv::test

#endif
