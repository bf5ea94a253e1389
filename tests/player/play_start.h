// Starting playback the way an application does, for playback tests: a bean of
// a resource, or a live programme of the catalogue made a play item.
#ifndef RV_TESTS_PLAYER_PLAY_START_H
#define RV_TESTS_PLAYER_PLAY_START_H

#include <cstdint>
#include <memory>

#include "rv_play_item.h"
#include "support/play_bean.h"

namespace rv::test {

struct PlayItemDel {
    void operator()(dao_play_item *item) const { dao_play_item_del(item); }
};
using PlayItemPtr = std::unique_ptr<dao_play_item, PlayItemDel>;

// The live programme of the broadcast as the data API gives it, made a play
// item; null (with a test failure) when the request fails or none is live.
PlayItemPtr live_item_of(int64_t broadcast_id);

}  // namespace rv::test

#endif
