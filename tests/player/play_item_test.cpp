// Play items and beans: the field mapping of every builder, deep copies, and
// the set builder's bounds.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "rv_play_item.h"
#include "util/util.h"

namespace {

template <class T, void (*Del)(T *)>
struct Deleter {
    void operator()(T *p) const { Del(p); }
};
using Item = std::unique_ptr<dao_play_item, Deleter<dao_play_item, dao_play_item_del>>;
using Bean =
    std::unique_ptr<dao_play_audio_bean, Deleter<dao_play_audio_bean, dao_play_audio_bean_del>>;
using Audio = std::unique_ptr<dao_audio, Deleter<dao_audio, dao_audio_del>>;

char *dup(const char *s) {
    char *out = nullptr;
    str_dup(&out, s);
    return out;
}

std::string text(const char *s) {
    return s != nullptr ? s : "(null)";
}

// An audio whose every field holds a distinct value.
Audio full_audio(int64_t audio_id = 3000000101) {
    Audio a(dao_audio_new());
    a->audioName = dup("North Wind, part 1");
    a->audioPic = dup("http://h/a.png");
    a->audioDes = dup("Part 1");
    a->albumName = dup("Tales");
    a->albumPic = dup("http://h/al.png");
    a->mp3PlayUrl32 = dup("http://h/m32.mp3");
    a->mp3PlayUrl64 = dup("http://h/m64.mp3");
    a->aacPlayUrl = dup("http://h/a.aac");
    a->aacPlayUrl32 = dup("http://h/a32.aac");
    a->aacPlayUrl64 = dup("http://h/a64.aac");
    a->aacPlayUrl128 = dup("http://h/a128.aac");
    a->clockId = dup("clock-9");
    a->albumId = 1100001;
    a->audioId = audio_id;
    a->updateTime = 1764547200000;
    a->aacFileSize = 16000;
    a->mp3FileSize32 = 8000;
    a->mp3FileSize64 = 16001;
    a->orderNum = 4;
    a->duration = 1999;
    a->originalDuration = 2000;
    a->listenNum = 5;
    a->likedNum = 6;
    a->hasCopyright = 1;
    a->commentNum = 7;
    a->trailerStart = 8;
    a->trailerEnd = 9;
    a->categoryId = 101;
    a->isListened = 1;
    return a;
}

TEST(PlayItem, AudioMapsEveryFieldOfItsColumn) {
    Audio a = full_audio();
    Item item(transformAudioToPlayItem(a.get()));
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(text(item->audioName), "North Wind, part 1");
    EXPECT_EQ(text(item->audioPic), "http://h/a.png");
    EXPECT_EQ(text(item->audioDes), "Part 1");
    EXPECT_EQ(item->radioName, nullptr);
    EXPECT_EQ(text(item->albumName), "Tales");
    EXPECT_EQ(text(item->albumPic), "http://h/al.png");
    EXPECT_EQ(text(item->mp3PlayUrl32), "http://h/m32.mp3");
    EXPECT_EQ(text(item->mp3PlayUrl64), "http://h/m64.mp3");
    EXPECT_EQ(text(item->aacPlayUrl), "http://h/a.aac");
    EXPECT_EQ(text(item->aacPlayUrl32), "http://h/a32.aac");
    EXPECT_EQ(text(item->aacPlayUrl64), "http://h/a64.aac");
    EXPECT_EQ(text(item->aacPlayUrl128), "http://h/a128.aac");
    EXPECT_EQ(text(item->clockId), "clock-9");
    EXPECT_EQ(text(item->playUrl), "http://h/a.aac");
    EXPECT_EQ(text(item->title), "North Wind, part 1");
    EXPECT_EQ(item->beginTime, nullptr);
    EXPECT_EQ(item->endTime, nullptr);
    EXPECT_EQ(item->albumId, 1100001);
    EXPECT_EQ(item->updateTime, 1764547200000);
    EXPECT_EQ(item->audioId, 3000000101);
    EXPECT_EQ(item->duration, 2000);  // originalDuration, not duration
    EXPECT_EQ(item->startTime, 0);
    EXPECT_EQ(item->finishTime, 0);
    EXPECT_EQ(item->reserved64, 0);
    EXPECT_EQ(item->orderNum, 4);
    EXPECT_EQ(item->originalDuration, 2000);
    EXPECT_EQ(item->listenNum, 5);
    EXPECT_EQ(item->likedNum, 6);
    EXPECT_EQ(item->hasCopyright, 1);
    EXPECT_EQ(item->commentNum, 7);
    EXPECT_EQ(item->categoryId, 101);
    EXPECT_EQ(item->reserved32a, 0);
    EXPECT_EQ(item->isListened, 1);
    EXPECT_EQ(item->status, 0);
    EXPECT_EQ(item->needRestart, 0);
    EXPECT_EQ(item->reserved32b, 0);
    EXPECT_EQ(item->type, RV_RESOURCE_AUDIO);
    // Own copies: the audio can go.
    EXPECT_NE(item->playUrl, a->aacPlayUrl);
    EXPECT_NE(item->title, a->audioName);
    a.reset();
    EXPECT_EQ(text(item->playUrl), "http://h/a.aac");
}

TEST(PlayItem, AudioDurationIsWidenedAndNullTextsStayNull) {
    Audio a(dao_audio_new());
    a->originalDuration = INT32_MAX;
    Item item(transformAudioToPlayItem(a.get()));
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->duration, INT32_MAX);
    EXPECT_EQ(item->playUrl, nullptr);
    EXPECT_EQ(item->title, nullptr);
    a->originalDuration = -5;
    Item negative(transformAudioToPlayItem(a.get()));
    EXPECT_EQ(negative->duration, -5);
    EXPECT_EQ(transformAudioToPlayItem(nullptr), nullptr);
}

