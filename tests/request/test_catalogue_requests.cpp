// The catalogue requests over a real socket: exact query bytes, the records
// built from scripted answers, and the envelope's failure codes.
#include <gtest/gtest.h>

#include <condition_variable>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>

#include "request/album_req.h"
#include "request/audio_req.h"
#include "request/scripted_sdk.h"
#include "rv_config.h"
#include "rv_data.h"
#include "rv_error.h"
#include "rv_sdk.h"

namespace {

using rv::test::call;
using rv::test::Catcher;
using rv::test::Delivery;
using rv::test::ScriptedServer;

class CatalogueRequests : public rv::test::ScriptedSdkTest {
  protected:
    std::string target_of(const std::string &path) { return only(path).target; }
};

TEST_F(CatalogueRequests, QueriesAreSentExactlyAsTheEndpointFormatsSay) {
    auto cb = Catcher::callback;
    call([&](Catcher *c) { request_all_category(cb, c); });
    EXPECT_EQ(target_of("/v2/category"), "/v2/category?" + block_);
    call([&](Catcher *c) { request_sub_category(7, cb, c); });
    EXPECT_EQ(target_of("/v2/category/sublist"), "/v2/category/sublist?cid=7&" + block_);
    call([&](Catcher *c) { request_album_list(3, 1, 2, 20, cb, c); });
    EXPECT_EQ(target_of("/v2/album/list"),
              "/v2/album/list?cid=3&sorttype=1&pagenum=2&pagesize=20&" + block_);
    call([&](Catcher *c) { request_album_info(5000000001LL, cb, c); });
    EXPECT_EQ(target_of("/v2/album/detail"), "/v2/album/detail?ids=5000000001&" + block_);
    call([&](Catcher *c) { request_album_audio_info(6000000002LL, cb, c); });
    EXPECT_EQ(target_of("/v2/audio/detail"), "/v2/audio/detail?id=6000000002&" + block_);
    call([&](Catcher *c) { request_album_recommend_list(cb, c); });
    EXPECT_EQ(target_of("/v2/album/recommend"), "/v2/album/recommend?&" + block_);
}

TEST_F(CatalogueRequests, AudioPageAsksAroundAnAudioOnlyForPageZero) {
    auto cb = Catcher::callback;
    auto page = [&](int pagenum, int64_t audio) {
        server_.clear_requests();
        call([&](Catcher *c) { request_album_playlist(9, 1, pagenum, 20, audio, cb, c); });
        return target_of("/v2/audio/list");
    };
    EXPECT_EQ(page(0, 55), "/v2/audio/list?aid=9&audioid=55&sorttype=1&pagesize=20&" + block_);
    EXPECT_EQ(page(0, 0), "/v2/audio/list?aid=9&sorttype=1&pagesize=20&pagenum=0&" + block_);
    EXPECT_EQ(page(2, 5), "/v2/audio/list?aid=9&sorttype=1&pagesize=20&pagenum=2&" + block_);
}

TEST_F(CatalogueRequests, TopListTypeIsFormEncoded) {
    auto cb = Catcher::callback;
    call([&](Catcher *c) { request_album_top_list("hot list/&x=1", 2, 10, cb, c); });
    EXPECT_EQ(target_of("/v2/album/top"),
              "/v2/album/top?&type=hot+list%2F%26x%3D1&pagesize=10&pagenum=2&" + block_);
    server_.clear_requests();
    call([&](Catcher *c) { request_album_top_list("hot_1.a-b", 1, 10, cb, c); });
    EXPECT_EQ(target_of("/v2/album/top"),
              "/v2/album/top?&type=hot_1.a-b&pagesize=10&pagenum=1&" + block_);
}

TEST_F(CatalogueRequests, CategoryKeysMatchInAnyCaseAndNonObjectsAreLeftOut) {
    server_.script("/v2/category/sublist",
                   R"({"result":[{"CID":3,"hassub":1,"NAME":"News","img":"i3"},7,
                                 {"cid":4,"hasSub":0,"name":"Talk"}]})");
    Delivery d = call([](Catcher *c) { request_sub_category(1, Catcher::callback, c); });
    ASSERT_EQ(d.code, 0);
    auto *list = static_cast<List *>(d.data);
    ASSERT_EQ(d.count, 2);
    ASSERT_EQ(ListLength(list), 2u);
    auto *first = static_cast<dao_category *>(ListAt(list, 0)->data);
    auto *second = static_cast<dao_category *>(ListAt(list, 1)->data);
    EXPECT_EQ(first->cid, 3);
    EXPECT_EQ(first->hasSub, 1);
    EXPECT_STREQ(first->name, "News");
    EXPECT_EQ(second->cid, 4);
    EXPECT_STREQ(second->img, "");  // missing key: the empty text
    ListFree(list);
}

