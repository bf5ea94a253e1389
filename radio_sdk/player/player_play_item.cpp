#include <array>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "player/play_records.h"
#include "rv_util.h"

namespace rv::play {
namespace {

#define RV_ITEM_TEXT(member) RV_FIELD(dao_play_item, member, #member, String)
constexpr std::array kPlayItemTexts{
    RV_ITEM_TEXT(audioName),    RV_ITEM_TEXT(audioPic),     RV_ITEM_TEXT(audioDes),
    RV_ITEM_TEXT(radioName),    RV_ITEM_TEXT(albumName),    RV_ITEM_TEXT(albumPic),
    RV_ITEM_TEXT(mp3PlayUrl32), RV_ITEM_TEXT(mp3PlayUrl64), RV_ITEM_TEXT(aacPlayUrl),
    RV_ITEM_TEXT(aacPlayUrl32), RV_ITEM_TEXT(aacPlayUrl64), RV_ITEM_TEXT(aacPlayUrl128),
    RV_ITEM_TEXT(clockId),      RV_ITEM_TEXT(playUrl),      RV_ITEM_TEXT(title),
    RV_ITEM_TEXT(beginTime),    RV_ITEM_TEXT(endTime),
};
#undef RV_ITEM_TEXT
static_assert(kPlayItemTexts.size() == 17);

#define RV_AUDIO(from, to, kind) RV_COPY(dao_audio, from, dao_play_item, to, kind)
constexpr std::array kAudioCopies{
    RV_AUDIO(audioName, audioName, Text),
    RV_AUDIO(audioPic, audioPic, Text),
    RV_AUDIO(audioDes, audioDes, Text),
    RV_AUDIO(albumName, albumName, Text),
    RV_AUDIO(albumPic, albumPic, Text),
    RV_AUDIO(mp3PlayUrl32, mp3PlayUrl32, Text),
    RV_AUDIO(mp3PlayUrl64, mp3PlayUrl64, Text),
    RV_AUDIO(aacPlayUrl, aacPlayUrl, Text),
    RV_AUDIO(aacPlayUrl32, aacPlayUrl32, Text),
    RV_AUDIO(aacPlayUrl64, aacPlayUrl64, Text),
    RV_AUDIO(aacPlayUrl128, aacPlayUrl128, Text),
    RV_AUDIO(clockId, clockId, Text),
    RV_AUDIO(aacPlayUrl, playUrl, Text),
    RV_AUDIO(audioName, title, Text),
    RV_AUDIO(albumId, albumId, Long),
    RV_AUDIO(updateTime, updateTime, Long),
    RV_AUDIO(audioId, audioId, Long),
    RV_AUDIO(originalDuration, duration, IntToLong),
    RV_AUDIO(orderNum, orderNum, Int),
    RV_AUDIO(originalDuration, originalDuration, Int),
    RV_AUDIO(listenNum, listenNum, Int),
    RV_AUDIO(likedNum, likedNum, Int),
    RV_AUDIO(hasCopyright, hasCopyright, Int),
    RV_AUDIO(commentNum, commentNum, Int),
    RV_AUDIO(categoryId, categoryId, Int),
    RV_AUDIO(isListened, isListened, Int),
};
#undef RV_AUDIO

#define RV_PROGRAM(from, to, kind) RV_COPY(dao_program, from, dao_play_item, to, kind)
constexpr std::array kProgramCopies{
    RV_PROGRAM(broadcastName, albumName, Text),
    RV_PROGRAM(broadcastImg, albumPic, Text),
    RV_PROGRAM(title, title, Text),
    RV_PROGRAM(beginTime, beginTime, Text),
    RV_PROGRAM(endTime, endTime, Text),
    RV_PROGRAM(broadcastId, albumId, Long),
    RV_PROGRAM(programId, audioId, Long),
    RV_PROGRAM(startTime, startTime, Long),
    RV_PROGRAM(finishTime, finishTime, Long),
};
#undef RV_PROGRAM

#define RV_BROADCAST(from, to) RV_COPY(dao_broadcast_info, from, dao_play_item, to, Text)
constexpr std::array kBroadcastInfoCopies{
    RV_BROADCAST(name, albumName),
    RV_BROADCAST(img, albumPic),
};
#undef RV_BROADCAST

template <class T>
T &at(void *record, std::size_t offset) {
    return *reinterpret_cast<T *>(static_cast<char *>(record) + offset);
}
template <class T>
const T &at(const void *record, std::size_t offset) {
    return *reinterpret_cast<const T *>(static_cast<const char *>(record) + offset);
}

struct ItemDel {
    void operator()(dao_play_item *item) const { dao_play_item_del(item); }
};
using ItemPtr = std::unique_ptr<dao_play_item, ItemDel>;

}  // namespace

const json::RecordDesc kPlayItem{sizeof(dao_play_item), true, kPlayItemTexts,
                                 json::free_as<kPlayItem>};

bool copy_fields(const void *source, void *target, std::span<const Copy> copies) {
    for (const Copy &c : copies) {
        switch (c.kind) {
            case Copy::Kind::Text:
                if (str_dup_ext(&at<char *>(target, c.to), at<char *>(source, c.from)) != 0) {
                    return false;
                }
                break;
            case Copy::Kind::Long:
                at<int64_t>(target, c.to) = at<int64_t>(source, c.from);
                break;
            case Copy::Kind::Int:
                at<int32_t>(target, c.to) = at<int32_t>(source, c.from);
                break;
            case Copy::Kind::IntToLong:
                at<int64_t>(target, c.to) = at<int32_t>(source, c.from);
                break;
        }
    }
    return true;
}

}  // namespace rv::play