TEST(PlayItem, DupCopiesEveryTextAndNumber) {
    Audio a = full_audio();
    Item item(transformAudioToPlayItem(a.get()));
    item->radioName = dup("Radio");
    item->beginTime = dup("08:00:00");
    item->endTime = dup("09:00:00");
    item->startTime = 11;
    item->finishTime = 12;
    item->reserved64 = 13;
    item->reserved32a = 14;
    item->status = 2;
    item->needRestart = 1;
    item->reserved32b = 15;
    Item copy(dao_play_item_dup(item.get()));
    ASSERT_NE(copy, nullptr);
    char *const *texts = &item->audioName;
    char *const *copies = &copy->audioName;
    for (int i = 0; i < 17; ++i) {
        if (texts[i] == nullptr) {
            EXPECT_EQ(copies[i], nullptr) << i;
            continue;
        }
        EXPECT_NE(copies[i], texts[i]) << i;
        EXPECT_STREQ(copies[i], texts[i]) << i;
    }
    const auto numbers = offsetof(dao_play_item, albumId);
    EXPECT_EQ(memcmp(reinterpret_cast<const char *>(item.get()) + numbers,
                     reinterpret_cast<const char *>(copy.get()) + numbers,
                     sizeof(dao_play_item) - numbers),
              0);
    item.reset();  // the copy owns its own texts
    EXPECT_STREQ(copy->endTime, "09:00:00");
    EXPECT_EQ(dao_play_item_dup(nullptr), nullptr);
}

TEST(PlayItem, NewRecordsAreZeroAndDelAcceptsNull) {
    Item item(dao_play_item_new());
    dao_play_item zero{};
    EXPECT_EQ(memcmp(item.get(), &zero, sizeof zero), 0);
    std::unique_ptr<dao_play_audio_item, Deleter<dao_play_audio_item, dao_play_audio_item_del>>
        audio_item(dao_play_audio_item_new());
    ASSERT_NE(audio_item, nullptr);
    EXPECT_EQ(audio_item->name, nullptr);
    EXPECT_EQ(audio_item->exhausted, 0);
    audio_item->name = dup("n");  // freed by _del (ASan checks)
    audio_item->clockId = dup("c");
    audio_item->reservedText = dup("r");
    dao_play_item_del(nullptr);
    dao_play_audio_bean_del(nullptr);
    dao_play_audio_item_del(nullptr);
}

// --- Beans ----------------------------------------------------------------------

void expect_bean(const dao_play_audio_bean *bean, int32_t type, int64_t id, int64_t audio_id,
                 int32_t paging, const char *name, const char *img) {
    ASSERT_NE(bean, nullptr);
    EXPECT_EQ(bean->type, type);
    EXPECT_EQ(bean->id, id);
    EXPECT_EQ(bean->audioId, audio_id);
    EXPECT_EQ(bean->sortType, paging);
    EXPECT_EQ(bean->prePage, paging);
    EXPECT_EQ(bean->nextPage, paging);
    EXPECT_EQ(text(bean->name), text(name));
    EXPECT_EQ(text(bean->img), text(img));
    EXPECT_EQ(bean->clockId, nullptr);
}

