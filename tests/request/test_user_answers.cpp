// How the authorisation, user and search records are read from answers of
// every shape: scripted answers over a real socket.
#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "request/auth_req.h"
#include "request/history_req.h"
#include "request/report_req.h"
#include "request/scripted_server.h"
#include "request/sdk_fixture.h"
#include "request/search_req.h"
#include "request/subscribe_req.h"
#include "rv_config.h"
#include "rv_sdk.h"

namespace {

using rv::test::call;
using rv::test::Catcher;
using rv::test::Delivery;
using rv::test::ScriptedServer;

constexpr rv_result_callback cb = Catcher::callback;

class UserAnswers : public ::testing::Test {
  protected:
    void SetUp() override {
        server_.script("/v2/app/init", R"({"result":{"openid":"OPEN-1"}})");
        ASSERT_EQ(rv::test::start_sdk(server_.url(), dir_.path()), 0);
    }
    void TearDown() override { rv_releaseSdk(); }

    ScriptedServer server_;
    rv::test::TempDir dir_;
};

TEST_F(UserAnswers, SuggestedWordsAreTextsAndAnythingElseIsAnEmptyWord) {
    server_.script("/v2/resource/suggestionword", R"({"result":["north",7,{"w":1},"wind"]})");
    Delivery d = call([](Catcher *c) { request_search_suggest_word("n", 4, cb, c); });
    ASSERT_EQ(d.code, 0);
    ASSERT_EQ(d.count, 4);
    auto *words = static_cast<List *>(d.data);
    const char *want[] = {"north", "", "", "wind"};
    for (size_t i = 0; i < 4; i++) {
        EXPECT_STREQ(static_cast<dao_search_suggest_word *>(ListAt(words, i)->data)->word, want[i]);
    }
    ListFree(words);
}

TEST_F(UserAnswers, SearchHitsComeFromDataListWithExactKeys) {
    server_.script("/v2/resource/voice/searchall", R"({"result":{"total":3}})");
    Delivery d = call([](Catcher *c) { request_search_result("k", cb, c); });
    ASSERT_EQ(d.code, 0);
    EXPECT_EQ(d.count, 0);
    ASSERT_NE(d.data, nullptr);
    ListFree(static_cast<List *>(d.data));

    server_.script("/v2/resource/voice/searchall",
                   R"({"result":{"dataList":[{"id":5000000001,"oldId":4,"type":1,"Name":"x",
                       "name":"Hit","albumName":"A","sourceName":"S","playUrl":"p",
                       "duration":120,"isShowRed":1}, 3]}})");
    d = call([](Catcher *c) { request_search_result("k", cb, c); });
    ASSERT_EQ(d.code, 0);
    ASSERT_EQ(d.count, 1);
    auto *hits = static_cast<List *>(d.data);
    auto *hit = static_cast<dao_search_result *>(ListAt(hits, 0)->data);
    EXPECT_EQ(hit->id, 5000000001LL);
    EXPECT_EQ(hit->oldId, 4);
    EXPECT_EQ(hit->type, 1);
    EXPECT_STREQ(hit->name, "Hit");
    EXPECT_STREQ(hit->albumName, "A");
    EXPECT_STREQ(hit->sourceName, "S");
    EXPECT_STREQ(hit->img, "");
    EXPECT_EQ(hit->duration, 120);
    EXPECT_EQ(hit->isShowRed, 1);
    ListFree(hits);
}

TEST_F(UserAnswers, HistoryIdsAreReadAsTextsOnly) {
    server_.script("/v2/history/list", R"({"result":{"HAVENEXT":1,"currentpage":2,"dataList":[
        {"radioId":1100001,"audioId":"3000000102","playedTime":30,"timeStamp":1765190000123}]}})");
    Delivery d = call([](Catcher *c) { request_get_listen_history(cb, c); });
    ASSERT_EQ(d.code, 0);
    auto *history = static_cast<dao_history_set *>(d.data);
    EXPECT_EQ(history->haveNext, 1);
    EXPECT_EQ(history->currentPage, 2);
    ASSERT_EQ(ListLength(history->list), 1u);
    auto *entry = static_cast<dao_history *>(ListAt(history->list, 0)->data);
    EXPECT_STREQ(entry->radioId, "");  // a number where a text belongs
    EXPECT_STREQ(entry->audioId, "3000000102");
    EXPECT_EQ(entry->timeStamp, 1765190000123LL);
    dao_history_set_del(history);
}

