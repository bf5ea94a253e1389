#include <array>
#include <memory>

#include "player/play_records.h"

namespace rv::play {
namespace {

constexpr std::array kAudioBeanTexts{
    RV_FIELD(dao_play_audio_bean, name, "name", String),
    RV_FIELD(dao_play_audio_bean, img, "img", String),
    RV_FIELD(dao_play_audio_bean, clockId, "clockId", String),
};

struct BeanDel {
    void operator()(dao_play_audio_bean *bean) const { dao_play_audio_bean_del(bean); }
};

// What every bean builder fills besides the texts.
struct BeanHead {
    int32_t type;
    int32_t paging;  // sortType, prePage and nextPage alike
};
constexpr BeanHead kAlbumHead{RV_RESOURCE_ALBUM, 1};
constexpr BeanHead kSmartcastHead{RV_RESOURCE_SMARTCAST, 0};
constexpr BeanHead kBroadcastHead{RV_RESOURCE_BROADCAST, 0};

// A bean from `source`: its id (and start audio) and the name and picture given by copies.
template <class Source, std::size_t N>
dao_play_audio_bean *make_bean(const Source *source, BeanHead head, int64_t Source::*id,
                               const std::array<Copy, N> &texts,
                               int64_t Source::*audio_id = nullptr) {
    if (source == nullptr) {
        return nullptr;
    }
    std::unique_ptr<dao_play_audio_bean, BeanDel> bean(dao_play_audio_bean_new());
    if (bean == nullptr || !copy_fields(source, bean.get(), texts)) {
        return nullptr;
    }
    bean->type = head.type;
    bean->id = source->*id;
    bean->audioId = audio_id != nullptr ? source->*audio_id : 0;
    bean->sortType = bean->prePage = bean->nextPage = head.paging;
    return bean.release();
}

// Name and picture: the resource's own ("name", "img") or, for an audio, its album's.
template <class Source>
constexpr std::array<Copy, 2> kNameImg{
    RV_COPY(Source, name, dao_play_audio_bean, name, Text),
    RV_COPY(Source, img, dao_play_audio_bean, img, Text),
};
constexpr std::array kAudioAlbumNameImg{
    RV_COPY(dao_audio, albumName, dao_play_audio_bean, name, Text),
    RV_COPY(dao_audio, albumPic, dao_play_audio_bean, img, Text),
};

}  // namespace

const json::RecordDesc kAudioBean{sizeof(dao_play_audio_bean), true, kAudioBeanTexts,
                                  json::free_as<kAudioBean>};

}  // namespace rv::play

RV_DAO_FUNCTIONS(dao_play_audio_bean, rv::play::kAudioBean)

using namespace rv::play;

dao_play_audio_bean *transformAlbumToPlayAudioBean(const dao_album *album) {
    return make_bean(album, kAlbumHead, &dao_album::id, kNameImg<dao_album>);
}

dao_play_audio_bean *transformAlbumInfoToPlayAudioBean(const dao_album_info *info) {
    return make_bean(info, kAlbumHead, &dao_album_info::id, kNameImg<dao_album_info>);
}

dao_play_audio_bean *transformAlbumAudioToPlayAudioBean(const dao_audio *audio) {
    return make_bean(audio, kAlbumHead, &dao_audio::albumId, kAudioAlbumNameImg,
                     &dao_audio::audioId);
}

dao_play_audio_bean *transformAlbumAudioSetToPlayAudioBean(const dao_audio_set *set,
                                                           int32_t index) {
    if (set == nullptr || set->list == nullptr || index < 0 ||
        static_cast<uint32_t>(index) >= ListLength(set->list)) {
        return nullptr;
    }
    const ListItem *node = ListAt(set->list, index);
    return node != nullptr
               ? transformAlbumAudioToPlayAudioBean(static_cast<dao_audio *>(node->data))
               : nullptr;
}

dao_play_audio_bean *transformSmartcastToPlayAudioBean(const dao_smartcast *smartcast) {
    return make_bean(smartcast, kSmartcastHead, &dao_smartcast::id, kNameImg<dao_smartcast>);
}

dao_play_audio_bean *transformBroadcastToPlayAudioBean(const dao_broadcast *broadcast) {
    return make_bean(broadcast, kBroadcastHead, &dao_broadcast::broadcastId,
                     kNameImg<dao_broadcast>);
}

dao_play_audio_bean *transformBroadcastInfoToPlayAudioBean(const dao_broadcast_info *info) {
    return make_bean(info, kBroadcastHead, &dao_broadcast_info::broadcastId,
                     kNameImg<dao_broadcast_info>);
}
