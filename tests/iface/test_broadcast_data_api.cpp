// Every broadcast, smartcast and operate function of the data API against the
// local service. Expected values are read from the service's fixture files by
// the test itself; the service checks every request's signature.
#include <cjson/cJSON.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <vector>

#include "iface/broadcast_impl.h"
#include "iface/fixture_json.h"
#include "mock_service.h"
#include "request/sdk_fixture.h"
#include "rv_broadcast.h"
#include "rv_sdk.h"
#include "rv_smartcast.h"

namespace {

using rv::test::call;
using rv::test::Catcher;
using rv::test::Delivery;

using rv::test::elements;
using rv::test::FixtureFile;
using rv::test::items;
using rv::test::number;
using rv::test::text;

int64_t now_ms() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

class BroadcastDataApi : public rv::test::MockSdkTest {
  protected:
    std::string live(int64_t id) {
        return mock_.http_url() + "/live/" + std::to_string(id) + ".aac";
    }

    // A successful delivery of a bare List.
    template <class Fn>
    List *list_of(Fn &&fn) {
        Delivery d = call(fn);
        EXPECT_EQ(d.code, 0);
        auto *list = static_cast<List *>(d.data);
        EXPECT_EQ(d.count, static_cast<int>(ListLength(list)));
        return list;
    }

