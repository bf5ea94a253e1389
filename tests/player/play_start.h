// Starting playback the way an application does, for playback tests: a bean of
// a resource, or a live programme of the catalogue made a play item.
#ifndef RV_TESTS_PLAYER_PLAY_START_H
#define RV_TESTS_PLAYER_PLAY_START_H

#include <cstdint>
#include <memory>

#include "rv_play_item.h"

namespace rv::test {

struct PlayItemDel {
    void operator()(dao_play_item *item) const { dao_play_item_del(item); }
};
using PlayItemPtr = std::unique_ptr<dao_play_item, PlayItemDel>;

// rv_playByAudioBean of a bean of `type` and `id` starting at `audio_id` (0: the
// first), sorted ascending, pages 1 both ways; the bean is freed after the call.
void play_bean(int32_t type, int64_t id, int64_t audio_id = 0);

// The live programme of the broadcast as the data API gives it, made a play
// item; null (with a test failure) when the request fails or none is live.
PlayItemPtr live_item_of(int64_t broadcast_id);

}  // namespace rv::test

#endif
