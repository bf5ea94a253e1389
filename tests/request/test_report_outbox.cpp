// The report outbox against the local service's report host: reports made
// while the host is down are kept in the data directory, survive a release,
// and arrive once each, in order, signed, after the next start-up; a report
// the host refuses is dropped, not kept.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "mock_service.h"
#include "request/mock_sdk_test.h"
#include "request/report_outbox.h"
#include "request/report_req.h"
#include "request/sdk_fixture.h"
#include "rv_sdk.h"

namespace {

using namespace std::chrono_literals;

class ReportOutbox : public rv::test::MockSdkTest {
  protected:
    static void send(int64_t audio) {
        dao_report *report = dao_report_new();
        report->radioid = strdup("1100001");
        report->audioid = strdup(std::to_string(audio).c_str());
        report->playtime = strdup("3");
        report->eventcode = strdup("101010");
        send_report(report, nullptr, nullptr);
        dao_report_del(report);
    }

    static report_outbox_stats stats() {
        report_outbox_stats s{};
        report_outbox_stats_get(&s);
        return s;
    }

    // Waits up to `limit` for `done`.
    template <class Done>
    static bool wait_until(Done &&done, std::chrono::milliseconds limit = 20s) {
        const auto end = std::chrono::steady_clock::now() + limit;
        while (!done()) {
            if (std::chrono::steady_clock::now() > end) {
                return false;
            }
            std::this_thread::sleep_for(20ms);
        }
        return true;
    }

    std::string outbox_file() const { return rv::test::read_file(dir_.file("report_outbox.log")); }
};

TEST_F(ReportOutbox, ReportsKeptAtReleaseArriveOnceInOrderAfterTheNextStart) {
    rvmock::Fault down;
    down.kind = rvmock::Fault::Kind::Drop;
    mock_.set_fault("/c.gif", down);
    rv::test::LogCapture log;
    for (int64_t audio : {3000000101LL, 3000000102LL, 3000000103LL}) {
        send(audio);
    }
    ASSERT_TRUE(log.wait_for("send report failed: 0x00000002\n"));
    const auto start = std::chrono::steady_clock::now();
    rv_releaseSdk();
    EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);  // not held up by the outbox
    const std::string kept = outbox_file();
    EXPECT_NE(kept.find("audioid=3000000103"), std::string::npos) << kept;

    mock_.clear_faults();
    mock_.clear_reports();
    ASSERT_EQ(rv::test::start_sdk(mock_.http_url(), dir_.path()), 0);
    ASSERT_TRUE(wait_until([&] { return mock_.reports().size() >= 3 && stats().waiting == 0; }));
    std::this_thread::sleep_for(300ms);  // a fourth would be here by now
    const std::vector<rvmock::Report> reports = mock_.reports();
    ASSERT_EQ(reports.size(), 3u);
    for (size_t i = 0; i < reports.size(); i++) {
        EXPECT_TRUE(reports[i].signature_ok);
        EXPECT_EQ(reports[i].value("eventcode"), "101010");
        EXPECT_EQ(reports[i].value("radioid"), "1100001");
        EXPECT_EQ(reports[i].value("playtime"), "3");
        EXPECT_EQ(reports[i].value("audioid"),
                  std::to_string(3000000101LL + static_cast<int64_t>(i)));
    }
    EXPECT_EQ(stats().delivered, 3u);
    EXPECT_EQ(outbox_file(), "");  // delivered: nothing left to send again

    // Refused (4xx): dropped, not kept; transient (503): kept and sent after.
    rvmock::Fault refused;
    refused.kind = rvmock::Fault::Kind::Status;
    refused.status = 404;
    refused.times = 1;
    mock_.set_fault("/c.gif", refused);
    send(3000000104);
    ASSERT_TRUE(wait_until([&] { return stats().dropped == 1; }));
    rvmock::Fault busy = refused;
    busy.status = 503;
    mock_.set_fault("/c.gif", busy);
    send(3000000105);
    ASSERT_TRUE(wait_until([&] { return stats().delivered == 4; }));
    EXPECT_EQ(mock_.reports().back().value("audioid"), "3000000105");
    EXPECT_EQ(mock_.reports().size(), 4u);
}

// However long a Retry-After the report host asks for, the outbox waits no longer
// than its own backoff cap (5 minutes) before the next attempt.
TEST_F(ReportOutbox, RetryAfterIsCappedAtTheBackoffCap) {
    const struct {
        int retry_after;
        const char *line;
    } rows[] = {
        {7, "report kept, next attempt in 7000 ms: 0x00000002\n"},
        {86400000, "report kept, next attempt in 300000 ms: 0x00000002\n"},
        {2147483647, "report kept, next attempt in 300000 ms: 0x00000002\n"},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.retry_after);
        rv::test::LogCapture log;
        rvmock::Fault busy;
        busy.kind = rvmock::Fault::Kind::Status;
        busy.status = 503;
        busy.retry_after = row.retry_after;
        mock_.set_fault("/c.gif", busy);
        send(3000000201);
        EXPECT_TRUE(log.wait_for(row.line));
        // The next start-up begins afresh.
        rv_releaseSdk();
        mock_.clear_faults();
        ASSERT_EQ(rv::test::start_sdk(mock_.http_url(), dir_.path()), 0);
        ASSERT_TRUE(wait_until([&] { return stats().waiting == 0; }));
    }
}

}  // namespace
