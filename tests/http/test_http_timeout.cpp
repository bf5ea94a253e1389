// A server that never answers makes a GET and a POST fail with 2 after the 20-second
// transfer limit instead of hanging the worker.
#include <gtest/gtest.h>

#include <chrono>

#include "http/http_client.h"
#include "http/local_server.h"
#include "http/test_support.h"
#include "rv_error.h"

namespace {

using rv::test::CallbackLog;
using rv::test::SilentServer;

TEST(HttpTimeout, SilentServerFailsGetAndPostAfterTheTransferLimit) {
    SilentServer silent;
    ASSERT_EQ(RVE_OK, http_client_init());
    CallbackLog log;
    const auto started = std::chrono::steady_clock::now();
    ASSERT_EQ(RVE_OK,
              http_request_get(silent.url("/g").c_str(), &CallbackLog::callback, log.slot(0)));
    ASSERT_EQ(RVE_OK, http_request_post(silent.url("/p").c_str(), "a=1", &CallbackLog::callback,
                                        log.slot(1)));
    ASSERT_EQ(RVE_OK, https_request_get_redirect_uri(silent.url("/r").c_str(), nullptr,
                                                     &CallbackLog::callback, log.slot(2)));
    ASSERT_TRUE(log.wait_for(3, 120));
    const auto elapsed = std::chrono::steady_clock::now() - started;
    EXPECT_GE(elapsed, std::chrono::seconds(HTTP_TASK_TIMEOUT_SECONDS - 1));
    for (const auto &o : log.outcomes()) {
        EXPECT_EQ(RVE_FAILED, o.result) << o.id;
    }
    EXPECT_EQ(RVE_OK, http_client_final());
}

}  // namespace
