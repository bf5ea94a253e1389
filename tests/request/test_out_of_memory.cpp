// What the SDK reports when memory runs out: one allocation of the SDK's own
// is made to fail (support/failing_alloc.h), everything else runs for real.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <thread>

#include "http/http_client.h"
#include "request/broadcast_req.h"
#include "request/scripted_sdk.h"
#include "rv_broadcast.h"
#include "rv_data.h"
#include "rv_sdk.h"
#include "support/failing_alloc.h"
#include "util/util.h"

namespace {

using rv::test::Alloc;
using rv::test::call;
using rv::test::Catcher;
using rv::test::Delivery;

class OutOfMemory : public rv::test::ScriptedSdkTest {
  protected:
    void TearDown() override {
        rv::test::stop_failing_allocations();
        ScriptedSdkTest::TearDown();
    }

    // Runs `request` with the next SDK calloc of `bytes` made while the answer
    // is read failing (the request's own copies, made on this thread, may be
    // of any size); the failure must really have happened.
    template <class Fn>
    Delivery failing_calloc(size_t bytes, Fn &&request) {
        rv::test::fail_sdk_allocations(Alloc::Calloc, bytes, 1, rv::test::On::OtherThreads);
        Delivery d = call(request);
        EXPECT_EQ(rv::test::pending_failures(Alloc::Calloc), 0) << "nothing of that size allocated";
        rv::test::stop_failing_allocations();
        return d;
    }
};

TEST_F(OutOfMemory, AnUnallocatableRecordOrListGives5NotSuccessWithoutData) {
    server_.script("/v2/broadcast/detail", R"({"result":{"broadcastId":1}})");
    Delivery d = failing_calloc(sizeof(dao_broadcast_info), [](Catcher *c) {
        request_broadcast_info(1, Catcher::callback, c);
    });
    EXPECT_EQ(d.code, 5);
    EXPECT_EQ(d.data, nullptr);
    EXPECT_EQ(d.count, 0);

    server_.script("/v2/broadcast/arealist", R"({"result":[{"id":1}]})");
    d = failing_calloc(sizeof(List),
                       [](Catcher *c) { request_broadcast_area(Catcher::callback, c); });
    EXPECT_EQ(d.code, 5);
    EXPECT_EQ(d.data, nullptr);

    // The page record itself is made; its list is not: no page without a list.
    server_.script("/v2/broadcast/list", R"({"result":{"dataList":[{"broadcastId":1}]}})");
    d = failing_calloc(sizeof(List), [](Catcher *c) {
        request_broadcast_list(0, 0, 1, 10, 0, Catcher::callback, c);
    });
    EXPECT_EQ(d.code, 5);
    EXPECT_EQ(d.data, nullptr);

    // Without failures the same answers are delivered.
    d = call([](Catcher *c) { request_broadcast_list(0, 0, 1, 10, 0, Catcher::callback, c); });
    ASSERT_EQ(d.code, 0);
    EXPECT_EQ(ListLength(static_cast<dao_broadcast_set *>(d.data)->list), 1u);
    dao_broadcast_set_del(static_cast<dao_broadcast_set *>(d.data));
}

TEST_F(OutOfMemory, ARequestWhoseUrlCannotBeCopiedIsRefusedAtOnce) {
    const std::string url = server_.url() + "/v2/unique/path/of/odd/length?x=12345";
    rv::test::fail_sdk_allocations(Alloc::Calloc, url.size() + 1);
    EXPECT_EQ(http_request_get(
                  url.c_str(), [](int, const char *, size_t, void *) {}, nullptr),
              514);
    EXPECT_EQ(rv::test::pending_failures(Alloc::Calloc), 0);
    EXPECT_TRUE(server_.requests_to("/v2/unique/path/of/odd/length").empty());
}

TEST_F(OutOfMemory, CredentialsThatCannotBeCopiedGive5AndKeepTheOldOnes) {
    ASSERT_EQ(rv_cacheSdkAuthAccessInfo("old-token", "old-uid"), 0);
    rv::test::fail_sdk_allocations(Alloc::Strdup, strlen("new-token-of-13") + 1);
    EXPECT_EQ(rv_cacheSdkAuthAccessInfo("new-token-of-13", "new-uid"), 5);
    EXPECT_EQ(rv::test::pending_failures(Alloc::Strdup), 0);
    EXPECT_STREQ(acc_info_get()->access_token, "old-token");
    EXPECT_STREQ(acc_info_get()->open_uid, "old-uid");
}

TEST(OutOfMemoryFiles, AFileBufferThatCannotBeAllocatedGivesNoData) {
    rv::test::TempDir dir;
    const std::string path = dir.file("blob");
    rv::test::write_file(path, std::string(12345, 'x'));
    char *data = reinterpret_cast<char *>(&dir);  // must be overwritten
    rv::test::fail_sdk_allocations(Alloc::Calloc, 12346);
    EXPECT_EQ(read_data_from_file(path.c_str(), &data), 0);
    EXPECT_EQ(rv::test::pending_failures(Alloc::Calloc), 0);
    EXPECT_EQ(data, nullptr);
    rv::test::stop_failing_allocations();
    ASSERT_EQ(read_data_from_file(path.c_str(), &data), 1);
    EXPECT_EQ(strlen(data), 12345u);
    str_free(data);
}

}  // namespace
