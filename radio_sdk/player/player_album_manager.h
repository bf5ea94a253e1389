// The album player: plays albums, single audios and smartcast radios on the
// shared engine while enabled. The engine's owner is kept by the player
// manager: taking the engine disables the broadcast player through it, and
// the other way round; the two players never call each other.
//
// Threads: control functions run on the caller's thread; engine handlers on
// the engine's event thread (automatic start and next item); fetch answers on
// thread-pool workers. Play-list work is under the player global mutex; no
// function holds it while calling the application's listener, except fetch
// answers, which call the FetchPlaylistListener under it.
#ifndef RV_PLAYER_PLAYER_ALBUM_MANAGER_H
#define RV_PLAYER_PLAYER_ALBUM_MANAGER_H

#include <cstdint>

#include "rv_export.h"
#include "rv_player.h"

RV_BEGIN_DECLS

// Start-up: creates the fetch listener and installs the album player in the
// playback API; 1 on success, 0 when out of memory.
RV_API int initPlayerAlbumManager(void);
// Shut-down: uninstalls it and frees the fetch listener.
RV_API void destroyPlayerAlbumManager(void);

// Starts a resource (album, single audio, smartcast radio); the bean stays the caller's.
RV_API void album_playByAudioBean(dao_play_audio_bean *bean);
// Plays an item of the play list (or one built by the caller; it stays the caller's).
RV_API void album_playByPlayItem(dao_play_item *item);
RV_API void album_play(void);
RV_API void album_pause(void);
RV_API void album_stop(void);
RV_API void album_reset(void);
RV_API void album_seek(int32_t msec);
RV_API bool album_isPlaying(void);
RV_API bool album_isPaused(void);
RV_API bool album_canSeek(void);
RV_API void album_switchPlayerStatus(void);
RV_API bool album_hasPre(void);
RV_API bool album_hasNext(void);
RV_API void album_playPre(void);
RV_API void album_playNext(void);

// Takes the engine: disables the other player (through the player manager)
// and registers the handlers.
RV_API void album_enablePlayer(void);
// Gives the engine up (called through the player manager when the broadcast
// player takes it, and at shut-down): unregisters the handlers and reports the
// play end of the current item. Nothing when not enabled.
RV_API void album_disablePlayer(void);
RV_API void album_disableOtherPlayer(void);
RV_API bool album_isPlayerEnable(void);

// Under the mutex: enables the player, makes `item` current and prepares it.
RV_API void album_startPlayItem(dao_play_item *item);
// Sends the "101010" play-end report for `item`.
RV_API void album_reportPlayEnd(dao_play_item *item);
// Sends the buffering report for `item`: kind 1 start ("300030"), 0 end ("300022").
RV_API void album_reportBuffering(dao_play_item *item, int32_t kind);

RV_END_DECLS

#endif