TEST(AudioBean, AlbumAndAlbumInfoStartTheAlbum) {
    std::unique_ptr<dao_album, Deleter<dao_album, dao_album_del>> album(dao_album_new());
    album->id = 1100001;
    album->name = dup("Tales");
    album->img = dup("http://h/al.png");
    Bean bean(transformAlbumToPlayAudioBean(album.get()));
    expect_bean(bean.get(), 0, 1100001, 0, 1, "Tales", "http://h/al.png");
    EXPECT_NE(bean->name, album->name);

    std::unique_ptr<dao_album_info, Deleter<dao_album_info, dao_album_info_del>> info(
        dao_album_info_new());
    info->id = 1100002;
    info->name = dup("Songs");
    Bean from_info(transformAlbumInfoToPlayAudioBean(info.get()));
    expect_bean(from_info.get(), 0, 1100002, 0, 1, "Songs", nullptr);

    EXPECT_EQ(transformAlbumToPlayAudioBean(nullptr), nullptr);
    EXPECT_EQ(transformAlbumInfoToPlayAudioBean(nullptr), nullptr);
}

TEST(AudioBean, AnAudioStartsItsAlbumAtIt) {
    Audio a = full_audio();
    Bean bean(transformAlbumAudioToPlayAudioBean(a.get()));
    expect_bean(bean.get(), 0, 1100001, 3000000101, 1, "Tales", "http://h/al.png");
    EXPECT_EQ(transformAlbumAudioToPlayAudioBean(nullptr), nullptr);
}

TEST(AudioBean, SetBuilderTakesTheAudioAtTheIndexWithinBounds) {
    std::unique_ptr<dao_audio_set, Deleter<dao_audio_set, dao_audio_set_del>> set(
        dao_audio_set_new());
    EXPECT_EQ(transformAlbumAudioSetToPlayAudioBean(set.get(), 0), nullptr);  // no list
    set->list = ListNew(reinterpret_cast<ListFreeItem>(dao_audio_del));
    EXPECT_EQ(transformAlbumAudioSetToPlayAudioBean(set.get(), 0), nullptr);  // empty
    for (int64_t id : {3000000101, 3000000102, 3000000103}) {
        ListAppend(set->list, full_audio(id).release());
    }
    for (int32_t i = 0; i < 3; ++i) {
        Bean bean(transformAlbumAudioSetToPlayAudioBean(set.get(), i));
        expect_bean(bean.get(), 0, 1100001, 3000000101 + i, 1, "Tales", "http://h/al.png");
    }
    EXPECT_EQ(transformAlbumAudioSetToPlayAudioBean(set.get(), 3), nullptr);
    EXPECT_EQ(transformAlbumAudioSetToPlayAudioBean(set.get(), -1), nullptr);
    EXPECT_EQ(transformAlbumAudioSetToPlayAudioBean(set.get(), INT32_MIN), nullptr);
    EXPECT_EQ(transformAlbumAudioSetToPlayAudioBean(nullptr, 0), nullptr);
    ListPrepend(set->list, nullptr);  // a null entry
    EXPECT_EQ(transformAlbumAudioSetToPlayAudioBean(set.get(), 0), nullptr);
}

// --- Programmes and broadcasts ---------------------------------------------------------

using Program = std::unique_ptr<dao_program, Deleter<dao_program, dao_program_del>>;
using BroadcastInfo =
    std::unique_ptr<dao_broadcast_info, Deleter<dao_broadcast_info, dao_broadcast_info_del>>;

Program programme(int32_t status) {
    Program p(dao_program_new());
    p->programId = 5001;
    p->broadcastId = 1003;
    p->nextProgramId = 5002;
    p->preProgramId = 5000;
    p->startTime = 1765267200000;
    p->finishTime = 1765270800000;
    p->status = status;
    p->title = dup("Morning News");
    p->backLiveUrl = dup("http://h/back.m3u8");
    p->playUrl = dup("http://h/live.aac");
    p->comperes = dup("Ada");
    p->beginTime = dup("08:00:00");
    p->endTime = dup("09:00:00");
    p->desc = dup("d");
    p->broadcastName = dup("City FM");
    p->broadcastImg = dup("http://h/fm.png");
    return p;
}

TEST(PlayItem, ProgrammeMapsItsColumn) {
    Program p = programme(1);
    Item item(transformProgramToPlayItem(p.get()));
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(text(item->albumName), "City FM");
    EXPECT_EQ(text(item->albumPic), "http://h/fm.png");
    EXPECT_EQ(text(item->title), "Morning News");
    EXPECT_EQ(text(item->beginTime), "08:00:00");
    EXPECT_EQ(text(item->endTime), "09:00:00");
    EXPECT_EQ(item->albumId, 1003);
    EXPECT_EQ(item->audioId, 5001);
    EXPECT_EQ(item->startTime, 1765267200000);
    EXPECT_EQ(item->finishTime, 1765270800000);
    EXPECT_EQ(item->duration, 3600000);
    EXPECT_EQ(item->type, RV_RESOURCE_BROADCAST);
    for (char *const *t : {&item->audioName, &item->audioPic, &item->audioDes, &item->radioName,
                           &item->mp3PlayUrl32, &item->aacPlayUrl, &item->clockId}) {
        EXPECT_EQ(*t, nullptr);
    }
    EXPECT_EQ(item->updateTime, 0);
    EXPECT_EQ(item->originalDuration, 0);
    EXPECT_EQ(transformProgramToPlayItem(nullptr), nullptr);
}

