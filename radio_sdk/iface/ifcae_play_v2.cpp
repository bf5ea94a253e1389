#include "iface/ifcae_play_v2.h"

#include <algorithm>
#include <string_view>

#include "player/bcast_play_manager.h"
#include "player/ijk_media_player.h"
#include "player/player_manager.h"
#include "rv_error.h"
#include "util/debug.h"

std::atomic<int32_t> mCurPlayerType{kPlayerTypeNone};

namespace {

constexpr const char *kTag = "IFACE_V2";

// The speed rv_setPlaybackSpeed took last; the engine keeps it for every later item.
std::atomic<float> s_speed{1.0f};

// The installed tables, by player type.
std::atomic<const play_manager_ops *> s_managers[2] = {nullptr, nullptr};

const play_manager_ops *manager_of(int32_t type) {
    return type == kPlayerTypeAlbum || type == kPlayerTypeBroadcast ? s_managers[type].load()
                                                                    : nullptr;
}

// The player the control functions reach: the owner of the engine (whichever
// player took it last, so what is heard can always be paused and stopped),
// else the one chosen by the last play-start call.
int32_t target_type() {
    const int32_t owner = player_engine_owner();
    return owner >= 0 ? owner : mCurPlayerType.load();
}

// The table of player `type` when it offers `Op`; otherwise logs and gives null.
template <auto Op>
const play_manager_ops *offering(int32_t type = target_type()) {
    const play_manager_ops *ops = manager_of(type);
    if (ops == nullptr || ops->*Op == nullptr) {
        LOGE(kTag, "Unknown Player Type ! \n");
        return nullptr;
    }
    return ops;
}

template <auto Op, class Result, class... Args>
Result forward(const char *name, Result none, Args... args) {
    LOGD(kTag, "CALL API [%s] \n", name);
    const play_manager_ops *ops = offering<Op>();
    return ops != nullptr ? (ops->*Op)(args...) : none;
}

template <auto Op, class... Args>
void forward_void(const char *name, Args... args) {
    LOGD(kTag, "CALL API [%s] \n", name);
    if (const play_manager_ops *ops = offering<Op>()) {
        (ops->*Op)(args...);
    }
}

// The player type that plays a resource type, or none.
int32_t player_for(int32_t resource_type) {
    switch (resource_type) {
        case RV_RESOURCE_ALBUM:
        case RV_RESOURCE_AUDIO:
        case RV_RESOURCE_SMARTCAST:
            return kPlayerTypeAlbum;
        case RV_RESOURCE_BROADCAST:
            return kPlayerTypeBroadcast;
        default:
            return kPlayerTypeNone;
    }
}

// The play-start path shared by beans and items: choose the player, then forward.
template <auto Op, class Record>
void play_start(const char *name, const char *null_line, Record *record) {
    LOGD(kTag, "CALL API [%s] \n", name);
    if (record == nullptr) {
        LOGE(kTag, "%s", null_line);
        return;
    }
    const int32_t type = player_for(record->type);
    if (type == kPlayerTypeNone) {
        LOGE(kTag, "Unknown Resource Type ! \n");
        player_start_refused(RV_START_UNKNOWN_TYPE);
        return;
    }
    const play_manager_ops *ops = offering<Op>(type);
    if (ops == nullptr) {
        player_start_refused(RVE_NOT_READY);  // before start-up or after release
        return;
    }
    // Only a start a player takes chooses it: a refused one leaves the controls
    // with the player the user started before.
    mCurPlayerType.store(type);
    (ops->*Op)(record);
}

}  // namespace

void ipa_set_play_manager(int32_t player_type, const play_manager_ops *ops) {
    if (player_type == kPlayerTypeAlbum || player_type == kPlayerTypeBroadcast) {
        s_managers[player_type].store(ops);
    }
}

void rv_playByAudioBean(dao_play_audio_bean *bean) {
    play_start<&play_manager_ops::playByAudioBean>("rv_playByAudioBean", " \n", bean);
}

void rv_playByPlayItem(dao_play_item *item) {
    play_start<&play_manager_ops::playByPlayItem>("rv_playByPlayItem", "\n", item);
}

void rv_Play(void) {
    forward_void<&play_manager_ops::play>("rv_Play");
}

void rv_pause(void) {
    forward_void<&play_manager_ops::pause>("rv_pause");
}

void rv_stop(void) {
    forward_void<&play_manager_ops::stop>("rv_stop");
}

void rv_reset(void) {
    forward_void<&play_manager_ops::reset>("rv_reset");
}

void rv_switchPlayOrPause(void) {
    forward_void<&play_manager_ops::switchPlayerStatus>("rv_switchPlayOrPause");
}

void rv_seek(int32_t msec) {
    forward_void<&play_manager_ops::seek>("rv_seek", msec);
}

int32_t rv_setPlaybackSpeed(float speed) {
    LOGD(kTag, "CALL API [%s] \n", "rv_setPlaybackSpeed");
    // The engine knows a live stream only once it answered; the player knows
    // it from the start, and a speed taken meanwhile would go to the next item.
    const bool live = mCurPlayerType.load() == kPlayerTypeBroadcast && bcast_resource_is_live();
    const bool in_range = speed >= RV_MIN_SPEED && speed <= RV_MAX_SPEED;
    switch (live && in_range ? -2 : ijk_SetPlaybackSpeed(speed)) {
        case 0:
            s_speed.store(speed);
            return RVE_OK;
        case -2:
            LOGE(kTag, "Live stream plays at speed 1 \n");
            return RVE_LIVE_STREAM;
        default:
            LOGE(kTag, "Speed %.2f out of 0.5..2.0 \n", static_cast<double>(speed));
            return RVE_BAD_ARGS;
    }
}

