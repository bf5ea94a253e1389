#include <array>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "player/play_records.h"
#include "util/util.h"

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

#define RV_BROADCAST(from, to, kind) RV_COPY(dao_broadcast_info, from, dao_play_item, to, kind)
constexpr std::array kBroadcastCopies{
    RV_BROADCAST(name, albumName, Text),
    RV_BROADCAST(img, albumPic, Text),
    RV_BROADCAST(broadcastId, albumId, Long),
};
#undef RV_BROADCAST

// The status rule: what an item of a programme or broadcast plays, and whether it is live.
struct Playing {
    int32_t status;
    int32_t need_restart;
    const char *url;  // "" when there is nothing to play
};

Playing programme_playing(const dao_program &p) {
    if (p.status == 0 || p.status == 1) {
        return {RV_PLAY_STATUS_LIVE, 1, p.playUrl};
    }
    if (p.status == RV_PLAY_STATUS_PLAYBACK) {
        return {RV_PLAY_STATUS_PLAYBACK, 0, p.backLiveUrl};
    }
    return {p.status, 0, ""};  // future, or a status this SDK does not know
}

Playing broadcast_playing(const dao_broadcast_info &b) {
    return b.status == 1 ? Playing{RV_PLAY_STATUS_LIVE, 1, b.playUrl}
                         : Playing{RV_PLAY_STATUS_OFF_AIR, 0, ""};
}

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

// A new item with the copies applied and its resource type; null for a null source or
// when memory is short.
template <class Source, std::size_t N>
ItemPtr copied_item(const Source *source, const std::array<Copy, N> &copies, int32_t type) {
    if (source == nullptr) {
        return nullptr;
    }
    ItemPtr item(dao_play_item_new());
    if (item == nullptr || !copy_fields(source, item.get(), copies)) {
        return nullptr;
    }
    item->type = type;
    return item;
}

// A programme's or broadcast's item: the copies, then what the status rule says it plays.
template <class Source, std::size_t N>
ItemPtr live_item(const Source *source, const std::array<Copy, N> &copies,
                  Playing (*rule)(const Source &)) {
    ItemPtr item = copied_item(source, copies, RV_RESOURCE_BROADCAST);
    if (item == nullptr) {
        return nullptr;
    }
    const Playing playing = rule(*source);
    item->status = playing.status;
    item->needRestart = playing.need_restart;
    if (str_dup_ext(&item->playUrl, playing.url) != 0) {
        return nullptr;
    }
    return item;
}

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
    return rv::play::copied_item(audio, rv::play::kAudioCopies, RV_RESOURCE_AUDIO).release();
}

dao_play_item *transformProgramToPlayItem(const dao_program *program) {
    ItemPtr item =
        rv::play::live_item(program, rv::play::kProgramCopies, rv::play::programme_playing);
    if (item != nullptr) {
        item->duration = item->finishTime - item->startTime;
    }
    return item.release();
}

dao_play_item *transformBroadcastInfoToPlayItem(const dao_broadcast_info *info) {
    ItemPtr item =
        rv::play::live_item(info, rv::play::kBroadcastCopies, rv::play::broadcast_playing);
    if (item == nullptr || str_dup(&item->title, "暂无节目信息") != 0 ||
        str_dup(&item->beginTime, "00:00:00") != 0 || str_dup(&item->endTime, "23:59:59") != 0) {
        return nullptr;
    }
    return item.release();
}
