#include "player/player_state_listener.h"

#include <memory>

#include "player/player_listeners.h"
#include "util/callback_dispatch.h"

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
    const auto tell = [](dao_play_item *programme) {
        call_listener_slot<&PlayerBroadcastListener::OnLiveProgramUpdated>(s_broadcast_gate,
                                                                           programme);
        rv::listeners::fan_out<&rv_player_events::on_live_program_updated>(
            static_cast<const dao_play_item *>(programme));
    };
    if (!rv::dispatch::active()) {
        tell(item);
        return;
    }
    // The caller's item is valid during this call only: the loop gets its own copy.
    std::shared_ptr<dao_play_item> copy(dao_play_item_dup(item), dao_play_item_del);
    if (copy == nullptr) {
        tell(item);  // short of memory: heard here rather than lost
        return;
    }
    rv::dispatch::deliver([tell, copy] { tell(copy.get()); });
}
