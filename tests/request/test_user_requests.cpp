// The device-level subscription and history requests, search and play-event
// reports against the local service over real sockets: the exact path,
// method and query the service received, and the records built from its
// answers.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "mock_service.h"
#include "request/auth_req.h"
#include "request/fixture_files.h"
#include "request/history_req.h"
#include "request/mock_sdk_test.h"
#include "request/report_outbox.h"
#include "request/report_req.h"
#include "request/sdk_fixture.h"
#include "request/search_req.h"
#include "request/subscribe_req.h"
#include "rv_config.h"
#include "rv_data.h"
#include "rv_sdk.h"

namespace {

using rv::test::call;
using rv::test::Catcher;
using rv::test::Delivery;
using rv::test::fixture_album_name;

constexpr rv_result_callback cb = Catcher::callback;
constexpr int64_t kAlbum = 1100001;           // "Tales of the North Wind"
constexpr int64_t kSecondAudio = 3000000102;  // its "North Wind, part 2"

template <class T>
T *item(List *list, size_t i) {
    return static_cast<T *>(ListAt(list, i)->data);
}

class UserRequests : public rv::test::MockSdkTest {
  protected:
    template <class T>
    int32_t status_of(Delivery d, void (*del)(T *)) {
        EXPECT_EQ(d.code, 0);
        EXPECT_EQ(d.count, d.code == 0 ? 1 : 0);
        auto *record = static_cast<T *>(d.data);
        int32_t status = record != nullptr ? record->status : -1;
        del(record);
        return status;
    }
};

TEST_F(UserRequests, DeviceSubscriptionsGoOutAsPlainGetsAndFollowTheServicesState) {
    EXPECT_EQ(status_of(call([](Catcher *c) { request_subscribe_result(kAlbum, cb, c); }),
                        dao_subscribe_result_del),
              1);
    EXPECT_EQ(seen_one(), "GET http /v2/subscribe?id=1100001&" + block_);
    EXPECT_EQ(status_of(call([](Catcher *c) { request_subscribe_status(kAlbum, cb, c); }),
                        dao_subscribe_status_del),
              1);
    EXPECT_EQ(seen_one(), "GET http /v2/issubscribe?id=1100001&" + block_);

    Delivery d = call([](Catcher *c) { request_subscribe_list(0, 1, 20, cb, c); });
    EXPECT_EQ(seen_one(), "GET http /v2/subscribe/list?type=0&pagenum=1&pagesize=20&" + block_);
    ASSERT_EQ(d.code, 0);
    auto *page = static_cast<dao_subscribe_set *>(d.data);
    EXPECT_EQ(page->currentPage, 1);
    EXPECT_EQ(page->count, 1);
    ASSERT_EQ(ListLength(page->list), 1u);
    auto *sub = item<dao_subscribe>(page->list, 0);
    EXPECT_EQ(sub->id, kAlbum);
    EXPECT_EQ(sub->type, 0);
    EXPECT_EQ(sub->name, fixture_album_name(kAlbum));
    EXPECT_EQ(sub->img, mock_.http_url() + "/img/album-1100001.png");
    EXPECT_EQ(sub->countNum, 60);
    EXPECT_GT(sub->updateTime, 1700000000000LL);  // milliseconds survive 64 bits
    dao_subscribe_set_del(page);

    EXPECT_EQ(status_of(call([](Catcher *c) { request_unsubscribe_result(kAlbum, cb, c); }),
                        dao_unsubscribe_result_del),
              1);
    EXPECT_EQ(seen_one(), "GET http /v2/unsubscribe?id=1100001&" + block_);
    EXPECT_EQ(status_of(call([](Catcher *c) { request_subscribe_status(kAlbum, cb, c); }),
                        dao_subscribe_status_del),
              0);
}

TEST_F(UserRequests, DeviceHistoryIsSavedByPostListedAndCleared) {
    EXPECT_EQ(status_of(call([](Catcher *c) {
                            request_save_listen_history(kAlbum, kSecondAudio, 30, 300,
                                                        1765190000123LL, cb, c);
                        }),
                        dao_history_save_result_del),
              1);
    EXPECT_EQ(seen_one(),
              "POST http /v2/history/save?type=0&radioId=1100001&audioId=3000000102&"
              "playedTime=30&duration=300&timeStamp=1765190000123&" +
                  block_);

    Delivery d = call([](Catcher *c) { request_get_listen_history(cb, c); });
    EXPECT_EQ(seen_one(), "GET http /v2/history/list?&" + block_);
    ASSERT_EQ(d.code, 0);
    auto *history = static_cast<dao_history_set *>(d.data);
    EXPECT_EQ(history->currentPage, 1);
    ASSERT_EQ(ListLength(history->list), 1u);
    auto *entry = item<dao_history>(history->list, 0);
    EXPECT_STREQ(entry->radioId, "1100001");
    EXPECT_STREQ(entry->audioId, "3000000102");
    EXPECT_EQ(entry->radioTitle, fixture_album_name(kAlbum));
    EXPECT_STREQ(entry->audioTitle, "North Wind, part 2");
    EXPECT_EQ(entry->playUrl, mock_.http_url() + "/media/audio/3000000102/aac_64.aac");
    EXPECT_EQ(entry->playedTime, 30);
    EXPECT_EQ(entry->duration, 300);
    EXPECT_EQ(entry->timeStamp, 1765190000123LL);
    dao_history_set_del(history);

    EXPECT_EQ(status_of(call([](Catcher *c) { request_clear_listen_history(cb, c); }),
                        dao_history_clear_result_del),
              1);
    EXPECT_EQ(seen_one(), "GET http /v2/history/clear?&" + block_);
    d = call([](Catcher *c) { request_get_listen_history(cb, c); });
    ASSERT_EQ(d.code, 0);
    history = static_cast<dao_history_set *>(d.data);
    ASSERT_NE(history->list, nullptr);
    EXPECT_EQ(ListLength(history->list), 0u);
    dao_history_set_del(history);
}

TEST_F(UserRequests, UserVariantsCarryTheCachedCredentialsEncodedOrNone) {
    Delivery d = call([](Catcher *c) { request_authuser_subscribe(42, cb, c); });
    EXPECT_EQ(d.code, 0x30003);  // sent without a token, and refused for it
    EXPECT_EQ(d.data, nullptr);
    EXPECT_EQ(seen_one(), "POST https /v2/authuser/subscribe?id=42&" + block_);

    ASSERT_EQ(rv_cacheSdkAuthAccessInfo("t k", "u&1"), 0);
    d = call([](Catcher *c) { request_authuser_is_subscribe(42, cb, c); });
    EXPECT_EQ(d.code, 0x30003);
    EXPECT_EQ(
        seen_one(),
        "POST https /v2/authuser/issubscribe?id=42&open_uid=u%261&access_token=t+k&" + block_);
}

TEST_F(UserRequests, SuggestionWordIsOneParameterWhateverItHolds) {
    // Split into two parameters, "appid=x" would name an unknown application.
    Delivery d = call([](Catcher *c) { request_search_suggest_word("a&appid=x", 5, cb, c); });
    EXPECT_EQ(seen_one(),
              "GET http /v2/resource/suggestionword?word=a%26appid%3Dx&limit=5&" + block_);
    ASSERT_EQ(d.code, 0);
    EXPECT_EQ(d.count, 0);
    ListFree(static_cast<List *>(d.data));

    d = call([](Catcher *c) { request_search_suggest_word("north wind", 2, cb, c); });
    EXPECT_EQ(seen_one(), "GET http /v2/resource/suggestionword?word=north+wind&limit=2&" + block_);
    ASSERT_EQ(d.code, 0);
    ASSERT_EQ(d.count, 2);
    auto *words = static_cast<List *>(d.data);
    EXPECT_EQ(item<dao_search_suggest_word>(words, 0)->word, fixture_album_name(kAlbum));
    EXPECT_STREQ(item<dao_search_suggest_word>(words, 1)->word, "North Wind, part 1");
    ListFree(words);
}

TEST_F(UserRequests, SearchCarriesTheKeywordInItsBlockBeforeTheCommonBlock) {
    Delivery d = call([](Catcher *c) { request_search_result("sonata", Catcher::callback, c); });
    const std::string sent = seen_one();
    EXPECT_EQ(sent.rfind("GET http /v2/resource/voice/searchall?deviceid=", 0), 0u) << sent;
    EXPECT_EQ(sent.substr(sent.size() - block_.size()), block_);
    ASSERT_EQ(d.code, 0);
    auto *hits = static_cast<List *>(d.data);
    ASSERT_EQ(d.count, 4);  // the album and its three movements
    EXPECT_EQ(item<dao_search_result>(hits, 0)->type, 0);
    EXPECT_EQ(item<dao_search_result>(hits, 0)->id, 1100004);
    auto *movement = item<dao_search_result>(hits, 3);
    EXPECT_EQ(movement->type, 1);
    EXPECT_STREQ(movement->name, "Sonata movement 3");
    EXPECT_STREQ(movement->albumName, "Little Sine Sonatas");
    EXPECT_EQ(movement->playUrl, mock_.http_url() + "/media/audio/3000000403/aac_64.aac");
    ListFree(hits);
}

// Keys of a report in the order they arrived.
std::vector<std::string> keys_of(const rvmock::Report &report) {
    std::vector<std::string> keys;
    for (const auto &param : report.params) {
        keys.push_back(param.first);
    }
    return keys;
}

TEST_F(UserRequests, ReportArrivesWholeInTableOrderAndSigned) {
    std::string remarks;
    while (remarks.size() < 300) {
        remarks += "a b&c=d/七%";  // every kind of byte an encoder may trip on
    }
    remarks.resize(300);
    dao_report *report = dao_report_new();
    ASSERT_NE(report, nullptr);
    report->eventcode = strdup("101010");  // set before radioid: order comes from the record
    report->remarks2 = strdup(remarks.c_str());
    report->radioid = strdup("7");
    mock_.clear_reports();
    Delivery d = call([report](Catcher *c) { send_report(report, Catcher::callback, c); });
    dao_report_del(report);
    EXPECT_EQ(d.code, 0);
    EXPECT_EQ(d.data, nullptr);

    std::vector<rvmock::Report> reports = mock_.reports();
    ASSERT_EQ(reports.size(), 1u);
    const rvmock::Report &r = reports[0];
    EXPECT_TRUE(r.signature_ok);
    EXPECT_EQ(r.value("radioid"), "7");
    EXPECT_EQ(r.value("eventcode"), "101010");
    EXPECT_EQ(r.value("remarks2"), remarks);
    const std::vector<std::string> want{
        "appid",   "openid",      "sessionid", "timestamp", "network", "operator", "appversion",
        "channel", "os",          "osversion", "playid",    "appid",   "openid",   "deviceid",
        "os",      "packagename", "sign",      "channel",   "radioid", "remarks2", "eventcode"};
    EXPECT_EQ(keys_of(r), want);
    const sdk_info *info = sdk_info_get();
    EXPECT_EQ(r.value("sessionid"), std::string(info->openid) + info->init_time);
    EXPECT_EQ(r.value("playid"), "1");
    EXPECT_EQ(r.value("network"), "-1");
    // The event text closes the query, each value its own parameter.
    const std::string tail = "&eventcode=101010&";
    EXPECT_EQ(r.query.substr(r.query.size() - tail.size()), tail);
    EXPECT_NE(r.query.find("&channel=rv-channel&radioid=7&remarks2=a+b%26c%3Dd%2F%E4%B8%83%25"),
              std::string::npos);
}

TEST_F(UserRequests, ReportFailuresReachTheCallbackAndOneWarning) {
    Delivery d = call([](Catcher *c) { send_report(nullptr, Catcher::callback, c); });
    EXPECT_EQ(d.code, 4);
    EXPECT_EQ(d.thread, std::this_thread::get_id());

    rv_setServiceHosts(nullptr, nullptr, "http://127.0.0.1:1");
    dao_report *report = dao_report_new();
    report->eventcode = strdup("992000");
    rv::test::LogCapture log;
    d = call([report](Catcher *c) { send_report(report, Catcher::callback, c); });
    EXPECT_EQ(d.code, 2);
    send_report(report, nullptr, nullptr);  // the players pass no callback
    dao_report_del(report);                 // the record may go at once: the report holds a copy
    // Both are kept, the second behind the first: one warning for the first attempt.
    report_outbox_stats stats{};
    report_outbox_stats_get(&stats);
    EXPECT_EQ(stats.waiting, 2u);
    EXPECT_EQ(log.count("send report failed: 0x00000002\n"), 1);
    EXPECT_TRUE(mock_.reports().empty());
    rv_releaseSdk();  // the outbox's attempts end before the capture does
}

}  // namespace

