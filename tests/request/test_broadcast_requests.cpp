// The broadcast, server-time, radio-label, smartcast and operate requests over
// a real socket: exact query bytes, and the records built from scripted
// answers of every shape the answers may take.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <thread>

#include "http/http_client.h"
#include "request/broadcast_req.h"
#include "request/inner_req.h"
#include "request/operate_req.h"
#include "request/scripted_sdk.h"
#include "request/smartcast_req.h"
#include "rv_broadcast.h"
#include "rv_config.h"
#include "rv_sdk.h"
#include "rv_smartcast.h"

namespace {

using rv::test::call;
using rv::test::Catcher;
using rv::test::Delivery;
using rv::test::ScriptedServer;

template <class T>
T *item(List *list, int index) {
    return static_cast<T *>(ListAt(list, index)->data);
}

class BroadcastRequests : public rv::test::ScriptedSdkTest {
  protected:
    // The one request the server saw for `path`, as "METHOD target"; forgets it.
    std::string seen(const std::string &path) {
        rv::test::SeenRequest request = only(path);
        server_.clear_requests();
        return request.method + " " + request.target;
    }

    // Scripts `body` for `path` and runs `request` to its one delivery.
    template <class Fn>
    Delivery answer(const std::string &path, const std::string &body, Fn &&request) {
        server_.script(path, body);
        return call(request);
    }
};

// The public functions (and the two requests without one) on the wire.
TEST_F(BroadcastRequests, QueriesAreSentExactlyAsTheEndpointFormatsSay) {
    auto cb = Catcher::callback;
    call([&](Catcher *c) { rv_getBroadcastCategory(cb, c); });
    EXPECT_EQ(seen("/v2/category/broadcast"), "GET /v2/category/broadcast?&" + block_);
    call([&](Catcher *c) { rv_getBroadcastArea(cb, c); });
    EXPECT_EQ(seen("/v2/broadcast/arealist"), "GET /v2/broadcast/arealist?" + block_);
    call([&](Catcher *c) { rv_getBroadcastDate(cb, c); });
    EXPECT_EQ(seen("/v2/broadcast/date"), "GET /v2/broadcast/date?" + block_);
    call([&](Catcher *c) { rv_getBroadcastList(1, 2, 3, 20, 11, cb, c); });
    EXPECT_EQ(seen("/v2/broadcast/list"),
              "GET /v2/broadcast/list?type=1&classifyid=2&pagenum=3&pagesize=20&area=11&" + block_);
    call([&](Catcher *c) { rv_getBroadcastInfo(5000000001LL, cb, c); });
    EXPECT_EQ(seen("/v2/broadcast/detail"),
              "GET /v2/broadcast/detail?broadcastid=5000000001&" + block_);
    call([&](Catcher *c) { rv_getBroadcastProgramList(1001, "2026-12-09", cb, c); });
    EXPECT_EQ(seen("/v2/broadcast/programlist"),
              "GET /v2/broadcast/programlist?bid=1001&date=2026-12-09&" + block_);
    call([&](Catcher *c) { rv_getBroadcastProgramInfo(10010000000123LL, cb, c); });
    EXPECT_EQ(seen("/v2/program/detail"),
              "GET /v2/program/detail?programid=10010000000123&" + block_);
    call([&](Catcher *c) { rv_getBroadcastCurrentProgram(1001, cb, c); });
    EXPECT_EQ(seen("/v2/broadcast/currentprogram"),
              "GET /v2/broadcast/currentprogram?broadcastid=1001&" + block_);
    call([&](Catcher *c) { rv_getCityBroadcastList(11, 2, 10, cb, c); });
    EXPECT_EQ(
        seen("/v2/broadcast/getCityBroadcast/list"),
        "GET /v2/broadcast/getCityBroadcast/list?citycode=11&pagenum=2&pagesize=10&" + block_);
    call([&](Catcher *c) { rv_getCityBroadcastTopList(cb, c); });
    EXPECT_EQ(seen("/v2/broadcast/getCityBroadcast/topList"),
              "GET /v2/broadcast/getCityBroadcast/topList?" + block_);
    call([&](Catcher *c) { request_radio_label_list(2, 5, cb, c); });
    EXPECT_EQ(seen("/v2/radioLable/list"),
              "GET /v2/radioLable/list?&pagenum=2&pagesize=5&" + block_);
    // Any JSON answer gives the time record, even this one's error envelope.
    dao_server_time_del(static_cast<dao_server_time *>(
        call([&](Catcher *c) { request_current_server_time(cb, c); }).data));
    EXPECT_EQ(seen("/v2/broadcast/date"), "GET /v2/broadcast/date?&");  // unsigned
    call([&](Catcher *c) { rv_getSmartcastCategory(cb, c); });
    EXPECT_EQ(seen("/v2/category/radio"), "GET /v2/category/radio?&" + block_);
    call([&](Catcher *c) { rv_getSmartcastList(500, cb, c); });
    EXPECT_EQ(seen("/v2/typeradio/list"), "GET /v2/typeradio/list?cid=500&" + block_);
    call([&](Catcher *c) { rv_getSmartcastInfo(6000000001LL, cb, c); });
    EXPECT_EQ(seen("/v2/radio/detail"), "GET /v2/radio/detail?rid=6000000001&" + block_);
    call([&](Catcher *c) { rv_getSmartcastAudioList(2100001, "clock-a_1.b", cb, c); });
    EXPECT_EQ(seen("/v2/radio/list"),
              "GET /v2/radio/list?rid=2100001&clockid=clock-a_1.b&" + block_);
    call([&](Catcher *c) { rv_getOperateList(1, 20, cb, c); });
    EXPECT_EQ(seen("/v2/operate"), "GET /v2/operate?pagenum=1&pagesize=20&lon=&lat=&" + block_);
}

TEST_F(BroadcastRequests, DateAndClockIdAreFormEncodedAndEmptyStaysEmpty) {
    auto cb = Catcher::callback;
    call([&](Catcher *c) { request_broadcast_program_list(7, "2026-12-09&bid=9 x", cb, c); });
    EXPECT_EQ(seen("/v2/broadcast/programlist"),
              "GET /v2/broadcast/programlist?bid=7&date=2026-12-09%26bid%3D9+x&" + block_);
    call([&](Catcher *c) { request_broadcast_program_list(7, "", cb, c); });
    EXPECT_EQ(seen("/v2/broadcast/programlist"),
              "GET /v2/broadcast/programlist?bid=7&date=&" + block_);
    call([&](Catcher *c) { request_smartcast_playlist(3, "c/1&rid=4", cb, c); });
    EXPECT_EQ(seen("/v2/radio/list"), "GET /v2/radio/list?rid=3&clockid=c%2F1%26rid%3D4&" + block_);
    call([&](Catcher *c) { request_smartcast_playlist(3, nullptr, cb, c); });
    EXPECT_EQ(seen("/v2/radio/list"), "GET /v2/radio/list?rid=3&clockid=&" + block_);
}

TEST_F(BroadcastRequests, CurrentProgrammeCarriesTheServerTimeAndProgrammeInfoNone) {
    const char *programme = R"({"programId":10010000000123,"BROADCASTID":1001,
        "nextProgramId":10010000000124,"preProgramId":10010000000122,
        "startTime":1765238400000,"finishTime":1765242000000,"status":1,"isSubscribe":1,
        "title":"Morning news","backLiveUrl":"","playUrl":"http://x/live/1001.aac",
        "comperes":"Eve","beginTime":"00:00:00","endTime":"01:00:00","desc":"d",
        "broadcastDesc":"bd","broadcastName":"Mock FM","broadcastImg":"img"})";
    auto current = [&](const std::string &extra) {
        return answer(
            "/v2/broadcast/currentprogram", std::string(R"({"result":)") + programme + extra + "}",
            [](Catcher *c) { request_broadcast_current_program(1001, Catcher::callback, c); });
    };
    Delivery d = current(R"(,"serverTime":"1765239000123")");
    ASSERT_EQ(d.code, 0);
    EXPECT_EQ(d.count, 1);
    auto *p = static_cast<dao_program *>(d.data);
    EXPECT_EQ(p->programId, 10010000000123LL);
    EXPECT_EQ(p->broadcastId, 1001);  // keys in any case
    EXPECT_EQ(p->nextProgramId, 10010000000124LL);
    EXPECT_EQ(p->preProgramId, 10010000000122LL);
    EXPECT_EQ(p->startTime, 1765238400000LL);
    EXPECT_EQ(p->finishTime, 1765242000000LL);
    EXPECT_EQ(p->status, 1);
    EXPECT_EQ(p->isSubscribe, 1);
    EXPECT_STREQ(p->title, "Morning news");
    EXPECT_STREQ(p->playUrl, "http://x/live/1001.aac");
    EXPECT_STREQ(p->comperes, "Eve");
    EXPECT_STREQ(p->endTime, "01:00:00");
    EXPECT_STREQ(p->broadcastDesc, "bd");
    EXPECT_STREQ(p->broadcastImg, "img");
    EXPECT_STREQ(p->serverTime, "1765239000123");
    dao_program_del(p);

    for (const char *extra : {"", R"(,"serverTime":1765239000123)"}) {
        d = current(extra);
        ASSERT_EQ(d.code, 0) << extra;
        p = static_cast<dao_program *>(d.data);
        EXPECT_STREQ(p->serverTime, "") << extra;  // absent or not a text
        dao_program_del(p);
    }

    d = answer("/v2/program/detail",
               std::string(R"({"serverTime":"1","result":)") + programme + "}",
               [](Catcher *c) { request_broadcast_program_info(1, Catcher::callback, c); });
    ASSERT_EQ(d.code, 0);
    p = static_cast<dao_program *>(d.data);
    EXPECT_STREQ(p->title, "Morning news");
    EXPECT_EQ(p->serverTime, nullptr);
    dao_program_del(p);
}

