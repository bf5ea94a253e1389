#include "player/player_album_audio_item_list.h"

#include "player/player_manager.h"

namespace {

// The resource being played. Changed under the player global mutex; read by
// the play list and the album player while they hold it.
dao_play_audio_item *mCurPlayAudioItem = nullptr;

}  // namespace

int initPlayerAlbumAudioItemList(void) {
    return 1;
}

void destoryPlayerAlbumAudioItemList(void) {
    album_setCurPlayAudioItem(nullptr);
}

dao_play_audio_item *album_getCurPlayAudioItem(void) {
    return mCurPlayAudioItem;
}

void album_setCurPlayAudioItem(dao_play_audio_item *item) {
    PlayerGlobalLock lock;
    dao_play_audio_item_del(mCurPlayAudioItem);
    mCurPlayAudioItem = item;
}