TEST_F(CatalogueRequests, AlbumPageReadsPagingInAnyCaseAndAlbumKeysExactly) {
    server_.script("/v2/album/list", R"({"result":{"HAVENEXT":1,"nextPage":3,"havePre":1,
        "prePage":1,"currentPage":2,"count":41,"sumPage":3,"pagesize":20,"dataList":[
        {"source":2,"id":5000000001,"listenNum":7000000000,"name":"First","img":"i1",
         "sourceName":"s1"},{"id":2,"Name":"capital"}]}})");
    Delivery d = call([](Catcher *c) { request_album_list(1, 0, 2, 20, Catcher::callback, c); });
    ASSERT_EQ(d.code, 0);
    EXPECT_EQ(d.count, 1);
    auto *set = static_cast<dao_album_set *>(d.data);
    EXPECT_EQ(set->haveNext, 1);
    EXPECT_EQ(set->nextPage, 3);
    EXPECT_EQ(set->currentPage, 2);
    EXPECT_EQ(set->count, 41);
    EXPECT_EQ(set->pageSize, 20);
    ASSERT_EQ(ListLength(set->list), 2u);
    auto *a = static_cast<dao_album *>(ListAt(set->list, 0)->data);
    EXPECT_EQ(a->source, 2);
    EXPECT_EQ(a->id, 5000000001LL);
    EXPECT_EQ(a->listenNum, 7000000000LL);
    EXPECT_STREQ(a->name, "First");
    EXPECT_STREQ(a->sourceName, "s1");
    auto *b = static_cast<dao_album *>(ListAt(set->list, 1)->data);
    EXPECT_STREQ(b->name, "");  // "Name" is not "name"
    dao_album_set_del(set);
}

TEST_F(CatalogueRequests, AlbumPageWithoutDataListHasAnEmptyList) {
    server_.script("/v2/album/top", R"({"result":{"haveNext":0}})");
    Delivery d = call([](Catcher *c) { request_album_top_list("t", 1, 5, Catcher::callback, c); });
    ASSERT_EQ(d.code, 0);
    auto *set = static_cast<dao_album_set *>(d.data);
    ASSERT_NE(set->list, nullptr);
    EXPECT_EQ(ListLength(set->list), 0u);
    dao_album_set_del(set);
}

TEST_F(CatalogueRequests, PagesWhoseResultIsNoObjectStillHaveAList) {
    for (const char *body : {R"({"result":[]})", R"({"result":"page"})", R"({"result":7})"}) {
        server_.script("/v2/album/list", body);
        Delivery d = call([](Catcher *c) { request_album_list(1, 0, 1, 5, Catcher::callback, c); });
        ASSERT_EQ(d.code, 0) << body;
        auto *albums = static_cast<dao_album_set *>(d.data);
        ASSERT_NE(albums->list, nullptr) << body;
        EXPECT_EQ(ListLength(albums->list), 0u);
        dao_album_set_del(albums);
        server_.script("/v2/audio/list", body);
        d = call([](Catcher *c) { request_album_playlist(1, 0, 1, 5, 0, Catcher::callback, c); });
        ASSERT_EQ(d.code, 0) << body;
        auto *audios = static_cast<dao_audio_set *>(d.data);
        ASSERT_NE(audios->list, nullptr) << body;
        EXPECT_EQ(ListLength(audios->list), 0u);
        dao_audio_set_del(audios);
    }
}

