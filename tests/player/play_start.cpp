#include "player/play_start.h"

#include <gtest/gtest.h>

#include "request/sdk_fixture.h"
#include "rv_data.h"
#include "rv_player.h"

namespace rv::test {

PlayItemPtr live_item_of(int64_t broadcast_id) {
    Delivery d = call(
        [&](Catcher *c) { rv_getBroadcastProgramList(broadcast_id, "", Catcher::callback, c); });
    EXPECT_EQ(d.code, 0);
    std::unique_ptr<List, void (*)(List *)> programmes(static_cast<List *>(d.data), ListFree);
    for (ListItem *n = ListFirst(programmes.get()); n != nullptr; n = ListNext(n)) {
        if (static_cast<dao_program *>(n->data)->status == 1) {
            return PlayItemPtr(transformProgramToPlayItem(static_cast<dao_program *>(n->data)));
        }
    }
    ADD_FAILURE() << "no live programme on " << broadcast_id;
    return nullptr;
}

}  // namespace rv::test