TEST_F(BroadcastRequests, ServerTimeIgnoresTheEnvelopeButNeedsJson) {
    auto time_for = [&](const char *body) {
        return answer("/v2/broadcast/date", body,
                      [](Catcher *c) { request_current_server_time(Catcher::callback, c); });
    };
    Delivery d = time_for(R"({"errcode":"40000","errmsg":"x","serverTime":"1765239000123"})");
    ASSERT_EQ(d.code, 0);
    EXPECT_EQ(d.count, 1);
    EXPECT_STREQ(static_cast<dao_server_time *>(d.data)->serverTime, "1765239000123");
    dao_server_time_del(static_cast<dao_server_time *>(d.data));

    rv::test::LogCapture log;
    d = time_for(R"({"result":{}})");
    ASSERT_EQ(d.code, 0);
    EXPECT_STREQ(static_cast<dao_server_time *>(d.data)->serverTime, "");
    EXPECT_EQ(log.count("convert cjson data [serverTime] invalid, use default value! \n"), 1);
    dao_server_time_del(static_cast<dao_server_time *>(d.data));

    d = time_for("not json");
    EXPECT_EQ(d.code, 0x204);
    EXPECT_EQ(d.data, nullptr);
}

TEST_F(BroadcastRequests, ServerTimeNeedsNoSdkRecords) {
    rv_releaseSdk();
    ASSERT_EQ(sdk_info_get(), nullptr);
    ASSERT_EQ(http_client_init(), 0);  // the transport alone
    rv_setServiceHosts(server_.url().c_str(), nullptr, nullptr);
    server_.script("/v2/broadcast/date", R"({"serverTime":"42"})");
    Delivery d = call([](Catcher *c) { request_current_server_time(Catcher::callback, c); });
    EXPECT_EQ(d.code, 0);
    ASSERT_NE(d.data, nullptr);
    EXPECT_STREQ(static_cast<dao_server_time *>(d.data)->serverTime, "42");
    dao_server_time_del(static_cast<dao_server_time *>(d.data));
    d = call([](Catcher *c) { request_broadcast_date(Catcher::callback, c); });
    EXPECT_EQ(d.code, 512);  // every signed request needs them
    http_client_final();
}