namespace {

TEST(AuthorisationRequests, ALongSecretKeyIsSentWholeAndEncoded) {
    rvmock::Config config;
    config.secret = "s&" + std::string(200, 'k');
    rvmock::Service mock(config);
    ASSERT_TRUE(mock.start());
    rv::test::TempDir dir;
    rv::test::App app;
    app.secret = config.secret.c_str();
    rv_setCaFile(mock.ca_file().c_str());
    ASSERT_EQ(rv::test::start_sdk(mock.http_url(), dir.path(), app), 0);
    rv_setServiceHosts(nullptr, mock.https_url().c_str(), nullptr);
    const std::string block = rv::test::common_block();
    mock.clear_requests();
    // Refused for the made-up code; what counts here is what went out.
    Delivery d = call([](Catcher *c) {
        request_auth_access_token("c", "authorization_code", "https://x/cb", cb, c);
    });
    EXPECT_EQ(d.code, 0x30003);
    std::vector<rvmock::Received> seen = mock.requests();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].query,
              "code=c&grant_type=authorization_code&redirect_uri=https%3A%2F%2Fx%2Fcb&"
              "secretkey=s%26" +
                  std::string(200, 'k') + "&" + block);
    rv_releaseSdk();
    rv_setCaFile(nullptr);
}

}  // namespace
