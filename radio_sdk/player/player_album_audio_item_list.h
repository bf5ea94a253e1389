// The resource the album player plays (a dao_play_audio_item with its paging
// state), owned here.
#ifndef RV_PLAYER_PLAYER_ALBUM_AUDIO_ITEM_LIST_H
#define RV_PLAYER_PLAYER_ALBUM_AUDIO_ITEM_LIST_H

#include "rv_export.h"
#include "rv_play_item.h"

RV_BEGIN_DECLS

// Does nothing; returns 1.
RV_API int initPlayerAlbumAudioItemList(void);
// Frees the current audio item.
RV_API void destoryPlayerAlbumAudioItemList(void);
// The current audio item or null (not locked; call with the player global mutex held).
RV_API dao_play_audio_item *album_getCurPlayAudioItem(void);
// Frees the previous audio item and takes ownership of `item` (under the mutex).
RV_API void album_setCurPlayAudioItem(dao_play_audio_item *item);

RV_END_DECLS

#endif