TEST_F(BroadcastRequests, CityListsAreNeverReadButTransportFailuresArePassedOn) {
    for (const char *body : {R"({"result":{"dataList":[{"name":"x"}]}})", "garbage",
                             R"({"errcode":"50600","errmsg":"x"})"}) {
        Delivery d = answer("/v2/broadcast/getCityBroadcast/list", body, [](Catcher *c) {
            request_city_broadcast_list(11, 1, 10, Catcher::callback, c);
        });
        EXPECT_EQ(d.code, 0) << body;
        EXPECT_EQ(d.data, nullptr);
        EXPECT_EQ(d.count, 0);
    }
    point_at_closed_port();
    Delivery d = call([](Catcher *c) { request_city_broadcast_top_list(Catcher::callback, c); });
    EXPECT_EQ(d.code, 2);
    EXPECT_EQ(d.data, nullptr);
}

TEST_F(BroadcastRequests, ListsOfCategoriesAreasAndDates) {
    Delivery d = answer("/v2/category/broadcast",
                        R"({"result":[{"ID":1,"Type":2,"name":"N","img":"i"},{"id":3}]})",
                        [](Catcher *c) { request_broadcast_category(Catcher::callback, c); });
    ASSERT_EQ(d.code, 0);
    ASSERT_EQ(d.count, 2);
    auto *list = static_cast<List *>(d.data);
    EXPECT_EQ(item<dao_broadcast_category>(list, 0)->id, 1);
    EXPECT_EQ(item<dao_broadcast_category>(list, 0)->type, 2);
    EXPECT_STREQ(item<dao_broadcast_category>(list, 0)->img, "i");
    EXPECT_STREQ(item<dao_broadcast_category>(list, 1)->name, "");
    ListFree(list);

    d = answer("/v2/broadcast/arealist", R"({"result":[{"Id":11,"NAME":"Capital"}]})",
               [](Catcher *c) { request_broadcast_area(Catcher::callback, c); });
    ASSERT_EQ(d.count, 1);
    list = static_cast<List *>(d.data);
    EXPECT_EQ(item<dao_broadcast_area>(list, 0)->id, 11);
    EXPECT_STREQ(item<dao_broadcast_area>(list, 0)->name, "Capital");
    ListFree(list);

    d = answer("/v2/broadcast/date",
               R"({"result":{"dataList":[{"weekDay":"Mon","dateTime":"2026-12-07",
                   "time":"1765065600000"},{"WEEKDAY":"Tue"}]}})",
               [](Catcher *c) { request_broadcast_date(Catcher::callback, c); });
    ASSERT_EQ(d.code, 0);
    ASSERT_EQ(d.count, 2);
    list = static_cast<List *>(d.data);
    EXPECT_STREQ(item<dao_broadcast_date>(list, 0)->weekDay, "Mon");
    EXPECT_STREQ(item<dao_broadcast_date>(list, 0)->dateTime, "2026-12-07");
    EXPECT_STREQ(item<dao_broadcast_date>(list, 0)->time, "1765065600000");
    EXPECT_STREQ(item<dao_broadcast_date>(list, 1)->weekDay, "");  // keys exact
    ListFree(list);

    for (const char *body : {R"({"result":{}})", R"({"result":[1,2]})"}) {
        d = answer("/v2/broadcast/date", body,
                   [](Catcher *c) { request_broadcast_date(Catcher::callback, c); });
        ASSERT_EQ(d.code, 0) << body;
        EXPECT_EQ(d.count, 0);
        ASSERT_NE(d.data, nullptr);
        ListFree(static_cast<List *>(d.data));
    }
}

