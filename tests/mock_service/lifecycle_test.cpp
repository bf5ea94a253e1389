// Starting and stopping in-process: ports chosen by the OS, prompt stops even
// with live streams and delayed answers in flight.
#include <chrono>
#include <future>

#include "mock_test_support.h"

namespace rvmock_test {
namespace {

using Clock = std::chrono::steady_clock;

TEST(MockServiceLifecycle, TwoServicesGetTheirOwnPorts) {
    rvmock::Service a, b;
    ASSERT_TRUE(a.start());
    ASSERT_TRUE(b.start());
    EXPECT_NE(a.http_url(), b.http_url());
    EXPECT_NE(a.https_url(), b.https_url());
    EXPECT_EQ(a.http_url().rfind("http://127.0.0.1:", 0), 0u);
    EXPECT_EQ(a.https_url().rfind("https://127.0.0.1:", 0), 0u);
    EXPECT_EQ(fetch(a.http_url() + "/v2/category?" + common_block()).status, 200);
}

TEST(MockServiceLifecycle, StopEndsLiveStreamsAndDelayedAnswers) {
    rvmock::Service service;
    ASSERT_TRUE(service.start());
    // Encoded before: on a loaded machine the first encode outlasts the half second below.
    ASSERT_TRUE(service.prepare_media("/live/1001.aac"));
    rvmock::Fault slow;
    slow.delay_ms = 60000;
    service.set_fault("/v2/category", slow);
    std::string base = service.http_url();
    auto live = std::async(std::launch::async, [base] {
        Options long_wait;
        long_wait.timeout_ms = 30000;
        return fetch(base + "/live/1001.aac", long_wait);
    });
    auto delayed = std::async(std::launch::async, [base] {
        Options long_wait;
        long_wait.timeout_ms = 30000;
        return fetch(base + "/v2/category?" + common_block(), long_wait);
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(500));

    auto start = Clock::now();
    service.stop();
    auto stop_time = Clock::now() - start;
    Response stream = live.get();
    Response answer = delayed.get();
    EXPECT_LT(stop_time, std::chrono::seconds(5));
    EXPECT_NE(stream.code, CURLE_OPERATION_TIMEDOUT);
    EXPECT_GT(stream.body.size(), 0u);
    EXPECT_NE(answer.code, CURLE_OPERATION_TIMEDOUT);
    EXPECT_TRUE(answer.body.empty());
    service.stop();  // a second stop is harmless
}

TEST(MockServiceLifecycle, BadFixturesOrCertificatesRefuseToStart) {
    rvmock::Config no_fixtures;
    no_fixtures.fixtures_dir = "/nonexistent";
    EXPECT_FALSE(rvmock::Service(no_fixtures).start());
    rvmock::Config no_certs;
    no_certs.cert_dir = "/nonexistent";
    EXPECT_FALSE(rvmock::Service(no_certs).start());
}

}  // namespace
}  // namespace rvmock_test
