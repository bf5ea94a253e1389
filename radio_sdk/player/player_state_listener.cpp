#include "player/player_state_listener.h"

std::atomic<PlayerStateListener *> mUserPlayerStateListener{nullptr};

void setPlayerStateListener(PlayerStateListener *listener) {
    mUserPlayerStateListener.store(listener);
}

void removePlayerStateListener(void) {
    mUserPlayerStateListener.store(nullptr);
}

namespace {

// Calls one slot of the registered listener, if both are there.
template <auto Slot, class... Args>
void call_slot(Args... args) {
    const PlayerStateListener *listener = mUserPlayerStateListener.load();
    if (listener != nullptr && listener->*Slot != nullptr) {
        (listener->*Slot)(args...);
    }
}

}  // namespace

void setUserPlayerStateListener_OnPrepareComplete(void) {
    call_slot<&PlayerStateListener::OnPrepareComplete>();
}

void setUserPlayerStateListener_OnPlaying(void) {
    call_slot<&PlayerStateListener::OnPlaying>();
}

void setUserPlayerStateListener_OnPaused(void) {
    call_slot<&PlayerStateListener::OnPaused>();
}

void setUserPlayerStateListener_OnProgress(int32_t kind, int64_t position, int64_t duration) {
    call_slot<&PlayerStateListener::OnProgress>(kind, position, duration);
}

void setUserPlayerStateListener_OnError(int32_t what, int32_t detail) {
    call_slot<&PlayerStateListener::OnError>(what, detail);
}

void setUserPlayerStateListener_OnPlayEnd(void) {
    call_slot<&PlayerStateListener::OnPlayEnd>();
}

void setUserPlayerStateListener_OnSeekStart(void) {
    call_slot<&PlayerStateListener::OnSeekStart>();
}

void setUserPlayerStateListener_OnSeekComplete(void) {
    call_slot<&PlayerStateListener::OnSeekComplete>();
}

void setUserPlayerStateListener_OnBufferingStart(void) {
    call_slot<&PlayerStateListener::OnBufferingStart>();
}

void setUserPlayerStateListener_OnBufferingComplete(void) {
    call_slot<&PlayerStateListener::OnBufferingComplete>();
}

void setUserPlayerStateListener_OnDownloadProgress(int64_t received, int64_t total) {
    call_slot<&PlayerStateListener::OnDownloadProgress>(received, total);
}
