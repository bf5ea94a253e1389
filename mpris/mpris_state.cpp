#include "mpris_state.h"

#include <memory>

#include "rv_error.h"

namespace rv::mpris {
namespace {

PlayerState &of(void *user) {
    return *static_cast<PlayerState *>(user);
}

std::string text_or(const char *text, const char *fallback) {
    return text != nullptr && *text != '\0' ? text : fallback != nullptr ? fallback : "";
}

Track track_of(const dao_play_item &item) {
    Track t;
    // Type and id together: an audio and a programme may share a number.
    t.id = "/org/radio_sdk/item/" + std::to_string(static_cast<uint32_t>(item.type)) + "_" +
           std::to_string(static_cast<uint64_t>(item.audioId));
    t.title = text_or(item.title, item.audioName);
    t.album = text_or(item.albumName, nullptr);
    t.art = text_or(item.audioPic, item.albumPic);
    t.length_us = item.duration > 0 ? item.duration * 1000 : 0;
    t.live = item.type == RV_RESOURCE_BROADCAST && item.status == RV_PLAY_STATUS_LIVE;
    t.start_ms = item.startTime;
    return t;
}

using ItemPtr = std::unique_ptr<dao_play_item, decltype(&dao_play_item_del)>;

}  // namespace

std::vector<const char *> changed(const Props &told, const Props &now) {
    const std::pair<const char *, bool> fields[] = {
        {"PlaybackStatus", told.status != now.status},
        {"Metadata", told.track.id != now.track.id || told.track.title != now.track.title ||
                         told.track.album != now.track.album || told.track.art != now.track.art ||
                         told.track.length_us != now.track.length_us},
        {"Rate", told.rate != now.rate},
        {"MinimumRate", told.min_rate != now.min_rate},
        {"MaximumRate", told.max_rate != now.max_rate},
        {"Volume", told.volume != now.volume},
        {"CanGoNext", told.can_next != now.can_next},
        {"CanGoPrevious", told.can_prev != now.can_prev},
        {"CanPlay", told.can_play != now.can_play},
        {"CanPause", told.can_pause != now.can_pause},
        {"CanSeek", told.can_seek != now.can_seek},
    };
    std::vector<const char *> names;
    for (const auto &[name, differs] : fields) {
        if (differs) {
            names.push_back(name);
        }
    }
    return names;
}

rv_player_events PlayerState::events() {
    rv_player_events e{};
    e.struct_size = sizeof e;
    e.on_playing = [](void *user) { of(user).event(); };
    e.on_paused = [](void *user) { of(user).event(); };
    e.on_progress = [](void *user, int32_t kind, int64_t position, int64_t duration) {
        of(user).progress(kind, position, duration);
    };
    e.on_error = [](void *user, int32_t, int32_t) { of(user).event(); };
    e.on_play_end = [](void *user) { of(user).event(); };
    e.on_seek_complete = [](void *user) { of(user).seek_complete(); };
    e.on_state_changed = [](void *user, rv_player_state) { of(user).event(); };
    e.on_item_changed = [](void *user, dao_play_item *item) {
        const ItemPtr owned(item, dao_play_item_del);
        of(user).item(owned.get());
    };
    e.on_list_ended = [](void *user) { of(user).event(); };
    return e;
}

int PlayerState::listen() {
    static const rv_player_events kEvents = events();
    const int code = rv_addPlayerListener(&kEvents, this, &listener_);
    // An item that plays already was told to listeners before this one.
    if (code == RVE_OK && rv_getPlayerState() != RV_PLAYER_IDLE) {
        const ItemPtr current(dao_play_item_dup(rv_getCurPlayItem()), dao_play_item_del);
        std::lock_guard lock(mutex_);
        if (current && track_.id == kNoTrack) {
            track_ = track_of(*current);
        }
    }
    return code;
}

void PlayerState::unlisten() {
    if (listener_ != 0) {
        rv_removePlayerListener(listener_);
    }
}

void PlayerState::item(const dao_play_item *item) {
    {
        std::lock_guard lock(mutex_);
        track_ = item != nullptr ? track_of(*item) : Track{};
        position_ms_ = 0;
        seek_target_ms_.reset();
        seek_settled_ = false;
        events_ = true;
    }
    wake_();
}

void PlayerState::progress(int32_t kind, int64_t position, int64_t duration) {
    bool tell = false;
    {
        std::lock_guard lock(mutex_);
        if (kind == RV_PROGRESS_LIVE) {
            position_ms_ = position - track_.start_ms;
            return;
        }
        position_ms_ = position;
        if (seek_settled_) {
            seek_settled_ = false;
            seeked_ms_ = position;
            tell = true;
        }
        // Items whose list carried no length learn it from the engine.
        if (track_.length_us == 0 && duration > 0 && track_.id != kNoTrack) {
            track_.length_us = duration * 1000;
            events_ = true;
            tell = true;
        }
    }
    if (tell) {
        wake_();
    }
}

void PlayerState::seek_complete() {
    {
        std::lock_guard lock(mutex_);
        if (seek_target_ms_) {
            seeked_ms_ = std::exchange(seek_target_ms_, std::nullopt);
        } else {
            // Someone else's seek: the engine tells where it landed with its next position.
            seek_settled_ = true;
        }
        events_ = true;
    }
    wake_();
}

void PlayerState::event() {
    {
        std::lock_guard lock(mutex_);
        events_ = true;
    }
    wake_();
}

void PlayerState::seeking_to(int64_t ms) {
    std::lock_guard lock(mutex_);
    seek_target_ms_ = ms;
    position_ms_ = ms;
}

bool PlayerState::take_events() {
    std::lock_guard lock(mutex_);
    return std::exchange(events_, false);
}

std::optional<int64_t> PlayerState::take_seeked_us() {
    std::lock_guard lock(mutex_);
    const std::optional<int64_t> ms = std::exchange(seeked_ms_, std::nullopt);
    return ms ? std::optional<int64_t>(std::max<int64_t>(*ms, 0) * 1000) : std::nullopt;
}

int64_t PlayerState::position_us() const {
    std::lock_guard lock(mutex_);
    return std::max<int64_t>(position_ms_, 0) * 1000;
}

Props PlayerState::read(const Props &told, bool events) {
    Props p = told;
    const rv_player_state state = rv_getPlayerState();
    {
        std::lock_guard lock(mutex_);
        // Before any play-start and after rv_releaseSdk nothing is current.
        p.track = state != RV_PLAYER_IDLE ? track_ : Track{};
    }
    const bool have = p.track.id != kNoTrack;
    // A status without an item would show a panel playing nothing: the first
    // state of a start comes before its item.
    switch (have ? state : RV_PLAYER_IDLE) {
        case RV_PLAYER_PLAYING:
        case RV_PLAYER_BUFFERING:
            p.status = "Playing";
            break;
        case RV_PLAYER_PAUSED:
            p.status = "Paused";
            break;
        case RV_PLAYER_PREPARING:
            // The next item plays or stays paused as the user said last.
            if (events) {
                p.status = rv_isPaused() ? "Paused" : "Playing";
            }
            break;
        default:
            p.status = "Stopped";
            break;
    }
    const bool live = have && p.track.live;
    p.rate = live ? 1.0 : static_cast<double>(rv_getPlaybackSpeed());
    p.min_rate = live ? 1.0 : static_cast<double>(RV_MIN_SPEED);
    p.max_rate = live ? 1.0 : static_cast<double>(RV_MAX_SPEED);
    p.volume = static_cast<double>(rv_getVolume());
    if (events || !have) {
        p.can_play = have;
        p.can_pause = have;
        p.can_seek = have && !live && p.track.length_us > 0 && rv_canSeek();
        p.can_next = have && rv_hasNext();
        p.can_prev = have && rv_hasPre();
    }
    return p;
}

}  // namespace rv::mpris