TEST(PlayItem, ProgrammeStatusDecidesWhatPlays) {
    struct Case {
        int32_t programme;
        int32_t status;
        int32_t need_restart;
        const char *url;
    };
    for (const Case &c : {Case{0, 1, 1, "http://h/live.aac"}, Case{1, 1, 1, "http://h/live.aac"},
                          Case{2, 2, 0, "http://h/back.m3u8"}, Case{3, 3, 0, ""}, Case{4, 4, 0, ""},
                          Case{-1, -1, 0, ""}}) {
        Program p = programme(c.programme);
        Item item(transformProgramToPlayItem(p.get()));
        ASSERT_NE(item, nullptr);
        EXPECT_EQ(item->status, c.status) << c.programme;
        EXPECT_EQ(item->needRestart, c.need_restart) << c.programme;
        EXPECT_EQ(text(item->playUrl), c.url) << c.programme;
    }
    Program live = programme(1);
    free(live->playUrl);
    live->playUrl = nullptr;  // a live programme without a URL has none to play
    Item item(transformProgramToPlayItem(live.get()));
    EXPECT_EQ(item->playUrl, nullptr);
}

TEST(PlayItem, BroadcastIsOneAllDayItem) {
    for (int32_t status : {1, 0, 2}) {
        BroadcastInfo b(dao_broadcast_info_new());
        b->broadcastId = 1003;
        b->status = status;
        b->name = dup("City FM");
        b->img = dup("http://h/fm.png");
        b->playUrl = dup("http://h/live.aac");
        Item item(transformBroadcastInfoToPlayItem(b.get()));
        ASSERT_NE(item, nullptr);
        EXPECT_EQ(text(item->albumName), "City FM");
        EXPECT_EQ(text(item->albumPic), "http://h/fm.png");
        EXPECT_EQ(text(item->title), "暂无节目信息");
        EXPECT_EQ(text(item->beginTime), "00:00:00");
        EXPECT_EQ(text(item->endTime), "23:59:59");
        EXPECT_EQ(item->albumId, 1003);
        EXPECT_EQ(item->audioId, 0);
        EXPECT_EQ(item->duration, 0);
        EXPECT_EQ(item->startTime, 0);
        EXPECT_EQ(item->finishTime, 0);
        EXPECT_EQ(item->type, RV_RESOURCE_BROADCAST);
        EXPECT_EQ(item->status, status == 1 ? 1 : 3);
        EXPECT_EQ(item->needRestart, status == 1 ? 1 : 0);
        EXPECT_EQ(text(item->playUrl), status == 1 ? "http://h/live.aac" : "");
    }
    EXPECT_EQ(transformBroadcastInfoToPlayItem(nullptr), nullptr);
}

TEST(AudioBean, SmartcastsAndBroadcastsStartWithoutPaging) {
    std::unique_ptr<dao_smartcast, Deleter<dao_smartcast, dao_smartcast_del>> radio(
        dao_smartcast_new());
    radio->id = 2001;
    radio->name = dup("Morning Mix");
    radio->img = dup("http://h/mix.png");
    Bean from_radio(transformSmartcastToPlayAudioBean(radio.get()));
    expect_bean(from_radio.get(), 3, 2001, 0, 0, "Morning Mix", "http://h/mix.png");

    std::unique_ptr<dao_broadcast, Deleter<dao_broadcast, dao_broadcast_del>> broadcast(
        dao_broadcast_new());
    broadcast->broadcastId = 1003;
    broadcast->name = dup("City FM");
    Bean from_broadcast(transformBroadcastToPlayAudioBean(broadcast.get()));
    expect_bean(from_broadcast.get(), 11, 1003, 0, 0, "City FM", nullptr);

    BroadcastInfo info(dao_broadcast_info_new());
    info->broadcastId = 1004;
    info->img = dup("http://h/fm.png");
    Bean from_info(transformBroadcastInfoToPlayAudioBean(info.get()));
    expect_bean(from_info.get(), 11, 1004, 0, 0, nullptr, "http://h/fm.png");

    EXPECT_EQ(transformSmartcastToPlayAudioBean(nullptr), nullptr);
    EXPECT_EQ(transformBroadcastToPlayAudioBean(nullptr), nullptr);
    EXPECT_EQ(transformBroadcastInfoToPlayAudioBean(nullptr), nullptr);
}

}  // namespace
