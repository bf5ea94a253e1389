// Calls into the application's listeners, for the play managers. Each
// function calls the matching slot of the registered listener with its own
// arguments, on the calling thread; no listener or no slot: nothing happens.
// Call them without holding the player global mutex (except the broadcast
// listener, which the broadcast player calls under it).
#ifndef RV_PLAYER_PLAYER_STATE_LISTENER_H
#define RV_PLAYER_PLAYER_STATE_LISTENER_H

#include <atomic>
#include <cstdint>
#include <memory>

#include "rv_callback_gate.hpp"
#include "rv_export.h"
#include "rv_player.h"

// The registered listeners; null at load. Change them only through the set
// and remove functions, which wait for calls in flight.
extern "C" RV_API std::atomic<PlayerStateListener *> mUserPlayerStateListener;
extern "C" RV_API std::atomic<PlayerBroadcastListener *> mUserPlayerBroadcastListener;

RV_BEGIN_DECLS

RV_API void setUserPlayerStateListener_OnPrepareComplete(void);
RV_API void setUserPlayerStateListener_OnPlaying(void);
RV_API void setUserPlayerStateListener_OnPaused(void);
RV_API void setUserPlayerStateListener_OnProgress(int32_t kind, int64_t position, int64_t duration);
RV_API void setUserPlayerStateListener_OnError(int32_t what, int32_t detail);
RV_API void setUserPlayerStateListener_OnPlayEnd(void);
RV_API void setUserPlayerStateListener_OnSeekStart(void);
RV_API void setUserPlayerStateListener_OnSeekComplete(void);
RV_API void setUserPlayerStateListener_OnBufferingStart(void);
RV_API void setUserPlayerStateListener_OnBufferingComplete(void);

// Calls the listener of setPlayerDownloadProgressListener, if any.
RV_API void setUserDownloadProgressListener_OnDownloadProgress(int64_t fetched, int64_t total);
// Calls the listener of setPlayerMetadataListener, if any.
RV_API void setUserMetadataListener_OnMetadata(const char *title, const char *artist);

RV_API void setUserBroadcastListener_OnLiveProgramUpdated(dao_play_item *item);

RV_END_DECLS

// The events of rv_addPlayerListener alone. `serial` numbers the state changes:
// one that arrives after a later one was told is left out.
void setUserPlayerStateListener_OnStateChanged(uint64_t serial, rv_player_state state);
void setUserPlayerStateListener_OnListEnded(void);
void setUserPlayerStateListener_OnStartFailed(int32_t what, int32_t detail);
// Every listener with the slot gets a copy of `item` of its own.
void setUserPlayerStateListener_OnItemChanged(std::shared_ptr<const dao_play_item> item);

// Calls `Slot` of the record registered in `gate`, if both are there. The
// slot is read once: one the application clears meanwhile is skipped or
// called, never called through null.
template <auto Slot, class Record, class... Args>
void call_listener_slot(rv::detail::CallbackGate<Record *> &gate, Args... args) {
    gate.call([&](Record *listener) {
        if (const auto slot = std::atomic_ref(listener->*Slot).load(std::memory_order_relaxed)) {
            slot(args...);
        }
    });
}

#endif
