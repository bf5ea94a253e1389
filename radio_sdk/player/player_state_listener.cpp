#include "player/player_state_listener.h"

#include <memory>
#include <new>
#include <string>

#include "orvellaplayer.h"
#include "player/player_listeners.h"
#include "util/callback_dispatch.h"

// The engine's error event reaches OnError unchanged.
static_assert(RV_ERROR_WHAT_ENGINE == ORV_EVENT_ERROR &&
              RV_ERROR_DETAIL_NO_SOURCE == ORV_ERROR_NO_SOURCE &&
              RV_ERROR_DETAIL_OPEN == ORV_ERROR_OPEN &&
              RV_ERROR_DETAIL_NO_AUDIO == ORV_ERROR_NO_AUDIO &&
              RV_ERROR_DETAIL_DECODE == ORV_ERROR_DECODE &&
              RV_ERROR_DETAIL_NETWORK == ORV_ERROR_NETWORK &&
              RV_ERROR_DETAIL_OUTPUT == ORV_ERROR_OUTPUT &&
              RV_ERROR_DETAIL_AUDIO_DEVICE == ORV_ERROR_AUDIO_DEVICE);

std::atomic<PlayerStateListener *> mUserPlayerStateListener{nullptr};

namespace {

rv::detail::CallbackGate<PlayerStateListener *> s_state_gate{mUserPlayerStateListener};

using DownloadProgressFn = void (*)(int64_t fetched, int64_t total);
std::atomic<DownloadProgressFn> s_download_listener{nullptr};
rv::detail::CallbackGate<DownloadProgressFn> s_download_gate{s_download_listener};

using MetadataFn = void (*)(const char *title, const char *artist);
std::atomic<MetadataFn> s_metadata_listener{nullptr};
rv::detail::CallbackGate<MetadataFn> s_metadata_gate{s_metadata_listener};

}  // namespace

void setPlayerStateListener(PlayerStateListener *listener) {
    s_state_gate.set(listener);
}

void removePlayerStateListener(void) {
    s_state_gate.set(nullptr);
}

void setPlayerDownloadProgressListener(void (*listener)(int64_t fetched, int64_t total)) {
    s_download_gate.set(listener);
}

void setPlayerMetadataListener(void (*listener)(const char *title, const char *artist)) {
    s_metadata_gate.set(listener);
}

namespace {

// One event for the application: the registered record's slot and the same
// slot of every added listener, now or on the application's loop. The record
// and the listeners are looked up when the call is made, so one removed
// meanwhile is not called.
template <auto Slot, auto EventSlot, class... Args>
void tell(Args... args) {
    rv::dispatch::deliver([=] {
        call_listener_slot<Slot>(s_state_gate, args...);
        rv::listeners::fan_out<EventSlot>(args...);
    });
}

}  // namespace

void setUserPlayerStateListener_OnPrepareComplete(void) {
    tell<&PlayerStateListener::OnPrepareComplete, &rv_player_events::on_prepare_complete>();
}

void setUserPlayerStateListener_OnPlaying(void) {
    tell<&PlayerStateListener::OnPlaying, &rv_player_events::on_playing>();
}

void setUserPlayerStateListener_OnPaused(void) {
    tell<&PlayerStateListener::OnPaused, &rv_player_events::on_paused>();
}

void setUserPlayerStateListener_OnProgress(int32_t kind, int64_t position, int64_t duration) {
    tell<&PlayerStateListener::OnProgress, &rv_player_events::on_progress>(kind, position,
                                                                           duration);
}

void setUserPlayerStateListener_OnError(int32_t what, int32_t detail) {
    tell<&PlayerStateListener::OnError, &rv_player_events::on_error>(what, detail);
}

void setUserPlayerStateListener_OnPlayEnd(void) {
    tell<&PlayerStateListener::OnPlayEnd, &rv_player_events::on_play_end>();
}

void setUserPlayerStateListener_OnSeekStart(void) {
    tell<&PlayerStateListener::OnSeekStart, &rv_player_events::on_seek_start>();
}

void setUserPlayerStateListener_OnSeekComplete(void) {
    tell<&PlayerStateListener::OnSeekComplete, &rv_player_events::on_seek_complete>();
}

void setUserPlayerStateListener_OnBufferingStart(void) {
    tell<&PlayerStateListener::OnBufferingStart, &rv_player_events::on_buffering_start>();
}

void setUserPlayerStateListener_OnBufferingComplete(void) {
    tell<&PlayerStateListener::OnBufferingComplete, &rv_player_events::on_buffering_complete>();
}

void setUserPlayerStateListener_OnStateChanged(uint64_t serial, rv_player_state state) {
    // Told from several threads: a state older than one already told is left out,
    // so that the last one heard is the player's.
    static std::atomic<uint64_t> s_told{0};
    rv::dispatch::deliver([=] {
        uint64_t told = s_told.load();
        do {
            if (serial <= told) {
                return;
            }
        } while (!s_told.compare_exchange_weak(told, serial));
        rv::listeners::fan_out<&rv_player_events::on_state_changed>(state);
    });
}

void setUserPlayerStateListener_OnListEnded(void) {
    rv::dispatch::deliver([] { rv::listeners::fan_out<&rv_player_events::on_list_ended>(); });
}

void setUserPlayerStateListener_OnStartFailed(int32_t what, int32_t detail) {
    rv::dispatch::deliver(
        [=] { rv::listeners::fan_out<&rv_player_events::on_start_failed>(what, detail); });
}

void setUserPlayerStateListener_OnItemChanged(std::shared_ptr<const dao_play_item> item) {
    rv::dispatch::deliver([item] {
        // Each listener gets a copy of its own to keep.
        rv::listeners::each(
            [](const rv_player_events &events, void *user, void *context) {
                if (events.on_item_changed == nullptr) {
                    return;
                }
                if (dao_play_item *copy =
                        dao_play_item_dup(static_cast<const dao_play_item *>(context))) {
                    events.on_item_changed(user, copy);
                }
            },
            const_cast<dao_play_item *>(item.get()));
    });
}

void setUserDownloadProgressListener_OnDownloadProgress(int64_t fetched, int64_t total) {
    rv::dispatch::deliver([=] {
        s_download_gate.call([&](DownloadProgressFn listener) { listener(fetched, total); });
        rv::listeners::fan_out<&rv_player_events::on_download_progress>(fetched, total);
    });
}

void setUserMetadataListener_OnMetadata(const char *title, const char *artist) {
    // The engine's texts live for this call only; a deferred call keeps copies.
    std::string title_copy;
    std::string artist_copy;
    try {
        title_copy = title != nullptr ? title : "";
        artist_copy = artist != nullptr ? artist : "";
    } catch (const std::bad_alloc &) {
        return;  // a title is shown again at its next change
    }
    rv::dispatch::deliver([title_copy, artist_copy] {
        s_metadata_gate.call(
            [&](MetadataFn listener) { listener(title_copy.c_str(), artist_copy.c_str()); });
        rv::listeners::fan_out<&rv_player_events::on_metadata>(title_copy.c_str(),
                                                               artist_copy.c_str());
    });
}
