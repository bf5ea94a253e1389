// The listeners of rv_addPlayerListener: any number, each a copy of the
// application's record with its user pointer, reached in the order added.
#ifndef RV_PLAYER_PLAYER_LISTENERS_H
#define RV_PLAYER_PLAYER_LISTENERS_H

#include "rv_player.h"

namespace rv::listeners {

// Calls visit(events, user, context) for every listener added, each inside
// its own gate so that a removal on another thread waits for the call. Any
// thread; no lock held while `visit` runs.
void each(void (*visit)(const rv_player_events &events, void *user, void *context), void *context);

// Calls slot `Slot` of every listener that set it, with `args`.
template <auto Slot, class... Args>
void fan_out(Args... args) {
    auto call = [&](const rv_player_events &events, void *user) {
        if (const auto slot = events.*Slot) {
            slot(user, args...);
        }
    };
    each([](const rv_player_events &events, void *user,
            void *context) { (*static_cast<decltype(call) *>(context))(events, user); },
         &call);
}

}  // namespace rv::listeners

#endif
