// Stopping the client: transfers hanging on a silent server are aborted at once, waiting
// requests are answered with 3 on the stopping thread, and every request that was
// accepted calls back exactly once.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "http/http_client.h"
#include "http/local_server.h"
#include "http/test_support.h"
#include "rv_config.h"
#include "rv_error.h"

namespace {

using rv::test::CallbackLog;
using rv::test::cert_file;
using rv::test::LocalServer;
using rv::test::Outcome;
using rv::test::SilentServer;

TEST(HttpShutdown, FinalAbortsHangingTransfersAndAnswersWaitingRequestsExactlyOnce) {
    SilentServer silent;
    rv_setCaFile(cert_file("ca.pem").c_str());
    ASSERT_EQ(RVE_OK, http_client_init());
    CallbackLog log;
    // One hanging transfer of each kind: plain GET, HTTPS handshake, redirect probe.
    ASSERT_EQ(RVE_OK,
              http_request_get(silent.url("/a").c_str(), &CallbackLog::callback, log.slot(0)));
    ASSERT_EQ(RVE_OK, https_request_get(silent.url("/b", true).c_str(), nullptr,
                                        &CallbackLog::callback, log.slot(1)));
    ASSERT_EQ(RVE_OK, https_request_get_redirect_uri(silent.url("/c").c_str(), nullptr,
                                                     &CallbackLog::callback, log.slot(2)));
    ASSERT_EQ(3u, silent.wait_accepted(3, 30));
    for (int i = 3; i < 33; ++i) {
        const std::string url = silent.url("/w" + std::to_string(i));
        const int rc =
            (i % 2 == 0)
                ? http_request_post(url.c_str(), "x=1", &CallbackLog::callback, log.slot(i))
                : http_request_get(url.c_str(), &CallbackLog::callback, log.slot(i));
        ASSERT_EQ(RVE_OK, rc) << i;
    }
    EXPECT_EQ(RVE_QUEUE_FULL,
              http_request_get(silent.url("/x").c_str(), &CallbackLog::callback, log.slot(99)));

    const auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(RVE_OK, http_client_final());
    const auto elapsed = std::chrono::steady_clock::now() - started;
    EXPECT_LT(elapsed, std::chrono::milliseconds(500));

    const auto outcomes = log.outcomes();
    ASSERT_EQ(33u, outcomes.size());
    std::vector<int> seen(33, 0);
    for (const Outcome &o : outcomes) {
        ASSERT_LT(o.id, 33) << "a refused request called back";
        ++seen[o.id];
        EXPECT_TRUE(o.null_data);
        if (o.id < 3) {
            EXPECT_EQ(RVE_FAILED, o.result) << o.id;
            EXPECT_NE(std::this_thread::get_id(), o.thread);
        } else {
            EXPECT_EQ(RVE_NOT_READY, o.result) << o.id;
            EXPECT_EQ(std::this_thread::get_id(), o.thread);
        }
    }
    for (int count : seen) {
        EXPECT_EQ(1, count);
    }
    EXPECT_EQ(3u, silent.wait_accepted(4, 0)) << "a waiting request was run";
    rv_setCaFile(nullptr);
}

// A name that takes 20 s to (not) resolve holds neither the stop nor its callback: the
// lookup is left to finish on its own.
TEST(HttpShutdown, FinalAbortsATransferWhoseNameDoesNotResolveAndItCallsBackOnce) {
    ASSERT_EQ(RVE_OK, http_client_init());
    CallbackLog log;
    ASSERT_EQ(RVE_OK, http_request_get("http://report.hang.test/c.gif?a=1", &CallbackLog::callback,
                                       log.slot(0)));
    ASSERT_EQ(RVE_OK, https_request_get("https://api.hang.test/v2/x", nullptr,
                                        &CallbackLog::callback, log.slot(1)));
    std::this_thread::sleep_for(std::chrono::milliseconds(300));  // both are resolving
    const auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(RVE_OK, http_client_final());
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(1));
    const auto outcomes = log.outcomes();
    ASSERT_EQ(2u, outcomes.size());
    EXPECT_NE(outcomes[0].id, outcomes[1].id);
    for (const Outcome &o : outcomes) {
        EXPECT_EQ(RVE_FAILED, o.result);
    }
}

// A callback that tries to queue a follow-up request while the client stops.
struct FollowUp {
    std::string url;
    std::atomic<int> follow_up_rc{-1};
    std::atomic<int> calls{0};
};

void follow_up_callback(int, const char *, size_t, void *user) {
    auto *f = static_cast<FollowUp *>(user);
    ++f->calls;
    f->follow_up_rc = http_request_get(f->url.c_str(), follow_up_callback, f);
}

TEST(HttpShutdown, FollowUpsQueuedFromCallbacksDuringFinalAreRefusedAndRequestsAfterwardsToo) {
    SilentServer silent;
    ASSERT_EQ(RVE_OK, http_client_init());
    FollowUp f;
    f.url = silent.url("/again");
    ASSERT_EQ(RVE_OK, http_request_get(silent.url("/first").c_str(), follow_up_callback, &f));
    ASSERT_EQ(1u, silent.wait_accepted(1, 30));
    EXPECT_EQ(RVE_OK, http_client_final());
    EXPECT_EQ(1, f.calls.load());
    EXPECT_EQ(RVE_NOT_READY, f.follow_up_rc.load());
    EXPECT_EQ(RVE_NOT_READY, http_request_get(f.url.c_str(), follow_up_callback, &f));
    EXPECT_EQ(1, f.calls.load());

    // The client starts again cleanly after an aborted shut-down.
    LocalServer server;
    ASSERT_EQ(RVE_OK, http_client_init());
    CallbackLog log;
    ASSERT_EQ(RVE_OK, http_request_get(server.url("/bytes/5").c_str(), &CallbackLog::callback,
                                       log.slot(0)));
    ASSERT_TRUE(log.wait_for(1));
    EXPECT_EQ(RVE_OK, log.outcomes().at(0).result);
    EXPECT_EQ(RVE_OK, http_client_final());
}

}  // namespace