// Elements of one page are read in one pass each, the previous element's key order
// predicting the next: a different order, a key in another case, an unknown key or a
// repeated key in a later element must not carry over what the first one matched.
TEST_F(CatalogueRequests, EveryElementIsReadByItsOwnKeysWhateverTheOrder) {
    server_.script("/v2/audio/list", R"({"result":{"dataList":[
        {"audioId":1,"audioName":"one","duration":10,"albumId":7},
        {"duration":20,"audioId":2,"AudioName":"case","albumId":7},
        {"audioId":3,"x":"unknown","audioName":"three","audioName":"repeat"},
        {"audioId":"4","audioName":5,"duration":40,"albumId":7}]}})");
    Delivery d =
        call([](Catcher *c) { request_album_playlist(7, 0, 1, 4, 0, Catcher::callback, c); });
    ASSERT_EQ(d.code, 0);
    auto *set = static_cast<dao_audio_set *>(d.data);
    ASSERT_EQ(ListLength(set->list), 4u);
    auto audio = [&](size_t i) { return static_cast<dao_audio *>(ListAt(set->list, i)->data); };
    EXPECT_EQ(audio(0)->audioId, 1);
    EXPECT_STREQ(audio(0)->audioName, "one");
    EXPECT_EQ(audio(0)->duration, 10);
    EXPECT_EQ(audio(1)->audioId, 2);
    EXPECT_EQ(audio(1)->duration, 20);
    EXPECT_STREQ(audio(1)->audioName, "");  // audio keys are case-sensitive
    EXPECT_EQ(audio(2)->audioId, 3);
    EXPECT_STREQ(audio(2)->audioName, "three");  // the first of a repeated key
    EXPECT_EQ(audio(2)->duration, 0);
    EXPECT_EQ(audio(2)->albumId, 0);
    EXPECT_EQ(audio(3)->audioId, 0);  // wrong types give the defaults
    EXPECT_STREQ(audio(3)->audioName, "");
    EXPECT_EQ(audio(3)->duration, 40);
    dao_audio_set_del(set);

    server_.script("/v2/category/sublist", R"({"result":[{"cid":3,"name":"a"},
        {"NAME":"b","CID":4},{"Name":"c","cId":5,"name":"d"}]})");
    d = call([](Catcher *c) { request_sub_category(1, Catcher::callback, c); });
    ASSERT_EQ(d.code, 0);
    auto *list = static_cast<List *>(d.data);
    ASSERT_EQ(ListLength(list), 3u);
    auto category = [&](size_t i) { return static_cast<dao_category *>(ListAt(list, i)->data); };
    EXPECT_EQ(category(1)->cid, 4);
    EXPECT_STREQ(category(1)->name, "b");
    EXPECT_EQ(category(2)->cid, 5);
    EXPECT_STREQ(category(2)->name, "c");  // the first in any case
    ListFree(list);
}

TEST_F(CatalogueRequests, AlbumInfoJoinsKeyWordsAndReadsPresenters) {
    server_.script("/v2/album/detail", R"({"result":[{"ID":77,"lastcheckdate":6000000000,
        "name":"Album","host":[{"NAME":"Ann","des":"d","img":"p"},{"name":"Bob"}],
        "keyWords":["a","b",3,"c"],"isSubscribe":1}]})");
    Delivery d = call([](Catcher *c) { request_album_info(77, Catcher::callback, c); });
    ASSERT_EQ(d.code, 0);
    auto *info = static_cast<dao_album_info *>(d.data);
    EXPECT_EQ(info->id, 77);
    EXPECT_EQ(info->lastCheckDate, 6000000000LL);
    EXPECT_EQ(info->isSubscribe, 1);
    EXPECT_STREQ(info->keyWords, "a&b&&c");
    EXPECT_STREQ(info->desc, "");
    ASSERT_NE(info->host, nullptr);
    ASSERT_EQ(ListLength(info->host), 2u);
    EXPECT_STREQ(static_cast<dao_host *>(ListAt(info->host, 0)->data)->name, "Ann");
    EXPECT_STREQ(static_cast<dao_host *>(ListAt(info->host, 1)->data)->des, "");
    dao_album_info_del(info);
}

