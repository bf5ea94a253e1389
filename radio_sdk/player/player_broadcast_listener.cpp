#include "player/player_state_listener.h"

std::atomic<PlayerBroadcastListener *> mUserPlayerBroadcastListener{nullptr};

namespace {

rv::detail::CallbackGate<PlayerBroadcastListener *> s_broadcast_gate{mUserPlayerBroadcastListener};

}  // namespace

void setPlayerBroadcastListener(PlayerBroadcastListener *listener) {
    s_broadcast_gate.set(listener);
}

void removePlayerBroadcastListener(void) {
    s_broadcast_gate.set(nullptr);
}

void setUserBroadcastListener_OnLiveProgramUpdated(dao_play_item *item) {
    call_listener_slot<&PlayerBroadcastListener::OnLiveProgramUpdated>(s_broadcast_gate, item);
}