float rv_getPlaybackSpeed(void) {
    return s_speed.load();
}

int32_t rv_setVolume(float gain, int32_t ramp_ms) {
    LOGD(kTag, "CALL API [%s] \n", "rv_setVolume");
    // Written so that NaN is out of range too.
    if (!(gain >= RV_MIN_VOLUME && gain <= RV_MAX_VOLUME) || ramp_ms < 0 ||
        ramp_ms > RV_MAX_VOLUME_RAMP_MS) {
        LOGE(kTag, "Volume %.2f out of 0..1, ramp %d out of 0..10000 ms \n",
             static_cast<double>(gain), ramp_ms);
        return RVE_BAD_ARGS;
    }
    ijk_RampMediaVolume(gain, ramp_ms);
    return RVE_OK;
}

namespace {
// A control character could end the name inside the ALSA configuration's or PipeWire's
// property syntax.
bool audio_name_ok(const char *text, size_t max_size) {
    const std::string_view name = text != nullptr ? text : "";
    return name.size() <= max_size && std::none_of(name.begin(), name.end(), [](char c) {
               return static_cast<unsigned char>(c) < 0x20 || c == 0x7f;
           });
}
}  // namespace

int rv_setAudioDevice(const char *alsa_pcm) {
    LOGD(kTag, "CALL API [%s] \n", "rv_setAudioDevice");
    if (!audio_name_ok(alsa_pcm, RV_MAX_AUDIO_DEVICE_NAME)) {
        LOGE(kTag, "Audio device name refused \n");
        return RVE_BAD_ARGS;
    }
    ijk_SetAudioDevice(alsa_pcm);
    return RVE_OK;
}

int rv_setAudioRole(const char *role) {
    LOGD(kTag, "CALL API [%s] \n", "rv_setAudioRole");
    if (!audio_name_ok(role, RV_MAX_AUDIO_ROLE_NAME)) {
        LOGE(kTag, "Audio role refused \n");
        return RVE_BAD_ARGS;
    }
    ijk_SetAudioRole(role);
    return RVE_OK;
}

int rv_setCrossfade(int ms) {
    LOGD(kTag, "CALL API [%s] \n", "rv_setCrossfade");
    if (ijk_SetCrossfade(ms) != 0) {
        LOGE(kTag, "Crossfade %d ms out of 0..%d \n", ms, RV_MAX_CROSSFADE_MS);
        return RVE_BAD_ARGS;
    }
    return RVE_OK;
}

rv_player_state rv_getPlayerState(void) {
    return player_state();
}

float rv_getVolume(void) {
    return ijk_GetMediaVolume();
}

void rv_playPre(void) {
    forward_void<&play_manager_ops::playPre>("rv_playPre");
}

void rv_playNext(void) {
    forward_void<&play_manager_ops::playNext>("rv_playNext");
}

bool rv_isPlaying(void) {
    return forward<&play_manager_ops::isPlaying>("rv_isPlaying", false);
}

bool rv_isPaused(void) {
    return forward<&play_manager_ops::isPaused>("rv_isPaused", false);
}

bool rv_canSeek(void) {
    return forward<&play_manager_ops::canSeek>("rv_canSeek", false);
}

bool rv_hasPre(void) {
    return forward<&play_manager_ops::hasPre>("rv_hasPre", false);
}

bool rv_hasNext(void) {
    return forward<&play_manager_ops::hasNext>("rv_hasNext", false);
}

int32_t rv_getCurPlayItemIndex(void) {
    return forward<&play_manager_ops::getCurPlayItemIndex>("rv_getCurPlayItemIndex", -1);
}

dao_play_item *rv_getCurPlayItem(void) {
    return forward<&play_manager_ops::getCurPlayItem, dao_play_item *>("rv_getCurPlayItem",
                                                                       nullptr);
}

int32_t rv_getPlayItemIndex(dao_play_item *item) {
    return forward<&play_manager_ops::getPlayItemIndex>("rv_getPlayItemIndex", -1, item);
}

dao_play_item *rv_getPlayItem(int32_t index) {
    return forward<&play_manager_ops::getPlayItem, dao_play_item *>("rv_getPlayItem", nullptr,
                                                                    index);
}

int32_t rv_getPlayListSize(void) {
    return forward<&play_manager_ops::getPlayListSize>("rv_getPlayListSize", -1);
}

List *rv_getPlayList(void) {
    return forward<&play_manager_ops::getPlayList, List *>("rv_getPlayList", nullptr);
}

void rv_fetchMorePlaylist(FetchPlaylistListener *listener, const char *clock_id) {
    LOGD(kTag, "CALL API [%s] \n", "rv_fetchMorePlaylist");
    const play_manager_ops *ops = nullptr;
    if (target_type() == kPlayerTypeBroadcast) {
        LOGE(kTag, "Can not do this\n");
    } else {
        ops = offering<&play_manager_ops::fetchMorePlaylist>();
    }
    if (ops != nullptr) {
        ops->fetchMorePlaylist(listener, clock_id);
    } else if (listener != nullptr && listener->onPlayItemUnavailable != nullptr) {
        // A refused fetch is answered too, so that a caller waiting on its
        // listener is never left waiting.
        listener->onPlayItemUnavailable(nullptr);
    }
}
