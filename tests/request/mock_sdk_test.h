// A test with the local service running in-process and the SDK started
// against it: open API and reports over plain HTTP, the HTTPS endpoints over
// HTTPS verified with the service's CA. For suites that link rv_mock_service.
#ifndef RV_TESTS_REQUEST_MOCK_SDK_TEST_H
#define RV_TESTS_REQUEST_MOCK_SDK_TEST_H

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "mock_service.h"
#include "request/sdk_fixture.h"
#include "rv_config.h"
#include "rv_data.h"
#include "rv_sdk.h"

namespace rv::test {

class MockSdkTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(mock_.start());
        rv_setCaFile(mock_.ca_file().c_str());
        ASSERT_EQ(start_sdk(mock_.http_url(), dir_.path()), 0);
        rv_setServiceHosts(nullptr, mock_.https_url().c_str(), nullptr);
        block_ = common_block();
        mock_.clear_requests();
    }
    void TearDown() override {
        rv_clearSdkAuthAccessInfo();
        rv_releaseSdk();
        rv_setCaFile(nullptr);
    }

    // "METHOD scheme path?query" of every open-API request the service
    // received since the last look.
    std::vector<std::string> seen() {
        std::vector<std::string> out;
        for (const rvmock::Received &r : mock_.requests()) {
            out.push_back(r.method + " " + r.scheme + " " + r.path + "?" + r.query);
        }
        mock_.clear_requests();
        return out;
    }
    // The same, expecting exactly one request.
    std::string seen_one() {
        std::vector<std::string> all = seen();
        EXPECT_EQ(all.size(), 1u);
        return all.empty() ? "" : all[0];
    }

    rvmock::Service mock_;
    TempDir dir_;
    std::string block_;  // the common block the SDK sends now
};

}  // namespace rv::test

#endif