using rv::play::ItemPtr;

namespace {

// A new item holding the copies from `source`; null for a null source or when
// memory is short.
template <class Source, std::size_t N>
ItemPtr copied_item(const Source *source, const std::array<rv::play::Copy, N> &copies) {
    if (source == nullptr) {
        return nullptr;
    }
    ItemPtr item(dao_play_item_new());
    if (item == nullptr || !rv::play::copy_fields(source, item.get(), copies)) {
        return nullptr;
    }
    return item;
}

// Status, restart mark and play URL of a programme or broadcast: live items play
// `live_url` and restart at the live point after a pause, past programmes play
// `back_url`, anything else has nothing to play.
bool set_playback(dao_play_item *item, int32_t status, const char *live_url, const char *back_url) {
    item->status = status;
    item->needRestart = status == RV_PLAY_STATUS_LIVE ? 1 : 0;
    const char *url = status == RV_PLAY_STATUS_LIVE       ? live_url
                      : status == RV_PLAY_STATUS_PLAYBACK ? back_url
                                                          : "";
    item->type = RV_RESOURCE_BROADCAST;
    return str_dup_ext(&item->playUrl, url) == 0;
}

}  // namespace

RV_DAO_FUNCTIONS(dao_play_item, rv::play::kPlayItem)

dao_play_item *dao_play_item_dup(const dao_play_item *item) {
    if (item == nullptr) {
        return nullptr;
    }
    ItemPtr copy(static_cast<dao_play_item *>(malloc(sizeof(dao_play_item))));
    if (copy == nullptr) {
        return nullptr;
    }
    *copy = *item;
    // Own nothing yet, so that a failed copy frees only what was copied.
    for (const rv::json::Field &f : rv::play::kPlayItemTexts) {
        rv::play::at<char *>(copy.get(), f.offset) = nullptr;
    }
    for (const rv::json::Field &f : rv::play::kPlayItemTexts) {
        if (str_dup_ext(&rv::play::at<char *>(copy.get(), f.offset),
                        rv::play::at<char *>(item, f.offset)) != 0) {
            return nullptr;
        }
    }
    return copy.release();
}

dao_play_item *transformAudioToPlayItem(const dao_audio *audio) {
    ItemPtr item = copied_item(audio, rv::play::kAudioCopies);
    if (item == nullptr) {
        return nullptr;
    }
    item->type = RV_RESOURCE_AUDIO;
    return item.release();
}

dao_play_item *transformProgramToPlayItem(const dao_program *program) {
    ItemPtr item = copied_item(program, rv::play::kProgramCopies);
    if (item == nullptr) {
        return nullptr;
    }
    item->duration = program->finishTime - program->startTime;
    const int32_t status =
        program->status < RV_PLAY_STATUS_PLAYBACK ? RV_PLAY_STATUS_LIVE : program->status;
    return set_playback(item.get(), status, program->playUrl, program->backLiveUrl) ? item.release()
                                                                                    : nullptr;
}

dao_play_item *transformBroadcastInfoToPlayItem(const dao_broadcast_info *info) {
    ItemPtr item = copied_item(info, rv::play::kBroadcastInfoCopies);
    if (item == nullptr || str_dup_ext(&item->title, "暂无节目信息") != 0 ||
        str_dup_ext(&item->beginTime, "00:00:00") != 0 ||
        str_dup_ext(&item->endTime, "23:59:59") != 0) {
        return nullptr;
    }
    item->albumId = info->broadcastId;
    const int32_t status =
        info->status == RV_PLAY_STATUS_LIVE ? RV_PLAY_STATUS_LIVE : RV_PLAY_STATUS_OFF_AIR;
    return set_playback(item.get(), status, info->playUrl, nullptr) ? item.release() : nullptr;
}