    FixtureFile broadcasts_{"broadcast.json"};
    FixtureFile smartcasts_{"smartcast.json"};
};

TEST_F(BroadcastDataApi, CategoriesAreasAndDatesEqualTheFixture) {
    List *list = list_of([](Catcher *c) { rv_getBroadcastCategory(Catcher::callback, c); });
    auto want = elements(broadcasts_["categories"]);
    auto categories = items<dao_broadcast_category>(list);
    ASSERT_EQ(categories.size(), want.size());
    for (size_t i = 0; i < want.size(); i++) {
        EXPECT_EQ(categories[i]->id, number(want[i], "id"));
        EXPECT_EQ(categories[i]->type, number(want[i], "type"));
        EXPECT_EQ(categories[i]->name, text(want[i], "name"));
        EXPECT_EQ(categories[i]->img, picture(text(want[i], "img")));
    }
    ListFree(list);

    list = list_of([](Catcher *c) { rv_getBroadcastArea(Catcher::callback, c); });
    want = elements(broadcasts_["areas"]);
    auto areas = items<dao_broadcast_area>(list);
    ASSERT_EQ(areas.size(), want.size());
    for (size_t i = 0; i < want.size(); i++) {
        EXPECT_EQ(areas[i]->id, number(want[i], "id"));
        EXPECT_EQ(areas[i]->name, text(want[i], "name"));
    }
    ListFree(list);

    list = list_of([](Catcher *c) { rv_getBroadcastDate(Catcher::callback, c); });
    auto dates = items<dao_broadcast_date>(list);
    ASSERT_EQ(dates.size(), 8u);  // a week back to tomorrow
    const int64_t day = 86400000;
    const int64_t today = now_ms() / day * day;
    EXPECT_EQ(std::stoll(dates[6]->time), today);
    for (size_t i = 1; i < dates.size(); i++) {
        EXPECT_EQ(std::stoll(dates[i]->time) - std::stoll(dates[i - 1]->time), day);
        EXPECT_EQ(std::string(dates[i]->dateTime).size(), 10u);
        EXPECT_EQ(std::string(dates[i]->weekDay).size(), 3u);
    }
    ListFree(list);
}

TEST_F(BroadcastDataApi, BroadcastPageAndDetailsEqualTheFixture) {
    Delivery d =
        call([](Catcher *c) { rv_getBroadcastList(0, 0, 1, 20, 0, Catcher::callback, c); });
    ASSERT_EQ(d.code, 0);
    auto *page = static_cast<dao_broadcast_set *>(d.data);
    auto want = elements(broadcasts_["broadcasts"]);
    EXPECT_EQ(page->count, static_cast<int>(want.size()));
    EXPECT_EQ(page->currentPage, 1);
    auto got = items<dao_broadcast>(page->list);
    ASSERT_EQ(got.size(), want.size());
    for (size_t i = 0; i < want.size(); i++) {
        const bool on_air = cJSON_IsTrue(cJSON_GetObjectItem(want[i], "onAir"));
        const int64_t id = number(want[i], "broadcastId");
        EXPECT_EQ(got[i]->broadcastId, id);
        EXPECT_EQ(got[i]->status, on_air ? 1 : 0);
        EXPECT_EQ(got[i]->onLineNum, number(want[i], "onLineNum"));
        EXPECT_EQ(got[i]->likedNum, number(want[i], "likedNum"));
        EXPECT_EQ(got[i]->name, text(want[i], "name"));
        EXPECT_EQ(got[i]->img, picture(text(want[i], "img")));
        EXPECT_EQ(got[i]->playUrl, on_air ? live(id) : "");
        EXPECT_EQ(std::string(got[i]->currentProgramTitle).empty(), !on_air);
    }
    dao_broadcast_set_del(page);

    const cJSON *first = want[0];
    d = call([](Catcher *c) { rv_getBroadcastList(2, 0, 1, 20, 0, Catcher::callback, c); });
    ASSERT_EQ(d.code, 0);
    page = static_cast<dao_broadcast_set *>(d.data);
    for (dao_broadcast *b : items<dao_broadcast>(page->list)) {
        EXPECT_NE(b->broadcastId, number(first, "broadcastId"));  // type 1 is left out
    }
    dao_broadcast_set_del(page);

    d = call([](Catcher *c) { rv_getBroadcastInfo(1001, Catcher::callback, c); });
    ASSERT_EQ(d.code, 0);
    auto *info = static_cast<dao_broadcast_info *>(d.data);
    EXPECT_EQ(info->broadcastId, 1001);
    EXPECT_EQ(info->status, 1);
    EXPECT_EQ(info->roomId, number(first, "roomId"));
    EXPECT_EQ(info->classifyId, number(first, "classifyId"));
    EXPECT_EQ(info->classifyName, text(first, "classifyName"));
    EXPECT_EQ(info->name, text(first, "name"));
    EXPECT_EQ(info->playUrl, live(1001));
    dao_broadcast_info_del(info);

    d = call([](Catcher *c) { rv_getBroadcastInfo(999, Catcher::callback, c); });
    EXPECT_EQ(d.code, 0x30001);  // no such broadcast
    EXPECT_EQ(d.data, nullptr);
}

TEST_F(BroadcastDataApi, ProgrammeGuideCurrentProgrammeAndProgrammeInfoAgree) {
    const cJSON *fm = elements(broadcasts_["broadcasts"])[0];
    auto titles = elements(cJSON_GetObjectItem(fm, "programmes"));
    const int64_t slot_ms =
        static_cast<int64_t>(cJSON_GetNumberValue(broadcasts_["programmeMinutes"])) * 60000;
    ASSERT_GT(slot_ms, 0);

    List *list =
        list_of([](Catcher *c) { rv_getBroadcastProgramList(1001, "", Catcher::callback, c); });
    auto guide = items<dao_program>(list);
    ASSERT_EQ(static_cast<int64_t>(guide.size()), 86400000 / slot_ms);
    int live_count = 0;
    for (size_t i = 0; i < guide.size(); i++) {
        dao_program *p = guide[i];
        const int64_t slot = p->startTime / slot_ms;
        EXPECT_EQ(p->programId, 1001 * 10000000000LL + slot);
        EXPECT_EQ(p->broadcastId, 1001);
        EXPECT_EQ(p->finishTime - p->startTime, slot_ms);
        EXPECT_EQ(p->nextProgramId, p->programId + 1);
        EXPECT_EQ(p->title,
                  std::string(titles[static_cast<size_t>(slot) % titles.size()]->valuestring));
        EXPECT_EQ(p->comperes, text(fm, "comperes"));
        EXPECT_EQ(p->broadcastName, text(fm, "name"));
        EXPECT_EQ(p->serverTime, nullptr);
        EXPECT_EQ(std::string(p->backLiveUrl).empty(), p->status != 2);
        live_count += p->status == 1 ? 1 : 0;
        if (i > 0) {
            EXPECT_EQ(p->startTime, guide[i - 1]->finishTime);
        }
    }
    EXPECT_EQ(live_count, 1);
    ListFree(list);

    Delivery d =
        call([](Catcher *c) { rv_getBroadcastCurrentProgram(1001, Catcher::callback, c); });
    ASSERT_EQ(d.code, 0);
    auto *current = static_cast<dao_program *>(d.data);
    ASSERT_NE(current->serverTime, nullptr);
    const int64_t server_time = std::stoll(current->serverTime);
    EXPECT_LE(current->startTime, server_time);
    EXPECT_LT(server_time, current->finishTime);
    EXPECT_LT(std::llabs(server_time - now_ms()), 60000);
    EXPECT_EQ(current->status, 1);
    EXPECT_EQ(current->playUrl, live(1001));

    const int64_t id = current->programId;
    d = call([id](Catcher *c) { rv_getBroadcastProgramInfo(id, Catcher::callback, c); });
    ASSERT_EQ(d.code, 0);
    auto *info = static_cast<dao_program *>(d.data);
    EXPECT_EQ(info->programId, id);
    EXPECT_STREQ(info->title, current->title);
    EXPECT_EQ(info->startTime, current->startTime);
    EXPECT_EQ(info->serverTime, nullptr);
    dao_program_del(info);
    dao_program_del(current);

    d = call([](Catcher *c) { rv_getBroadcastProgramList(1001, "today", Catcher::callback, c); });
    EXPECT_EQ(d.code, 0x30002);  // the service cannot read that date
}

TEST_F(BroadcastDataApi, ServerTimeAndCityListsWithoutData) {
    Delivery d = call([](Catcher *c) { ipa_get_current_server_time(Catcher::callback, c); });
    ASSERT_EQ(d.code, 0);
    auto *time = static_cast<dao_server_time *>(d.data);
    EXPECT_LT(std::llabs(std::stoll(time->serverTime) - now_ms()), 60000);
    dao_server_time_del(time);

    d = call([](Catcher *c) { rv_getCityBroadcastList(11, 1, 10, Catcher::callback, c); });
    EXPECT_EQ(d.code, 0);
    EXPECT_EQ(d.data, nullptr);
    EXPECT_EQ(d.count, 0);
    d = call([](Catcher *c) { rv_getCityBroadcastTopList(Catcher::callback, c); });
    EXPECT_EQ(d.code, 0);
    EXPECT_EQ(d.data, nullptr);
}

TEST_F(BroadcastDataApi, RadioLabelsEqualTheFixture) {
    Delivery d = call([](Catcher *c) { ipa_get_radio_label_list(1, 20, Catcher::callback, c); });
    ASSERT_EQ(d.code, 0);
    auto *page = static_cast<dao_radio_label_set *>(d.data);
    auto want = elements(smartcasts_["radioLabels"]);
    auto got = items<dao_radio_label>(page->list);
    ASSERT_EQ(got.size(), want.size());
    for (size_t i = 0; i < want.size(); i++) {
        EXPECT_EQ(got[i]->rid, number(want[i], "rid"));
        EXPECT_EQ(got[i]->rtype, number(want[i], "rtype"));
        EXPECT_EQ(got[i]->rname, text(want[i], "rname"));
        EXPECT_EQ(got[i]->rvalue, text(want[i], "rvalue"));
        EXPECT_EQ(got[i]->desc, text(want[i], "desc"));
        EXPECT_EQ(got[i]->updateTime, text(want[i], "updateTime"));
        EXPECT_EQ(got[i]->optType, number(want[i], "optType"));
        EXPECT_EQ(got[i]->index, number(want[i], "index"));
        EXPECT_EQ(got[i]->isMusic, number(want[i], "isMusic"));
        auto ids = elements(cJSON_GetObjectItem(want[i], "audios"));
        auto audios = items<dao_audio>(got[i]->audios);
        ASSERT_EQ(audios.size(), ids.size());
        for (size_t a = 0; a < ids.size(); a++) {
            EXPECT_EQ(audios[a]->audioId, static_cast<int64_t>(ids[a]->valuedouble));
            EXPECT_EQ(audios[a]->clockId, text(want[i], "clockId"));
        }
    }
    dao_radio_label_set_del(page);
}

TEST_F(BroadcastDataApi, OperateListKeeps64BitIds) {
    Delivery d = call([](Catcher *c) { rv_getOperateList(1, 20, Catcher::callback, c); });
    ASSERT_EQ(d.code, 0);
    auto *page = static_cast<dao_operate_set *>(d.data);
    auto want = elements(smartcasts_["operate"]);
    auto got = items<dao_operate>(page->list);
    ASSERT_EQ(got.size(), want.size());
    ASSERT_GT(number(want[0], "rid"), int64_t{1} << 32);
    for (size_t i = 0; i < want.size(); i++) {
        EXPECT_EQ(got[i]->rid, number(want[i], "rid"));
        EXPECT_EQ(got[i]->listenNum, number(want[i], "listenNum"));
        EXPECT_EQ(got[i]->rtype, number(want[i], "rtype"));
        EXPECT_EQ(got[i]->cornerMark, number(want[i], "cornerMark"));
        EXPECT_EQ(got[i]->image, picture(text(want[i], "image")));
        EXPECT_EQ(got[i]->rname, text(want[i], "rname"));
        EXPECT_EQ(got[i]->rvalue, text(want[i], "rvalue"));
    }
    dao_operate_set_del(page);
}

TEST_F(BroadcastDataApi, SmartcastCategoriesRadiosAndDetailsEqualTheFixture) {
    List *list = list_of([](Catcher *c) { rv_getSmartcastCategory(Catcher::callback, c); });
    auto want = elements(smartcasts_["categories"]);
    auto categories = items<dao_category>(list);
    ASSERT_EQ(categories.size(), want.size());
    for (size_t i = 0; i < want.size(); i++) {
        EXPECT_EQ(categories[i]->cid, number(want[i], "cid"));
        EXPECT_EQ(categories[i]->name, text(want[i], "name"));
        EXPECT_EQ(categories[i]->img, picture(text(want[i], "img")));
    }
    ListFree(list);

    for (const cJSON *radio : elements(smartcasts_["radios"])) {
        const int cid = static_cast<int>(number(radio, "cid"));
        list = list_of([cid](Catcher *c) { rv_getSmartcastList(cid, Catcher::callback, c); });
        auto radios = items<dao_smartcast>(list);
        ASSERT_EQ(radios.size(), 1u);
        const int64_t id = number(radio, "id");
        Delivery d = call([id](Catcher *c) { rv_getSmartcastInfo(id, Catcher::callback, c); });
        ASSERT_EQ(d.code, 0);
        auto *info = static_cast<dao_smartcast *>(d.data);
        for (dao_smartcast *s : {radios[0], info}) {
            EXPECT_EQ(s->id, id);
            EXPECT_EQ(s->type, number(radio, "type"));
            EXPECT_EQ(s->followedNum, number(radio, "followedNum"));
            EXPECT_EQ(s->isOnline, number(radio, "isOnline"));
            EXPECT_EQ(s->listenNum, number(radio, "listenNum"));
            EXPECT_EQ(s->commentNum, number(radio, "commentNum"));
            EXPECT_EQ(s->isSubscribe, 0);
            EXPECT_EQ(s->name, text(radio, "name"));
            EXPECT_EQ(s->img, picture(text(radio, "img")));
            EXPECT_EQ(s->desc, text(radio, "desc"));
        }
        dao_smartcast_del(info);
        ListFree(list);
    }
}

// Batch after batch, each asked with the clock id of the last audio received,
// until the radio hands out an empty list.
TEST_F(BroadcastDataApi, SmartcastBatchesFollowTheClockIdOfTheLastAudio) {
    const cJSON *radio = elements(smartcasts_["radios"])[0];
    const int64_t id = number(radio, "id");
    auto batches = elements(cJSON_GetObjectItem(radio, "batches"));
    std::string clock;
    for (size_t b = 0; b <= batches.size(); b++) {
        List *list = list_of([id, &clock](Catcher *c) {
            rv_getSmartcastAudioList(id, clock.c_str(), Catcher::callback, c);
        });
        auto audios = items<dao_audio>(list);
        if (b == batches.size()) {
            EXPECT_TRUE(audios.empty());
            ListFree(list);
            break;
        }
        auto ids = elements(cJSON_GetObjectItem(batches[b], "audios"));
        ASSERT_EQ(audios.size(), ids.size()) << "batch " << b;
        for (size_t a = 0; a < ids.size(); a++) {
            EXPECT_EQ(audios[a]->audioId, static_cast<int64_t>(ids[a]->valuedouble));
            EXPECT_EQ(audios[a]->clockId, text(batches[b], "clockId"));
            EXPECT_GT(audios[a]->duration, 0);
            EXPECT_NE(std::string(audios[a]->aacPlayUrl), "");
        }
        clock = audios.back()->clockId;
        ListFree(list);
    }
}

}  // namespace
