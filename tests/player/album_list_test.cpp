// The album play list on its own: adding pages, finding items, the index, and
// fetches that cannot be made; and the album player's controls before it owns
// the engine. No service and no engine.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "player/player_album_audio_item_list.h"
#include "player/player_album_audio_list.h"
#include "player/player_album_manager.h"
#include "player/player_manager.h"
#include "request/sdk_fixture.h"

namespace {

dao_play_item *item_of(int64_t audio_id) {
    dao_play_item *item = dao_play_item_new();
    item->audioId = audio_id;
    return item;
}

List *page_of(std::initializer_list<int64_t> ids) {
    List *list = ListNew(reinterpret_cast<ListFreeItem>(dao_play_item_del));
    for (int64_t id : ids) {
        ListAppend(list, item_of(id));
    }
    return list;
}

std::vector<int64_t> ids() {
    std::vector<int64_t> out;
    for (int32_t i = 0; i < album_getPlayListSize(); ++i) {
        out.push_back(album_getPlayItem(i)->audioId);
    }
    return out;
}

struct Outcomes {
    static int ready;
    static int unavailable;
    static void on_ready(dao_play_item *) { ++ready; }
    static void on_unavailable(void *unused) {
        EXPECT_EQ(unused, nullptr);
        ++unavailable;
    }
};
int Outcomes::ready = 0;
int Outcomes::unavailable = 0;
FetchPlaylistListener g_listener{Outcomes::on_ready, Outcomes::on_unavailable};

class AlbumList : public ::testing::Test {
  protected:
    void SetUp() override {
        initPlayerManager();
        ASSERT_EQ(initPlayerAlbumAudioList(), 1);
        Outcomes::ready = Outcomes::unavailable = 0;
    }
    void TearDown() override {
        destoryPlayerAlbumAudioList();
        destroyPlayerManager();
    }
    rv::test::LogCapture log_;
};

TEST_F(AlbumList, PagesAreAppendedOrPutInFrontAndTheIndexFollowsOnlyWhenAsked) {
    addPlaylist(page_of({3, 4}));
    addPlaylist(nullptr);
    addPlaylistToHeader(page_of({1, 2}));
    EXPECT_EQ(ids(), (std::vector<int64_t>{1, 2, 3, 4}));
    EXPECT_EQ(album_getCurPlayItemIndex(), 0);  // not moved by the new front page

    album_setCurPlayItemIndex(3);
    EXPECT_EQ(album_getCurPlayItem()->audioId, 4);
    album_setCurPlayItemIndex(4);  // past the end: ignored
    album_setCurPlayItemIndex(-1);
    EXPECT_EQ(album_getCurPlayItemIndex(), 3);

    dao_play_item *probe = item_of(2);
    addPlaylist(page_of({2}));  // the same audio twice: the last one counts
    EXPECT_EQ(album_getPlayItemIndex(probe), 4);
    album_updateCurPlayItemIndex(probe);
    EXPECT_EQ(album_getCurPlayItemIndex(), 4);
    probe->audioId = 99;
    EXPECT_EQ(album_getPlayItemIndex(probe), -1);
    album_updateCurPlayItemIndex(probe);  // no match: unchanged
    album_updateCurPlayItemIndex(nullptr);
    EXPECT_EQ(album_getCurPlayItemIndex(), 4);
    EXPECT_EQ(album_getPlayItemIndex(nullptr), -1);
    dao_play_item_del(probe);

    album_clearPlayList();
    EXPECT_EQ(album_getPlayListSize(), 0);
    EXPECT_EQ(album_getCurPlayItemIndex(), 0);
    EXPECT_EQ(album_getCurPlayItem(), nullptr);
    EXPECT_EQ(album_getPlayItem(0), nullptr);
}

TEST_F(AlbumList, AListOfOtherRecordsIsRefused) {
    addPlaylist(page_of({1}));
    List *foreign = ListNew(free);
    ListAppend(foreign, strdup("not a play item"));
    addPlaylist(foreign);  // taken and freed, not added
    List *foreign_front = ListNew(free);
    ListAppend(foreign_front, strdup("nor this"));
    addPlaylistToHeader(foreign_front);
    EXPECT_EQ(ids(), std::vector<int64_t>{1});
    EXPECT_EQ(log_.count("list type \n"), 2);
}

TEST_F(AlbumList, FetchesWithNothingToAskReportUnavailableAtOnce) {
    album_fetchPlaylist(&g_listener, nullptr);  // no resource
    EXPECT_EQ(Outcomes::unavailable, 1);

    dao_play_audio_item *resource = dao_play_audio_item_new();
    resource->type = RV_RESOURCE_ALBUM;
    resource->exhausted = 1;
    album_setCurPlayAudioItem(resource);
    album_fetchMorePlaylist(&g_listener, nullptr);
    EXPECT_EQ(Outcomes::unavailable, 2);

    // An album without a later page: no request, but an outcome all the same.
    resource->exhausted = 0;
    resource->forward = 1;
    album_fetchMorePlaylist(&g_listener, nullptr);
    EXPECT_EQ(Outcomes::unavailable, 3);
    // A resource type the album player does not page.
    resource->type = RV_RESOURCE_BROADCAST;
    resource->haveNext = 1;
    album_fetchMorePlaylist(&g_listener, nullptr);
    EXPECT_EQ(Outcomes::unavailable, 4);
    EXPECT_EQ(Outcomes::ready, 0);
    album_fetchMorePlaylist(nullptr, nullptr);  // no listener: nothing to call
}

TEST_F(AlbumList, ThePlayerRefusesControlsUntilItOwnsTheEngine) {
    ASSERT_FALSE(album_isPlayerEnable());
    album_play();
    album_pause();
    album_seek(1000);
    album_playNext();
    album_playPre();
    album_switchPlayerStatus();
    EXPECT_FALSE(album_isPlaying());
    EXPECT_FALSE(album_canSeek());
    EXPECT_FALSE(album_hasNext());
    EXPECT_FALSE(album_hasPre());
    EXPECT_EQ(log_.count("The Player Was Not Enabled Yet !!! \n"), 10);
    album_disablePlayer();  // not enabled: nothing, not even the warning
    EXPECT_EQ(log_.count("The Player Was Not Enabled Yet !!! \n"), 10);
    album_playByAudioBean(nullptr);
    EXPECT_EQ(log_.count("The AudioBean Is Invalid, So Can Not Start Play... \n"), 1);
    album_playByPlayItem(nullptr);
    EXPECT_EQ(log_.count("The PlayItem Is Invalid, So Can Not Start Play... \n"), 1);
    album_startPlayItem(nullptr);
    EXPECT_EQ(log_.count("The PlayItem Is Invalid, So Abandon Left Operations ... \n"), 1);
    EXPECT_EQ(log_.count("Call func album_play() \n"), 1);
}

}  // namespace
