#include "player/player_album_audio_item_list.h"

#include "player/player_manager.h"

// The resource being played (mCurPlayAudioItem) lives in the album player's
// record, with the values that change with it.

int initPlayerAlbumAudioItemList(void) {
    return 1;
}

void destoryPlayerAlbumAudioItemList(void) {
    album_setCurPlayAudioItem(nullptr);
}

dao_play_audio_item *album_getCurPlayAudioItem(void) {
    return player_record_locked(kAlbumPlayer).resource;
}

void album_setCurPlayAudioItem(dao_play_audio_item *item) {
    PlayerGlobalLock lock;
    dao_play_audio_item *&resource = player_record_locked(kAlbumPlayer).resource;
    dao_play_audio_item_del(resource);
    resource = item;
}