TEST_F(BroadcastRequests, BroadcastPageAndDetails) {
    Delivery d =
        answer("/v2/broadcast/list", R"({"result":{"haveNext":1,"count":4,"dataList":[
        {"broadcastId":5000000001,"status":1,"onLineNum":2,"likedNum":3,"isSubscribe":1,
         "name":"FM","img":"i","currentProgramTitle":"News","playUrl":"u"},
        {"BroadcastId":2}]}})",
               [](Catcher *c) { request_broadcast_list(0, 0, 1, 10, 0, Catcher::callback, c); });
    ASSERT_EQ(d.code, 0);
    auto *set = static_cast<dao_broadcast_set *>(d.data);
    EXPECT_EQ(set->haveNext, 1);
    EXPECT_EQ(set->count, 4);
    ASSERT_EQ(ListLength(set->list), 2u);
    auto *b = item<dao_broadcast>(set->list, 0);
    EXPECT_EQ(b->broadcastId, 5000000001LL);
    EXPECT_EQ(b->likedNum, 3);
    EXPECT_EQ(b->isSubscribe, 1);
    EXPECT_STREQ(b->currentProgramTitle, "News");
    EXPECT_STREQ(b->playUrl, "u");
    EXPECT_EQ(item<dao_broadcast>(set->list, 1)->broadcastId, 0);  // keys exact
    dao_broadcast_set_del(set);

    d = answer("/v2/broadcast/detail", R"({"result":{"broadcastId":1001,"status":1,
        "onLineNum":5,"likedNum":6,"isSubscribe":0,"roomId":9001,"classifyId":3,"name":"FM",
        "img":"i","classifyName":"National","playUrl":"u","RoomId":1}})",
               [](Catcher *c) { request_broadcast_info(1001, Catcher::callback, c); });
    ASSERT_EQ(d.code, 0);
    EXPECT_EQ(d.count, 1);
    auto *info = static_cast<dao_broadcast_info *>(d.data);
    EXPECT_EQ(info->broadcastId, 1001);
    EXPECT_EQ(info->onLineNum, 5);
    EXPECT_EQ(info->roomId, 9001);
    EXPECT_EQ(info->classifyId, 3);
    EXPECT_STREQ(info->classifyName, "National");
    EXPECT_STREQ(info->playUrl, "u");
    dao_broadcast_info_del(info);
}

