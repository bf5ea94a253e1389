// Starting a resource the way an application does, for the playback tests and
// the benches: public headers only, so any program of the tree can include it.
#ifndef RV_TESTS_SUPPORT_PLAY_BEAN_H
#define RV_TESTS_SUPPORT_PLAY_BEAN_H

#include <cstdint>
#include <memory>

#include "rv_data.h"
#include "rv_player.h"

namespace rv::test {

// rv_playByAudioBean of a bean of `type` and `id` starting at `audio_id` (0: the
// first), sorted ascending, pages 1 both ways; the bean is freed after the call.
inline void play_bean(int32_t type, int64_t id, int64_t audio_id = 0) {
    std::unique_ptr<dao_play_audio_bean, decltype(&dao_play_audio_bean_del)> bean(
        dao_play_audio_bean_new(), dao_play_audio_bean_del);
    bean->type = type;
    bean->id = id;
    bean->audioId = audio_id;
    bean->sortType = 1;
    bean->prePage = 1;
    bean->nextPage = 1;
    rv_playByAudioBean(bean.get());
}

}  // namespace rv::test

#endif
