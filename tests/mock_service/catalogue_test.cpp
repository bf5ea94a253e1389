// Categories, albums and audios: keys of every answer, paging of the
// three-page album, locating an audio's page.
#include <set>

#include "mock_test_support.h"

namespace rvmock_test {
namespace {

class Catalogue : public MockServiceTest {};

constexpr long long kBigAlbum = 1100001;
constexpr long long kFirstAudio = 3000000101;

TEST_F(Catalogue, CategoriesAndSubCategoriesCarryTheirKeys) {
    Json top = api("/v2/category");
    const cJSON *list = result_of(top);
    ASSERT_GE(cJSON_GetArraySize(list), 3);
    const cJSON *category = nullptr;
    cJSON_ArrayForEach(category, list) {
        expect_keys(category, {"cid", "hasSub", "name", "img"});
        EXPECT_EQ(int_of(category, "hasSub"), 1);
        Json subs =
            api("/v2/category/sublist", "cid=" + std::to_string(int_of(category, "cid")) + "&");
        const cJSON *sub_list = result_of(subs);
        ASSERT_GE(cJSON_GetArraySize(sub_list), 1);
        expect_keys(cJSON_GetArrayItem(sub_list, 0), {"cid", "hasSub", "name", "img"});
    }
    Json unknown = api("/v2/category/sublist", "cid=999&");
    EXPECT_EQ(str_of(unknown.get(), "errcode"), "50600");
}

TEST_F(Catalogue, AlbumListOfAParentCategoryHoldsItsSubCategoriesAlbums) {
    Json page = api("/v2/album/list", "cid=100&sorttype=1&pagenum=1&pagesize=20&");
    const cJSON *result = result_of(page);
    expect_keys(result, {"haveNext", "nextPage", "havePre", "prePage", "currentPage", "count",
                         "sumPage", "pageSize", "dataList"});
    const cJSON *albums = cJSON_GetObjectItemCaseSensitive(result, "dataList");
    ASSERT_EQ(cJSON_GetArraySize(albums), 2);
    expect_keys(cJSON_GetArrayItem(albums, 0),
                {"source", "id", "listenNum", "name", "img", "sourceName"});
    EXPECT_EQ(int_of(cJSON_GetArrayItem(albums, 0), "id"), kBigAlbum);
}

TEST_F(Catalogue, TheThreePageAlbumPagesConsistently) {
    std::set<long long> seen;
    int page_number = 1;
    for (int guard = 0; guard < 5 && page_number > 0; ++guard) {
        Json page =
            api("/v2/audio/list",
                "aid=1100001&sorttype=1&pagesize=20&pagenum=" + std::to_string(page_number) + "&");
        const cJSON *result = result_of(page);
        ASSERT_NE(result, nullptr);
        EXPECT_EQ(int_of(result, "currentPage"), page_number);
        EXPECT_EQ(int_of(result, "count"), 60);
        EXPECT_EQ(int_of(result, "sumPage"), 3);
        EXPECT_EQ(int_of(result, "havePre"), page_number > 1 ? 1 : 0);
        EXPECT_EQ(int_of(result, "prePage"), page_number > 1 ? page_number - 1 : 0);
        const cJSON *audios = cJSON_GetObjectItemCaseSensitive(result, "dataList");
        EXPECT_EQ(cJSON_GetArraySize(audios), 20);
        const cJSON *audio = nullptr;
        cJSON_ArrayForEach(audio, audios) {
            EXPECT_TRUE(seen.insert(int_of(audio, "audioId")).second) << "audio repeated";
            EXPECT_EQ(int_of(audio, "audioId"),
                      kFirstAudio + static_cast<long long>(seen.size()) - 1);
        }
        page_number = int_of(result, "haveNext") ? static_cast<int>(int_of(result, "nextPage")) : 0;
    }
    EXPECT_EQ(seen.size(), 60u);
    Json beyond = api("/v2/audio/list", "aid=1100001&sorttype=1&pagesize=20&pagenum=4&");
    const cJSON *result = result_of(beyond);
    EXPECT_EQ(cJSON_GetArraySize(cJSON_GetObjectItemCaseSensitive(result, "dataList")), 0);
    EXPECT_EQ(int_of(result, "haveNext"), 0);
}

TEST_F(Catalogue, AnAudioIdLocatesThePageThatHoldsIt) {
    Json page = api("/v2/audio/list", "aid=1100001&audioid=3000000145&sorttype=1&pagesize=20&");
    const cJSON *result = result_of(page);
    EXPECT_EQ(int_of(result, "currentPage"), 3);
    EXPECT_EQ(int_of(result, "haveNext"), 0);
    EXPECT_EQ(int_of(result, "havePre"), 1);
    EXPECT_EQ(int_of(result, "prePage"), 2);
    const cJSON *first =
        cJSON_GetArrayItem(cJSON_GetObjectItemCaseSensitive(result, "dataList"), 0);
    EXPECT_EQ(int_of(first, "audioId"), 3000000141);

    Json reversed = api("/v2/audio/list", "aid=1100001&audioid=3000000145&sorttype=2&pagesize=20&");
    EXPECT_EQ(int_of(result_of(reversed), "currentPage"), 1);  // 16th from the end

    Json missing = api("/v2/audio/list", "aid=1100001&audioid=3000000201&sorttype=1&pagesize=20&");
    EXPECT_EQ(int_of(result_of(missing), "currentPage"), 1);
}

TEST_F(Catalogue, AudiosCarryEveryKeyAndIdsBeyond32Bits) {
    Json detail = api("/v2/audio/detail", "id=3000000101&");
    const cJSON *audio = result_of(detail);
    expect_keys(audio, {"audioName",     "audioPic",     "audioDes",      "albumName",
                        "albumPic",      "mp3PlayUrl32", "mp3PlayUrl64",  "aacPlayUrl",
                        "aacPlayUrl32",  "aacPlayUrl64", "aacPlayUrl128", "albumId",
                        "audioId",       "updateTime",   "aacFileSize",   "mp3FileSize32",
                        "mp3FileSize64", "orderNum",     "duration",      "originalDuration",
                        "listenNum",     "likedNum",     "hasCopyright",  "commentNum",
                        "trailerStart",  "trailerEnd",   "categoryId",    "isListened"});
    EXPECT_EQ(int_of(audio, "audioId"), kFirstAudio);
    EXPECT_EQ(int_of(audio, "albumId"), kBigAlbum);
    EXPECT_GE(int_of(audio, "duration"), 2000);
    EXPECT_LE(int_of(audio, "duration"), 5000);
    EXPECT_EQ(cJSON_GetObjectItemCaseSensitive(audio, "clockId"), nullptr);
    EXPECT_EQ(str_of(audio, "aacPlayUrl"),
              service().http_url() + "/media/audio/3000000101/aac_64.aac");
    EXPECT_EQ(str_of(api("/v2/audio/detail", "id=1&").get(), "errcode"), "50600");
}

TEST_F(Catalogue, AlbumDetailsAreAnArrayWithHostsAndKeywords) {
    Json detail = api("/v2/album/detail", "ids=1100001&");
    const cJSON *list = result_of(detail);
    ASSERT_EQ(cJSON_GetArraySize(list), 1);
    const cJSON *album = cJSON_GetArrayItem(list, 0);
    expect_keys(album,
                {"id",          "lastCheckDate", "followedNum",  "countNum",       "isOnline",
                 "listenNum",   "sortType",      "hasCopyright", "commentNum",     "type",
                 "isSubscribe", "name",          "img",          "desc",           "host",
                 "produce",     "status",        "updateDay",    "copyrightLabel", "keyWords"});
    EXPECT_EQ(int_of(album, "countNum"), 60);
    EXPECT_EQ(cJSON_GetArraySize(cJSON_GetObjectItemCaseSensitive(album, "keyWords")), 3);
    const cJSON *host = cJSON_GetArrayItem(cJSON_GetObjectItemCaseSensitive(album, "host"), 0);
    expect_keys(host, {"name", "des", "img"});
}

TEST_F(Catalogue, RecommendAndTopListsRankByListens) {
    Json recommend = api("/v2/album/recommend", "&");
    const cJSON *list = result_of(recommend);
    ASSERT_GE(cJSON_GetArraySize(list), 2);
    EXPECT_GE(int_of(cJSON_GetArrayItem(list, 0), "listenNum"),
              int_of(cJSON_GetArrayItem(list, 1), "listenNum"));
    Json top = api("/v2/album/top", "&type=hot&pagesize=2&pagenum=2&");
    const cJSON *result = result_of(top);
    EXPECT_EQ(int_of(result, "count"), 8);
    EXPECT_EQ(int_of(result, "sumPage"), 4);
    EXPECT_EQ(cJSON_GetArraySize(cJSON_GetObjectItemCaseSensitive(result, "dataList")), 2);
}

}  // namespace
}  // namespace rvmock_test
