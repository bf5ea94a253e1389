// The album player's play list: the play items being played (an album page by
// page, a smartcast radio batch by batch), the current index, and the fetching
// of further pages.
//
// Locking: every function runs under the player global mutex (recursive) except
// album_getPlayList, album_getCurPlayItemIndex and album_getCurPlayAudioItem,
// which read without it and are meant for callers already holding it. Items
// handed out stay owned by the list; use them only while holding the mutex or
// while nothing else changes the list.
#ifndef RV_PLAYER_PLAYER_ALBUM_AUDIO_LIST_H
#define RV_PLAYER_PLAYER_ALBUM_AUDIO_LIST_H

#include <cstdint>

#include "rv_export.h"
#include "rv_player.h"

RV_BEGIN_DECLS

// Start-up: index 0, creates the play list when missing; returns 1.
RV_API int initPlayerAlbumAudioList(void);
// Shut-down: frees the play list with its items and the current audio item.
RV_API void destoryPlayerAlbumAudioList(void);

// The play list itself (SDK-owned; not locked).
RV_API List *album_getPlayList(void);
RV_API int32_t album_getPlayListSize(void);
// Not locked.
RV_API int32_t album_getCurPlayItemIndex(void);
// Ignored unless 0 <= index < size.
RV_API void album_setCurPlayItemIndex(int32_t index);
// Moves the index to the last item with the same audioId; no match or null: unchanged.
RV_API void album_updateCurPlayItemIndex(dao_play_item *item);
// Position of the last item with the same audioId, or -1.
RV_API int32_t album_getPlayItemIndex(dao_play_item *item);
// The item at index, or null; stays owned by the list.
RV_API dao_play_item *album_getPlayItem(int32_t index);
RV_API dao_play_item *album_getCurPlayItem(void);
// Index 0; removes and frees every item.
RV_API void album_clearPlayList(void);
// Take ownership of `list` (items and record) and append / prepend its items.
// A list not releasing its items with dao_play_item_del is refused (W "list type \n").
RV_API void addPlaylist(List *list);
RV_API void addPlaylistToHeader(List *list);

// Clears the play list, then asks for the first page or batch of the current
// resource. The outcome goes to `listener` in turn with the listener calls
// (on the thread delivering them), or on the calling thread when nothing
// could be asked. `listener` must outlive the call
// of one of its slots.
RV_API void album_fetchPlaylist(FetchPlaylistListener *listener, const char *clock_id);
// Asks once more for the current resource (next page, previous page or next batch).
RV_API void album_fetchMorePlaylist(FetchPlaylistListener *listener, const char *clock_id);

RV_END_DECLS

// Inside the fetch listener's onPlayItemUnavailable: the generation the fetch
// was asked with and why it failed (the request's result code, or
// RV_START_NOTHING_TO_PLAY). Zeroes elsewhere.
struct AlbumFetchFailure {
    uint64_t generation = 0;
    int32_t detail = 0;
};
AlbumFetchFailure album_fetch_failure();

#endif