TEST_F(BroadcastRequests, RadioLabelsAlwaysHaveAnAudioList) {
    Delivery d = answer("/v2/radioLable/list", R"({"result":{"currentPage":1,"dataList":[
        {"rid":5000000007,"rtype":3,"rname":"Morning","rvalue":"2100001","image":"i","desc":"d",
         "updateTime":"2026-12-01 08:00:00","cornerMark":1,"optType":2,"isOpt":1,"index":4,
         "isMusic":1,"audios":[{"audioName":"a1","audioId":3000000401,"clockId":"label-1"},
                               {"audioName":"a2"}]},
        {"rid":2},
        {"rid":3,"audios":{"audioName":"not in an array"}}]}})",
                        [](Catcher *c) { request_radio_label_list(1, 10, Catcher::callback, c); });
    ASSERT_EQ(d.code, 0);
    auto *set = static_cast<dao_radio_label_set *>(d.data);
    EXPECT_EQ(set->currentPage, 1);
    ASSERT_EQ(ListLength(set->list), 3u);
    auto *label = item<dao_radio_label>(set->list, 0);
    EXPECT_EQ(label->rid, 5000000007LL);
    EXPECT_EQ(label->rtype, 3);
    EXPECT_STREQ(label->rname, "Morning");
    EXPECT_STREQ(label->updateTime, "2026-12-01 08:00:00");
    EXPECT_EQ(label->cornerMark, 1);
    EXPECT_EQ(label->optType, 2);
    EXPECT_EQ(label->isOpt, 1);
    EXPECT_EQ(label->index, 4);
    EXPECT_EQ(label->isMusic, 1);
    ASSERT_EQ(ListLength(label->audios), 2u);
    EXPECT_EQ(item<dao_audio>(label->audios, 0)->audioId, 3000000401LL);
    EXPECT_STREQ(item<dao_audio>(label->audios, 0)->clockId, "label-1");
    EXPECT_STREQ(item<dao_audio>(label->audios, 1)->clockId, "");
    for (int i : {1, 2}) {  // no "audios", or an object in its place: an empty list
        label = item<dao_radio_label>(set->list, i);
        ASSERT_NE(label->audios, nullptr) << i;
        EXPECT_EQ(ListLength(label->audios), 0u) << i;
    }
    dao_radio_label_set_del(set);
}

TEST_F(BroadcastRequests, SmartcastRecordsAndClockIds) {
    Delivery d = answer("/v2/typeradio/list", R"({"result":[{"ID":6000000001,"TYPE":3,
        "followednum":8,"isOnline":1,"listenNum":9,"commentNum":2,"isSubscribe":1,"name":"Calm",
        "img":"i","desc":"d"}]})",
                        [](Catcher *c) { request_smartcast_list(500, Catcher::callback, c); });
    ASSERT_EQ(d.code, 0);
    ASSERT_EQ(d.count, 1);
    auto *list = static_cast<List *>(d.data);
    auto *s = item<dao_smartcast>(list, 0);
    EXPECT_EQ(s->id, 6000000001LL);  // keys in any case
    EXPECT_EQ(s->type, 3);
    EXPECT_EQ(s->followedNum, 8);
    EXPECT_EQ(s->listenNum, 9);
    EXPECT_EQ(s->isSubscribe, 1);
    EXPECT_STREQ(s->desc, "d");
    ListFree(list);

    d = answer("/v2/radio/list", R"({"result":[{"audioName":"a","audioId":3000000401,
        "albumId":1100001,"duration":3000,"clockId":"clock-a"},{"audioId":2}]})",
               [](Catcher *c) { request_smartcast_playlist(1, "", Catcher::callback, c); });
    ASSERT_EQ(d.code, 0);
    ASSERT_EQ(d.count, 2);
    list = static_cast<List *>(d.data);
    EXPECT_EQ(item<dao_audio>(list, 0)->audioId, 3000000401LL);
    EXPECT_EQ(item<dao_audio>(list, 0)->duration, 3000);
    EXPECT_STREQ(item<dao_audio>(list, 0)->clockId, "clock-a");
    EXPECT_STREQ(item<dao_audio>(list, 1)->clockId, "");
    ListFree(list);

    d = answer("/v2/radio/list", R"({"result":[]})",
               [](Catcher *c) { request_smartcast_playlist(1, "x", Catcher::callback, c); });
    ASSERT_EQ(d.code, 0);
    EXPECT_EQ(d.count, 0);
    EXPECT_EQ(ListLength(static_cast<List *>(d.data)), 0u);
    ListFree(static_cast<List *>(d.data));
}