TEST_F(CatalogueRequests, AlbumInfoEdgeShapes) {
    auto info_for = [&](const char *body) {
        server_.script("/v2/album/detail", body);
        Delivery d = call([](Catcher *c) { request_album_info(1, Catcher::callback, c); });
        EXPECT_EQ(d.code, 0) << body;
        return static_cast<dao_album_info *>(d.data);
    };
    dao_album_info *plain = info_for(R"({"result":[{"keyWords":"k1 k2","host":[]}]})");
    EXPECT_STREQ(plain->keyWords, "k1 k2");
    EXPECT_EQ(plain->host, nullptr);  // empty presenter array: no list
    dao_album_info_del(plain);
    dao_album_info *object_host = info_for(R"({"result":[{"host":{"a":{"name":"x"}}}]})");
    EXPECT_EQ(object_host->host, nullptr);  // members of an object are no presenters
    dao_album_info_del(object_host);
    dao_album_info *empty_words = info_for(R"({"result":[{"keyWords":[]}]})");
    EXPECT_STREQ(empty_words->keyWords, "");
    dao_album_info_del(empty_words);
    dao_album_info *none = info_for(R"({"result":[]})");
    EXPECT_EQ(none->id, 0);
    EXPECT_EQ(none->name, nullptr);
    EXPECT_EQ(none->host, nullptr);
    dao_album_info_del(none);
}

TEST_F(CatalogueRequests, AudioDetailFillsEveryField) {
    server_.script("/v2/audio/detail", R"({"result":{"audioName":"an","audioPic":"ap",
        "audioDes":"ad","albumName":"aln","albumPic":"alp","mp3PlayUrl32":"m32",
        "mp3PlayUrl64":"m64","aacPlayUrl":"a","aacPlayUrl32":"a32","aacPlayUrl64":"a64",
        "aacPlayUrl128":"a128","clockId":"ignored","albumId":5000000003,"audioId":5000000004,
        "updateTime":1700000000000,"aacFileSize":1,"mp3FileSize32":2,"mp3FileSize64":3,
        "orderNum":4,"duration":5,"originalDuration":6,"listenNum":7,"likedNum":8,
        "hasCopyright":9,"commentNum":10,"trailerStart":11,"trailerEnd":12,"categoryId":13,
        "isListened":14}})");
    Delivery d = call([](Catcher *c) { request_album_audio_info(4, Catcher::callback, c); });
    ASSERT_EQ(d.code, 0);
    EXPECT_EQ(d.count, 1);
    auto *a = static_cast<dao_audio *>(d.data);
    EXPECT_STREQ(a->audioName, "an");
    EXPECT_STREQ(a->aacPlayUrl128, "a128");
    EXPECT_EQ(a->clockId, nullptr);  // album answers carry no clock id
    EXPECT_EQ(a->albumId, 5000000003LL);
    EXPECT_EQ(a->audioId, 5000000004LL);
    EXPECT_EQ(a->updateTime, 1700000000000LL);
    EXPECT_EQ(a->aacFileSize, 1);
    EXPECT_EQ(a->orderNum, 4);
    EXPECT_EQ(a->trailerEnd, 12);
    EXPECT_EQ(a->isListened, 14);
    dao_audio_del(a);
}

