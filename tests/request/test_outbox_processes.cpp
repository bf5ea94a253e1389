// Two SDK processes on one data directory (tests/request/outbox_process.cpp), the
// report host down and then up: the first owns the directory's log and sends its
// backlog, the second keeps its reports in a log of its own, never in the first's;
// what the second leaves when it ends is adopted by the next owner. Every report
// reaches the host exactly once.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "mock_service.h"
#include "request/report_store.h"
#include "request/sdk_fixture.h"
#include "rvcli/rvcli_process.h"

namespace {

using namespace std::chrono_literals;
using rv::req::ReportStore;
using Process = rvtest::RvcliProcess;  // runs RVCLI_PATH: here the outbox helper

std::vector<ReportStore::Record> kept_in(const std::string &path) {
    return ReportStore::read(rv::test::read_file(path)).kept;
}

// The kept reports of a log by radioid, once it holds `count` (written by the outbox's
// thread after the process said "sent"); what it holds after 30 s otherwise.
std::map<std::string, int> radioids_in(const std::string &path, size_t count) {
    const auto end = std::chrono::steady_clock::now() + 30s;
    while (kept_in(path).size() < count && std::chrono::steady_clock::now() < end) {
        std::this_thread::sleep_for(20ms);
    }
    std::map<std::string, int> found;
    for (const ReportStore::Record &record : kept_in(path)) {
        found[record.text.substr(0, record.text.find('&'))]++;
    }
    return found;
}

bool exists(const std::string &path) {
    return access(path.c_str(), F_OK) == 0;
}

TEST(OutboxProcesses, TwoProcessesOnOneDirectorySendEveryReportOnce) {
    rvmock::Service mock;
    ASSERT_TRUE(mock.start());
    rv::test::TempDir dir;
    const std::string own_log = dir.file("report_outbox.log");
    {
        // A backlog left by an earlier run: the owner's alone to send.
        ReportStore earlier;
        earlier.open(dir.path());
        for (uint64_t seq = 1; seq <= 3; seq++) {
            ASSERT_TRUE(earlier.add({seq, "radioid=old&audioid=" + std::to_string(seq) + "&"}));
        }
    }
    rvmock::Fault down;
    down.kind = rvmock::Fault::Kind::Drop;
    mock.set_fault("/c.gif", down);

    Process first({dir.path(), mock.http_url(), "first", "4"});
    ASSERT_TRUE(first.wait_for_output("sent\n", 30s)) << first.err();
    Process second({dir.path(), mock.http_url(), "second", "5"});
    ASSERT_TRUE(second.wait_for_output("sent\n", 30s)) << second.err();
    // Each log holds its own process's reports only.
    EXPECT_EQ(radioids_in(own_log, 7),
              (std::map<std::string, int>{{"radioid=old", 3}, {"radioid=first", 4}}));
    EXPECT_EQ(radioids_in(dir.file("report_outbox.1.log"), 5),
              (std::map<std::string, int>{{"radioid=second", 5}}));

    // The second ends while the host is down; the first delivers once it is up.
    second.send("quit\n");
    ASSERT_EQ(second.finish(30s), 0) << second.err();
    mock.clear_faults();
    first.send("drain\n");
    ASSERT_TRUE(first.wait_for_output("drained\n", 90s)) << first.err();
    first.send("quit\n");
    ASSERT_EQ(first.finish(30s), 0) << first.err();
    EXPECT_EQ(kept_in(dir.file("report_outbox.1.log")).size(), 5u) << "not the first's to send";

    // The next owner adopts the second's log.
    Process next({dir.path(), mock.http_url(), "next", "0"});
    ASSERT_TRUE(next.wait_for_output("sent\n", 30s)) << next.err();
    next.send("drain\nquit\n");
    ASSERT_EQ(next.finish(90s), 0) << next.err();

    std::map<std::string, int> arrived;
    for (const rvmock::Report &report : mock.reports()) {
        arrived[report.value("radioid") + "/" + report.value("audioid")]++;
    }
    std::map<std::string, int> expected;
    for (int i = 1; i <= 3; i++) {
        expected["old/" + std::to_string(i)] = 1;
    }
    for (int i = 0; i < 4; i++) {
        expected["first/" + std::to_string(i)] = 1;
    }
    for (int i = 0; i < 5; i++) {
        expected["second/" + std::to_string(i)] = 1;
    }
    EXPECT_EQ(arrived, expected);
    EXPECT_FALSE(exists(dir.file("report_outbox.1.log")));
    EXPECT_FALSE(exists(own_log));
}

}  // namespace