TEST_F(BroadcastRequests, OperateItemsKeep64BitIdsAndExactKeys) {
    Delivery d = answer("/v2/operate", R"({"result":{"pageSize":20,"dataList":[
        {"rid":5000000001,"listenNum":6000000000,"rtype":11,"cornerMark":2,"image":"i",
         "rname":"FM","rvalue":"1001"},{"RID":7,"rname":"capital"}]}})",
                        [](Catcher *c) { request_operate_list(1, 20, Catcher::callback, c); });
    ASSERT_EQ(d.code, 0);
    auto *set = static_cast<dao_operate_set *>(d.data);
    EXPECT_EQ(set->pageSize, 20);
    ASSERT_EQ(ListLength(set->list), 2u);
    auto *o = item<dao_operate>(set->list, 0);
    EXPECT_EQ(o->rid, 5000000001LL);
    EXPECT_EQ(o->listenNum, 6000000000LL);
    EXPECT_EQ(o->rtype, 11);
    EXPECT_EQ(o->cornerMark, 2);
    EXPECT_STREQ(o->image, "i");
    EXPECT_STREQ(o->rvalue, "1001");
    EXPECT_EQ(item<dao_operate>(set->list, 1)->rid, 0);
    EXPECT_STREQ(item<dao_operate>(set->list, 1)->rname, "capital");
    dao_operate_set_del(set);
}

// Every page record: a "result" that is not an object, or a page without
// "dataList", or one whose "dataList" is an object, still gives a list.
TEST_F(BroadcastRequests, PagesNeverArriveWithoutAList) {
    struct Page {
        const char *path;
        void (*request)(Catcher *);
        List *(*list_of)(void *);
        void (*del)(void *);
    } pages[] = {
        {"/v2/broadcast/list",
         [](Catcher *c) { request_broadcast_list(0, 0, 1, 10, 0, Catcher::callback, c); },
         [](void *p) { return static_cast<dao_broadcast_set *>(p)->list; },
         [](void *p) { dao_broadcast_set_del(static_cast<dao_broadcast_set *>(p)); }},
        {"/v2/radioLable/list",
         [](Catcher *c) { request_radio_label_list(1, 10, Catcher::callback, c); },
         [](void *p) { return static_cast<dao_radio_label_set *>(p)->list; },
         [](void *p) { dao_radio_label_set_del(static_cast<dao_radio_label_set *>(p)); }},
        {"/v2/operate", [](Catcher *c) { request_operate_list(1, 10, Catcher::callback, c); },
         [](void *p) { return static_cast<dao_operate_set *>(p)->list; },
         [](void *p) { dao_operate_set_del(static_cast<dao_operate_set *>(p)); }},
    };
    for (const Page &page : pages) {
        for (const char *body :
             {R"({"result":[{"a":1}]})", R"({"result":"x"})", R"({"result":{"haveNext":1}})",
              R"({"result":{"dataList":{"0":{"rid":1}}}})"}) {
            Delivery d = answer(page.path, body, page.request);
            ASSERT_EQ(d.code, 0) << page.path << " " << body;
            EXPECT_EQ(d.count, 1);
            List *list = page.list_of(d.data);
            ASSERT_NE(list, nullptr) << page.path << " " << body;
            EXPECT_EQ(ListLength(list), 0u) << page.path << " " << body;
            page.del(d.data);
        }
    }
}

TEST(BroadcastDataApi, ArgumentsAreCheckedBeforeTheSdkState) {
    rv_releaseSdk();
    Delivery d =
        call([](Catcher *c) { rv_getBroadcastProgramList(1, nullptr, Catcher::callback, c); });
    EXPECT_EQ(d.code, 4);
    d = call([](Catcher *c) { rv_getSmartcastAudioList(1, nullptr, Catcher::callback, c); });
    EXPECT_EQ(d.code, 4);
    d = call([](Catcher *c) { rv_getBroadcastProgramList(1, "", Catcher::callback, c); });
    EXPECT_EQ(d.code, 3);
    d = call([](Catcher *c) { rv_getOperateList(1, 10, Catcher::callback, c); });
    EXPECT_EQ(d.code, 3);
    EXPECT_EQ(d.thread, std::this_thread::get_id());
}

}  // namespace
