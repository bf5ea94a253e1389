// Allocation-failure torture: for N = 1, 2, 3, ... the Nth allocation the SDK
// makes fails, over start-up, every public data request and a report, until a
// run needs fewer than N allocations. Every run must end in exactly one
// callback with a failure code (5 above all) and no data, or succeed when the
// failure was absorbed; ASan checks that nothing leaks or crashes.
#include <gtest/gtest.h>

#include <deque>
#include <map>
#include <set>
#include <string>
#include <utility>

#include "faults/request_table.h"
#include "request/mock_sdk_test.h"
#include "request/report_req.h"
#include "rv_sdk.h"
#include "support/failing_alloc.h"

namespace {

using rv::test::Catcher;
using rv::test::Delivery;
using rv::test::RequestRow;
using rv::test::Session;

// What a run may end in when an allocation failed: out of memory, the
// transfer failed (libcurl's allocation), or a request's strings could not be
// copied for its transfer (514).
const std::set<int> kFailureCodes{0x5, 0x2, 0x202};

class AllocTorture : public rv::test::MockSdkTest {
  protected:
    void TearDown() override {
        rv::test::stop_failing_allocations();
        for (const Catcher &c : catchers_) {
            EXPECT_EQ(c.calls(), 1);  // late second callbacks included
        }
        MockSdkTest::TearDown();
    }

    // Runs `fn(callback, user)` with the nth SDK allocation failing. False when
    // the run needed fewer than n allocations (and so succeeded whole).
    template <class Fn>
    bool run_failing(long n, Fn &&fn, void (*release)(void *)) {
        Catcher &c = catchers_.emplace_back();
        rv::test::fail_nth_sdk_allocation(n);
        fn(Catcher::callback, &c);
        Delivery d = c.wait();
        const bool failed = rv::test::nth_allocation_failed();
        rv::test::stop_failing_allocations();
        if (!failed) {
            EXPECT_EQ(d.code, 0) << "no allocation failed in run " << n;
        } else if (d.code != 0) {
            EXPECT_TRUE(kFailureCodes.count(d.code)) << "code " << d.code << " in run " << n;
            EXPECT_EQ(d.data, nullptr);
            EXPECT_EQ(d.count, 0);
            ++codes_[d.code];
        }
        if (d.code == 0 && d.data != nullptr) {
            release(d.data);
        }
        return failed;
    }

    // Every N from `first` in steps of `step` until a run completes; returns that N.
    template <class Fn>
    long torture(Fn &&run, long first = 1, long step = 1) {
        long n = first;
        while (run(n)) {
            n += step;
        }
        return n;
    }

    std::deque<Catcher> catchers_;
    std::map<int, int> codes_;  // failure code -> runs
};

void free_nothing(void *) {}

TEST_F(AllocTorture, StartUpWithAFreshDataDirectory) {
    const long runs = torture([&](long n) {
        rv_releaseSdk();
        rv::test::TempDir dir;
        rv_setServiceHosts(mock_.http_url().c_str(), mock_.https_url().c_str(),
                           mock_.http_url().c_str());
        return run_failing(
            n,
            [&](rv_result_callback cb, void *u) {
                rv_initSdk("rv-test-app", "rv-test-secret", "rv-channel", nullptr,
                           "com.example.radio", dir.path().c_str(), cb, u);
            },
            free_nothing);
    });
    EXPECT_GT(runs, 10);
    EXPECT_GT(codes_[5], 0);
}

// The request and report runs wait out the service and the outbox's back-off
// (2 and 4 s): each of three tests takes every third N, so that their CTest
// parts run side by side.
class AllocTortureThird : public AllocTorture, public ::testing::WithParamInterface<long> {
  protected:
    template <class Fn>
    long torture_third(Fn &&run) {
        return torture(std::forward<Fn>(run), 1 + GetParam(), 3);
    }
};

INSTANTIATE_TEST_SUITE_P(Thirds, AllocTortureThird, ::testing::Values(0L, 1L, 2L));

TEST_P(AllocTortureThird, EveryPublicDataRequest) {
    for (const RequestRow &row : rv::test::request_table()) {
        SCOPED_TRACE(row.path);
        const long runs = torture_third([&](long n) {
            const Session session =
                rv::test::prepare_session(row.needs, mock_.https_url() + "/oauth2/callback");
            return run_failing(
                n, [&](rv_result_callback cb, void *u) { row.call(session, cb, u); }, row.release);
        });
        EXPECT_GT(runs, 3);
    }
    EXPECT_GT(codes_[5], 0);
}

TEST_P(AllocTortureThird, AReportRecord) {
    dao_report *report = dao_report_new();
    ASSERT_NE(report, nullptr);
    report->eventcode = strdup("101010");
    report->audioid = strdup("3000000101");
    report->remarks1 = strdup("a value & more");
    const long runs = torture_third([&](long n) {
        return run_failing(
            n, [&](rv_result_callback cb, void *u) { send_report(report, cb, u); }, free_nothing);
    });
    dao_report_del(report);
    EXPECT_GT(runs, 3);
    EXPECT_GT(codes_[5], 0);
}

}  // namespace