TEST_F(UserAnswers, SubscriptionPageReadsPagingInAnyCaseAndItemsExactly) {
    server_.script("/v2/subscribe/list", R"({"result":{"SUMPAGE":3,"pageSize":2,"dataList":[
        {"type":11,"id":1001,"name":"FM","isOnline":1,"updateTime":1765190000123,"Desc":"no"}]}})");
    Delivery d = call([](Catcher *c) { request_subscribe_list(11, 1, 2, cb, c); });
    ASSERT_EQ(d.code, 0);
    auto *page = static_cast<dao_subscribe_set *>(d.data);
    EXPECT_EQ(page->sumPage, 3);
    EXPECT_EQ(page->pageSize, 2);
    ASSERT_EQ(ListLength(page->list), 1u);
    auto *sub = static_cast<dao_subscribe *>(ListAt(page->list, 0)->data);
    EXPECT_EQ(sub->type, 11);
    EXPECT_EQ(sub->id, 1001);
    EXPECT_EQ(sub->updateTime, 1765190000123LL);
    EXPECT_STREQ(sub->desc, "");
    dao_subscribe_set_del(page);
}

TEST_F(UserAnswers, StatusAnswersReadStatusInAnyCaseAndNeedAResult) {
    server_.script("/v2/issubscribe", R"({"result":{"STATUS":1}})");
    Delivery d = call([](Catcher *c) { request_subscribe_status(5, cb, c); });
    ASSERT_EQ(d.code, 0);
    EXPECT_EQ(static_cast<dao_subscribe_status *>(d.data)->status, 1);
    dao_subscribe_status_del(static_cast<dao_subscribe_status *>(d.data));

    server_.script("/v2/history/clear", R"({"status":1})");
    d = call([](Catcher *c) { request_clear_listen_history(cb, c); });
    EXPECT_EQ(d.code, 516);
    EXPECT_EQ(d.data, nullptr);
}

TEST_F(UserAnswers, AuthorisationRecordsAndTheirDefaults) {
    // The HTTPS endpoints of this server are its plain address.
    rv_setServiceHosts(nullptr, server_.url().c_str(), nullptr);
    server_.script("/v2/authuser/userinfo", R"({"result":{"avatar":"pic"}})");
    Delivery d = call([](Catcher *c) { request_auth_user_info("T", "U", cb, c); });
    ASSERT_EQ(d.code, 0);
    auto *user = static_cast<dao_auth_user_info *>(d.data);
    EXPECT_STREQ(user->nickname, "0");
    EXPECT_STREQ(user->avatar, "pic");
    dao_auth_user_info_del(user);

    server_.script("/v2/oauth2/refreshtoken",
                   R"({"result":{"access_token":"a","refresh_token":"r","open_uid":"u",
                       "scope":"s","expires_in":7200}})");
    d = call([](Catcher *c) { request_auth_access_token_refresh("R", "refresh_token", cb, c); });
    ASSERT_EQ(d.code, 0);
    auto *token = static_cast<dao_auth_access_token *>(d.data);
    EXPECT_STREQ(token->access_token, "a");
    EXPECT_STREQ(token->refresh_token, "r");
    EXPECT_STREQ(token->open_uid, "u");
    EXPECT_STREQ(token->scope, "s");
    EXPECT_EQ(token->expires_in, 7200);
    dao_auth_access_token_del(token);

    server_.script("/v2/oauth2/qrcheck", R"({"errcode":"40431","errmsg":"expired"})");
    d = call([](Catcher *c) { request_auth_qrcode_status("U", cb, c); });
    EXPECT_EQ(d.code, 0x30004);
    EXPECT_EQ(d.data, nullptr);
}

TEST(UserRequestsWithoutSdk, UserRequestsAndReportsGive512BeforeSending) {
    rv_releaseSdk();
    Delivery d = call([](Catcher *c) { request_authuser_get_listen_history(cb, c); });
    EXPECT_EQ(d.code, 512);
    EXPECT_EQ(d.thread, std::this_thread::get_id());
    d = call([](Catcher *c) { request_auth_qrcode_status("u", cb, c); });
    EXPECT_EQ(d.code, 512);

    rv::test::LogCapture log;
    dao_report *report = dao_report_new();
    d = call([report](Catcher *c) { send_report(report, cb, c); });
    dao_report_del(report);
    EXPECT_EQ(d.code, 512);
    EXPECT_EQ(log.count("send report failed: 0x00000200\n"), 1);
}

}  // namespace
