// Data results through rv_getCallbackFd against the local service: every one
// on the loop's thread, refusals too, the last ones inside rv_releaseSdk, and
// none once it returned.
#include <gtest/gtest.h>
#include <poll.h>

#include <cerrno>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "mock_service.h"
#include "request/sdk_fixture.h"
#include "rv_broadcast.h"
#include "rv_config.h"
#include "rv_data.h"
#include "rv_dispatch.h"
#include "rv_error.h"
#include "rv_sdk.h"
#include "rv_search.h"

namespace {

struct Heard {
    std::string tag;
    int code;
    std::thread::id thread;
};
// Touched on the loop's thread only (the test's own).
std::vector<Heard> g_heard;

void record(int code, void *data, int, void *user) {
    g_heard.push_back({static_cast<const char *>(user), code, std::this_thread::get_id()});
    if (data != nullptr) {
        ListFree(static_cast<List *>(data));  // every call here answers with a bare List
    }
}
void *tag(const char *text) {
    return const_cast<char *>(text);
}

// Polls and runs callbacks until `count` have been heard (or 20 s passed).
void loop_until(int fd, size_t count) {
    for (int rounds = 0; g_heard.size() < count && rounds < 200; ++rounds) {
        pollfd p{fd, POLLIN, 0};
        if (poll(&p, 1, 100) > 0) {
            rv_runCallbacks();
        }
    }
}

TEST(Dispatcher, DataResultsRunOnTheLoopAndTheLastInsideRelease) {
    rvmock::Service mock;
    ASSERT_TRUE(mock.start());
    rv::test::TempDir dir;
    const int fd = rv_getCallbackFd();
    ASSERT_GE(fd, 0);
    EXPECT_EQ(rv_getCallbackFd(), fd);
    rv_setServiceHosts(mock.http_url().c_str(), mock.https_url().c_str(), mock.http_url().c_str());
    rv_setCaFile(mock.ca_file().c_str());
    rv_initSdk("rv-test-app", "rv-test-secret", "rv-channel", nullptr, "com.example.radio",
               dir.path().c_str(), record, tag("init"));
    loop_until(fd, 1);
    ASSERT_EQ(g_heard.size(), 1u);
    EXPECT_EQ(g_heard[0].code, RVE_OK);

    // Started: the dispatcher stays as it is.
    EXPECT_EQ(rv_setCallbackDispatcher(nullptr, nullptr), RVE_ALREADY_STARTED);
    errno = 0;
    EXPECT_EQ(rv_getCallbackFd(), -1);
    EXPECT_EQ(errno, EBUSY);

    // A refusal is queued like an answer, not made inside the call.
    rv_doSearch(nullptr, record, tag("refused"));
    EXPECT_EQ(g_heard.size(), 1u);
    rv_getAllCategory(record, tag("categories"));
    rv_getBroadcastCategory(record, tag("broadcast categories"));
    loop_until(fd, 4);
    ASSERT_EQ(g_heard.size(), 4u);
    EXPECT_EQ(g_heard[1].tag, "refused");
    EXPECT_EQ(g_heard[1].code, RVE_BAD_ARGS);
    for (const Heard &h : g_heard) {
        EXPECT_EQ(h.thread, std::this_thread::get_id()) << h.tag;
        EXPECT_EQ(h.code, h.tag == "refused" ? RVE_BAD_ARGS : RVE_OK) << h.tag;
    }

    // Queued (answered, or ended by the release) but not yet run when the SDK
    // is released: made inside rv_releaseSdk, once, and nothing afterwards.
    rv_getAllCategory(record, tag("late"));
    rv_releaseSdk();
    ASSERT_EQ(g_heard.size(), 5u);
    EXPECT_EQ(g_heard[4].tag, "late");
    EXPECT_EQ(g_heard[4].thread, std::this_thread::get_id());
    EXPECT_EQ(rv_runCallbacks(), 0);
    EXPECT_EQ(g_heard.size(), 5u);

    EXPECT_EQ(rv_setCallbackDispatcher(nullptr, nullptr), RVE_OK);
}

// A callback made inside rv_releaseSdk (it was still queued) is on the loop's
// thread, so it may release again or start the SDK afresh.
TEST(Dispatcher, ACallbackMadeInsideReleaseMayReleaseOrStartAgain) {
    rvmock::Service mock;
    ASSERT_TRUE(mock.start());
    rv::test::TempDir dir;
    const int fd = rv_getCallbackFd();
    ASSERT_GE(fd, 0);
    rv_setServiceHosts(mock.http_url().c_str(), mock.https_url().c_str(), mock.http_url().c_str());
    rv_setCaFile(mock.ca_file().c_str());
    static std::function<void()> s_inside;
    static std::string s_dir;
    s_dir = dir.path();
    const auto start = [] {
        rv_initSdk("rv-test-app", "rv-test-secret", "rv-channel", nullptr, "com.example.radio",
                   s_dir.c_str(), record, tag("init"));
    };
    struct Row {
        const char *name;
        std::function<void()> inside;
        size_t starts;  // start-ups heard in all
    };
    const Row rows[] = {{"release", [] { rv_releaseSdk(); }, 1}, {"start", start, 2}};
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        g_heard.clear();
        start();
        loop_until(fd, 1);
        ASSERT_EQ(g_heard.size(), 1u);
        ASSERT_EQ(g_heard[0].code, RVE_OK);
        s_inside = row.inside;
        rv_getAllCategory(
            [](int code, void *data, int count, void *user) {
                record(code, data, count, user);
                s_inside();
            },
            tag("late"));
        rv_releaseSdk();
        ASSERT_EQ(g_heard.size(), 2u);
        EXPECT_EQ(g_heard[1].tag, "late");
        loop_until(fd, row.starts + 1);
        size_t starts = 0;
        for (const Heard &h : g_heard) {
            starts += h.tag == "init" && h.code == RVE_OK;
        }
        EXPECT_EQ(starts, row.starts);
        rv_releaseSdk();
    }
    EXPECT_EQ(rv_setCallbackDispatcher(nullptr, nullptr), RVE_OK);
}

}  // namespace
