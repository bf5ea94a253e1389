#include "player/player_state_listener.h"

std::atomic<PlayerBroadcastListener *> mUserPlayerBroadcastListener{nullptr};

void setPlayerBroadcastListener(PlayerBroadcastListener *listener) {
    mUserPlayerBroadcastListener.store(listener);
}

void removePlayerBroadcastListener(void) {
    mUserPlayerBroadcastListener.store(nullptr);
}

void setUserBroadcastListener_OnLiveProgramUpdated(dao_play_item *item) {
    const PlayerBroadcastListener *listener = mUserPlayerBroadcastListener.load();
    if (listener != nullptr && listener->OnLiveProgramUpdated != nullptr) {
        listener->OnLiveProgramUpdated(item);
    }
}
