// Start-up and every catalogue function of the data API against the mock
// service over real sockets. Expected values are read from the service's
// fixture files by the test itself.
#include <cjson/cJSON.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "iface/fixture_json.h"
#include "mock_service.h"
#include "request/sdk_fixture.h"
#include "rv_data.h"
#include "rv_sdk.h"

namespace {

using rv::test::openssl_md5_hex;

using rv::test::App;
using rv::test::call;
using rv::test::Catcher;
using rv::test::Delivery;
using rv::test::TempDir;

using rv::test::items;
using rv::test::number;
using rv::test::text;

// The catalogue fixture.
class Fixture : public rv::test::FixtureFile {
  public:
    Fixture() : FixtureFile("catalogue.json") {}
    const cJSON *categories() const { return (*this)["categories"]; }
    const cJSON *albums() const { return (*this)["albums"]; }
};

class DataApi : public rv::test::MockSdkTest {
  protected:
    Fixture fixture_;
};

TEST_F(DataApi, StartUpStoresTheServicesOpenidAndKeepsTheFileOnRestart) {
    EXPECT_EQ(mSdkInitOk, 1);
    const std::string identity = rv::test::read_file(dir_.file("openid.dat"));
    const size_t amp = identity.find('&');
    ASSERT_NE(amp, std::string::npos);
    const std::string deviceid = identity.substr(0, amp);
    EXPECT_EQ(deviceid.size(), 32u);
    // The service derives the openid from app id and device id.
    EXPECT_EQ(identity.substr(amp + 1),
              "oid-" + openssl_md5_hex("rv-test-app/" + deviceid).substr(0, 24));

    struct stat before {};
    ASSERT_EQ(stat(dir_.file("openid.dat").c_str(), &before), 0);
    rv_releaseSdk();
    ASSERT_EQ(rv::test::start_sdk(mock_.http_url(), dir_.path(), App{}), 0);
    struct stat after {};
    ASSERT_EQ(stat(dir_.file("openid.dat").c_str(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino);  // unchanged openid: written once only
    EXPECT_EQ(rv::test::read_file(dir_.file("openid.dat")), identity);
}

TEST_F(DataApi, AppInitFailureFallsBackToAppActive) {
    rv_releaseSdk();
    rvmock::Fault error;
    error.kind = rvmock::Fault::Kind::Error;
    error.errcode = "40100";
    mock_.set_fault("/v2/app/init", error);
    EXPECT_EQ(rv::test::start_sdk(mock_.http_url(), dir_.path(), App{}), 0);
    EXPECT_EQ(mSdkInitOk, 1);

    rv_releaseSdk();
    rvmock::Fault drop;
    drop.kind = rvmock::Fault::Kind::Drop;
    mock_.set_fault("/v2/app/active", drop);
    EXPECT_EQ(rv::test::start_sdk(mock_.http_url(), dir_.path(), App{}), 2);
    EXPECT_EQ(mSdkInitOk, 0);
}

TEST_F(DataApi, AWrongSecretIsRejectedByTheServicesSignatureCheck) {
    rv_releaseSdk();
    App wrong;
    wrong.secret = "not-the-secret";
    EXPECT_EQ(rv::test::start_sdk(mock_.http_url(), dir_.path(), wrong), 0x30002);
}

TEST_F(DataApi, AllCategoriesAndSubCategoriesEqualTheFixture) {
    Delivery d = call([](Catcher *c) { rv_getAllCategory(Catcher::callback, c); });
    ASSERT_EQ(d.code, 0);
    auto *list = static_cast<List *>(d.data);
    auto got = items<dao_category>(list);
    ASSERT_EQ(static_cast<int>(got.size()), cJSON_GetArraySize(fixture_.categories()));
    EXPECT_EQ(d.count, static_cast<int>(got.size()));
    for (size_t i = 0; i < got.size(); i++) {
        const cJSON *want = cJSON_GetArrayItem(fixture_.categories(), static_cast<int>(i));
        EXPECT_EQ(got[i]->cid, number(want, "cid"));
        EXPECT_EQ(got[i]->name, text(want, "name"));
        EXPECT_EQ(got[i]->img, picture(text(want, "img")));
        EXPECT_EQ(got[i]->hasSub, 1);
    }
    ListFree(list);

    const cJSON *first = cJSON_GetArrayItem(fixture_.categories(), 0);
    const int cid = static_cast<int>(number(first, "cid"));
    d = call([cid](Catcher *c) { rv_getSubCategory(cid, Catcher::callback, c); });
    ASSERT_EQ(d.code, 0);
    list = static_cast<List *>(d.data);
    auto subs = items<dao_category>(list);
    const cJSON *want_subs = cJSON_GetObjectItem(first, "sub");
    ASSERT_EQ(static_cast<int>(subs.size()), cJSON_GetArraySize(want_subs));
    for (size_t i = 0; i < subs.size(); i++) {
        const cJSON *want = cJSON_GetArrayItem(want_subs, static_cast<int>(i));
        EXPECT_EQ(subs[i]->cid, number(want, "cid"));
        EXPECT_EQ(subs[i]->name, text(want, "name"));
        EXPECT_EQ(subs[i]->hasSub, 0);
    }
    ListFree(list);
}

TEST_F(DataApi, AlbumListOfACategoryEqualsTheFixture) {
    const cJSON *album = cJSON_GetArrayItem(fixture_.albums(), 0);
    const int cid = static_cast<int>(number(album, "cid"));
    std::vector<const cJSON *> want;
    const cJSON *a = nullptr;
    cJSON_ArrayForEach(a, fixture_.albums()) {
        if (number(a, "cid") == cid) {
            want.push_back(a);
        }
    }
    Delivery d = call([cid](Catcher *c) { rv_getAlbumList(cid, 1, 1, 20, Catcher::callback, c); });
    ASSERT_EQ(d.code, 0);
    EXPECT_EQ(d.count, 1);
    auto *set = static_cast<dao_album_set *>(d.data);
    EXPECT_EQ(set->currentPage, 1);
    EXPECT_EQ(set->count, static_cast<int>(want.size()));
    EXPECT_EQ(set->haveNext, 0);
    auto got = items<dao_album>(set->list);
    ASSERT_EQ(got.size(), want.size());
    for (size_t i = 0; i < got.size(); i++) {
        EXPECT_EQ(got[i]->id, number(want[i], "id"));
        EXPECT_EQ(got[i]->name, text(want[i], "name"));
        EXPECT_EQ(got[i]->sourceName, text(want[i], "sourceName"));
        EXPECT_EQ(got[i]->source, number(want[i], "source"));
        EXPECT_EQ(got[i]->listenNum, number(want[i], "listenNum"));
        EXPECT_EQ(got[i]->img, picture(text(want[i], "img")));
    }
    dao_album_set_del(set);
}

TEST_F(DataApi, AlbumInfoJoinsKeyWordsAndListsThePresenters) {
    for (int i = 0; i < 2; i++) {
        const cJSON *want = cJSON_GetArrayItem(fixture_.albums(), i);
        const int64_t id = number(want, "id");
        Delivery d = call([id](Catcher *c) { rv_getAlbumInfo(id, Catcher::callback, c); });
        ASSERT_EQ(d.code, 0);
        auto *info = static_cast<dao_album_info *>(d.data);
        EXPECT_EQ(info->id, id);
        EXPECT_EQ(info->name, text(want, "name"));
        EXPECT_EQ(info->desc, text(want, "desc"));
        EXPECT_EQ(info->lastCheckDate, number(want, "lastCheckDate"));
        EXPECT_EQ(info->followedNum, number(want, "followedNum"));
        EXPECT_EQ(info->countNum, number(cJSON_GetObjectItem(want, "audios"), "count"));
        EXPECT_EQ(info->status, text(want, "status"));
        EXPECT_EQ(info->copyrightLabel, text(want, "copyrightLabel"));
        const cJSON *words = cJSON_GetObjectItem(want, "keyWords");
        std::string joined;
        if (cJSON_IsArray(words)) {
            const cJSON *w = nullptr;
            cJSON_ArrayForEach(w, words) {
                joined += (joined.empty() ? "" : "&") + std::string(w->valuestring);
            }
        } else {
            joined = words->valuestring;
        }
        EXPECT_EQ(info->keyWords, joined);
        const cJSON *hosts = cJSON_GetObjectItem(want, "host");
        auto got = items<dao_host>(info->host);
        ASSERT_EQ(static_cast<int>(got.size()), cJSON_GetArraySize(hosts));
        for (size_t h = 0; h < got.size(); h++) {
            const cJSON *host = cJSON_GetArrayItem(hosts, static_cast<int>(h));
            EXPECT_EQ(got[h]->name, text(host, "name"));
            EXPECT_EQ(got[h]->des, text(host, "des"));
            EXPECT_EQ(got[h]->img, picture(text(host, "img")));
        }
        dao_album_info_del(info);
    }
}

// The fixture's audio series of an album: number n (1-based) of it.
struct Series {
    const cJSON *album;
    const cJSON *audios;
    int64_t id(int n) const { return number(audios, "first_id") + n - 1; }
    std::string name(int n) const {
        std::string title = text(audios, "title");
        return title.replace(title.find("{n}"), 3, std::to_string(n));
    }
    int64_t duration(int n) const {
        const cJSON *d = cJSON_GetObjectItem(audios, "durations_ms");
        return static_cast<int64_t>(
            cJSON_GetArrayItem(d, (n - 1) % cJSON_GetArraySize(d))->valuedouble);
    }
};

TEST_F(DataApi, AudioPagesByNumberAndAroundAnAudio) {
    const cJSON *album = cJSON_GetArrayItem(fixture_.albums(), 0);
    Series s{album, cJSON_GetObjectItem(album, "audios")};
    const int64_t aid = number(album, "id");
    ASSERT_GE(number(s.audios, "count"), 50);

    Delivery d =
        call([aid](Catcher *c) { rv_getAlbumAudioList(aid, 1, 2, 20, 0, Catcher::callback, c); });
    ASSERT_EQ(d.code, 0);
    auto *page = static_cast<dao_audio_set *>(d.data);
    EXPECT_EQ(page->currentPage, 2);
    auto got = items<dao_audio>(page->list);
    ASSERT_EQ(got.size(), 20u);
    for (int i = 0; i < 20; i++) {
        EXPECT_EQ(got[static_cast<size_t>(i)]->audioId, s.id(21 + i));
        EXPECT_EQ(got[static_cast<size_t>(i)]->audioName, s.name(21 + i));
        EXPECT_EQ(got[static_cast<size_t>(i)]->albumId, aid);
    }
    dao_audio_set_del(page);

    const int64_t audio = s.id(46);
    d = call([aid, audio](Catcher *c) {
        rv_getAlbumAudioList(aid, 1, 0, 20, audio, Catcher::callback, c);
    });
    ASSERT_EQ(d.code, 0);
    page = static_cast<dao_audio_set *>(d.data);
    EXPECT_EQ(page->currentPage, 3);
    got = items<dao_audio>(page->list);
    EXPECT_TRUE(
        std::any_of(got.begin(), got.end(), [audio](dao_audio *a) { return a->audioId == audio; }));
    dao_audio_set_del(page);
}

TEST_F(DataApi, AudioInfoEqualsTheFixture) {
    const cJSON *album = cJSON_GetArrayItem(fixture_.albums(), 0);
    Series s{album, cJSON_GetObjectItem(album, "audios")};
    const int64_t id = s.id(5);
    Delivery d = call([id](Catcher *c) { rv_getAlbumAudioInfo(id, Catcher::callback, c); });
    ASSERT_EQ(d.code, 0);
    EXPECT_EQ(d.count, 1);
    auto *a = static_cast<dao_audio *>(d.data);
    EXPECT_EQ(a->audioId, id);
    EXPECT_EQ(a->audioName, s.name(5));
    EXPECT_EQ(a->albumName, text(album, "name"));
    EXPECT_EQ(a->albumId, number(album, "id"));
    EXPECT_EQ(a->orderNum, 5);
    EXPECT_EQ(a->duration, s.duration(5));
    EXPECT_EQ(a->albumPic, picture(text(album, "img")));
    EXPECT_EQ(std::string(a->aacPlayUrl).rfind(mock_.http_url(), 0), 0u);
    EXPECT_EQ(a->clockId, nullptr);
    dao_audio_del(a);
}

TEST_F(DataApi, TopListIsTheMostListenedFirst) {
    std::vector<const cJSON *> want;
    const cJSON *a = nullptr;
    cJSON_ArrayForEach(a, fixture_.albums()) {
        want.push_back(a);
    }
    std::stable_sort(want.begin(), want.end(), [](const cJSON *x, const cJSON *y) {
        return number(x, "listenNum") > number(y, "listenNum");
    });
    Delivery d =
        call([](Catcher *c) { rv_getAlbumTopList("week top", 1, 3, Catcher::callback, c); });
    ASSERT_EQ(d.code, 0);
    auto *set = static_cast<dao_album_set *>(d.data);
    auto got = items<dao_album>(set->list);
    ASSERT_EQ(got.size(), std::min<size_t>(3, want.size()));
    for (size_t i = 0; i < got.size(); i++) {
        EXPECT_EQ(got[i]->id, number(want[i], "id"));
        EXPECT_EQ(got[i]->name, text(want[i], "name"));
    }
    dao_album_set_del(set);
}

TEST_F(DataApi, ServiceFailuresMapToResultCodes) {
    struct Case {
        rvmock::Fault::Kind kind;
        const char *errcode;
        int code;
    } cases[] = {
        {rvmock::Fault::Kind::Error, "40432", 0x30005},
        {rvmock::Fault::Kind::Error, "40000", 0x30002},
        {rvmock::Fault::Kind::Error, "99999", 0x30000},
        {rvmock::Fault::Kind::Malformed, "", 0x204},
        {rvmock::Fault::Kind::Drop, "", 2},
    };
    for (const Case &k : cases) {
        rvmock::Fault fault;
        fault.kind = k.kind;
        fault.errcode = k.errcode;
        mock_.set_fault("/v2/category", fault);
        Delivery d = call([](Catcher *c) { rv_getAllCategory(Catcher::callback, c); });
        EXPECT_EQ(d.code, k.code) << k.errcode;
        EXPECT_EQ(d.data, nullptr);
        EXPECT_EQ(d.count, 0);
    }
    mock_.clear_faults();
    Delivery unknown = call([](Catcher *c) { rv_getAlbumInfo(42, Catcher::callback, c); });
    EXPECT_EQ(unknown.code, 0x30001);  // the service's "not found"
}

TEST_F(DataApi, AfterReleaseEveryFunctionRefusesWith3) {
    rv_releaseSdk();
    std::vector<Delivery> got;
    auto check = [&](auto &&fn) {
        Catcher c;
        fn(&c);
        ASSERT_EQ(c.calls(), 1);
        got.push_back(c.wait());
    };
    check([](Catcher *c) { rv_getAllCategory(Catcher::callback, c); });
    check([](Catcher *c) { rv_getSubCategory(100, Catcher::callback, c); });
    check([](Catcher *c) { rv_getAlbumList(101, 1, 1, 20, Catcher::callback, c); });
    check([](Catcher *c) { rv_getAlbumInfo(1, Catcher::callback, c); });
    check([](Catcher *c) { rv_getAlbumAudioList(1, 1, 1, 20, 0, Catcher::callback, c); });
    check([](Catcher *c) { rv_getAlbumAudioInfo(1, Catcher::callback, c); });
    check([](Catcher *c) { rv_getAlbumTopList("t", 1, 20, Catcher::callback, c); });
    for (const Delivery &d : got) {
        EXPECT_EQ(d.code, 3);
    }
    rv_reportAudioPlayEvent();  // accepted and only logged
    rv_reportBroadcastPlayEvent();
    rv_reportBroadcastPlayBackEndEvent();
}

}  // namespace