TEST_F(CatalogueRequests, EnvelopeFailuresReachTheCallbackWithoutDataAndWithTheirMessage) {
    struct Case {
        const char *body;
        int code;
        const char *message;  // rv_lastServiceMessage() in the callback
    } cases[] = {
        {R"({"errcode":"40100","errmsg":"expired","result":[]})", 0x30003, "expired"},
        {R"({"errcode":"40000","errmsg":"unknown appid"})", 0x30002, "unknown appid"},
        {R"({"errcode":"50600","errmsg":7})", 0x30001, ""},
        {R"({"errcode":"50600"})", 0x30001, ""},
        {"<html>not json</html>", 0x204, ""},
        {R"({"data":[]})", 0x204, ""},
        {"", 0x204, ""},
    };
    for (const Case &c : cases) {
        server_.script("/v2/category", c.body);
        Delivery d = call([](Catcher *k) { request_all_category(Catcher::callback, k); });
        EXPECT_EQ(d.code, c.code) << c.body;
        EXPECT_EQ(d.data, nullptr);
        EXPECT_EQ(d.count, 0);
        EXPECT_EQ(d.service_message, c.message) << c.body;
    }
    // Through the public API too, and only during the callback.
    server_.script("/v2/category", R"({"errcode":"40000","errmsg":"unknown appid"})");
    Delivery d = call([](Catcher *k) { rv_getAllCategory(Catcher::callback, k); });
    EXPECT_EQ(d.code, RVE_SERVER_40000);
    EXPECT_EQ(d.service_message, "unknown appid");
    EXPECT_STREQ(rv_lastServiceMessage(), "");
}

// A result callback that holds its worker until the test opens the gate.
struct Gate {
    static void callback(int, void *data, int, void *user) {
        auto *gate = static_cast<Gate *>(user);
        ListFree(static_cast<List *>(data));
        std::unique_lock lock(gate->mutex);
        ++gate->entered;
        gate->changed.notify_all();
        gate->changed.wait(lock, [gate] { return gate->open; });
        ++gate->left;
        gate->changed.notify_all();
    }
    // Guards entered, open and left.
    std::mutex mutex;
    std::condition_variable changed;
    int entered = 0;
    bool open = false;
    int left = 0;  // callbacks done with the gate: it may go once all have
};

TEST_F(CatalogueRequests, TheQueueLimitIsTheApplicationsAndMovesWhileRunning) {
    EXPECT_EQ(rv_setRequestQueueLimit(0), RVE_BAD_ARGS);
    EXPECT_EQ(rv_setRequestQueueLimit(-3), RVE_BAD_ARGS);
    server_.script("/v2/category", R"({"result":[]})");
    Gate gate;
    for (int i = 0; i < 3; i++) {
        rv_getAllCategory(Gate::callback, &gate);
    }
    {
        std::unique_lock lock(gate.mutex);
        gate.changed.wait(lock, [&] { return gate.entered == 3; });  // all three workers held
    }
    ASSERT_EQ(rv_setRequestQueueLimit(2), RVE_OK);
    rv_getAllCategory(Gate::callback, &gate);
    rv_getAllCategory(Gate::callback, &gate);
    Delivery full = call([](Catcher *c) { rv_getAllCategory(Catcher::callback, c); });
    EXPECT_EQ(full.code, RVE_QUEUE_FULL);
    EXPECT_EQ(full.thread, std::this_thread::get_id());
    ASSERT_EQ(rv_setRequestQueueLimit(3), RVE_OK);
    rv_getAllCategory(Gate::callback, &gate);
    {
        std::unique_lock lock(gate.mutex);
        gate.open = true;
        gate.changed.notify_all();
        gate.changed.wait(lock, [&] { return gate.left == 6; });
    }
    EXPECT_EQ(rv_setRequestQueueLimit(30), RVE_OK);
}

TEST_F(CatalogueRequests, UnreachableServerGives2OnAWorker) {
    point_at_closed_port();
    Delivery d = call([](Catcher *c) { request_all_category(Catcher::callback, c); });
    EXPECT_EQ(d.code, 2);
    EXPECT_NE(d.thread, std::this_thread::get_id());
}

TEST(CatalogueWithoutSdk, RequestsGive512OnTheCallersThread) {
    rv_releaseSdk();
    Catcher c;
    request_album_list(1, 0, 1, 10, Catcher::callback, &c);
    ASSERT_EQ(c.calls(), 1);  // already delivered: no worker involved
    Delivery d = c.wait();
    EXPECT_EQ(d.code, 512);
    EXPECT_EQ(d.thread, std::this_thread::get_id());
}

}  // namespace
