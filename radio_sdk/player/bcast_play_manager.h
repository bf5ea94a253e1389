// The broadcast player: plays the live programme (live URL) or a past one
// (back-play URL) of a broadcast on the shared engine while enabled. Enabling
// it disables the album player through the player manager, which keeps the
// engine's owner, and the album player disables it the same way.
//
// Threads: control functions run on the caller's thread; engine handlers on
// the engine's event thread; play-list answers on thread-pool workers. Item
// starts and list reads are under the player global mutex; flags and counters
// are atomic. The application's listener slots are called without the mutex,
// except OnLiveProgramUpdated.
#ifndef RV_PLAYER_BCAST_PLAY_MANAGER_H
#define RV_PLAYER_BCAST_PLAY_MANAGER_H

#include <cstdint>

#include "rv_broadcast.h"
#include "rv_export.h"
#include "rv_player.h"

RV_BEGIN_DECLS

// Start-up: creates the two play-list listeners and installs the broadcast
// player in the playback API; 1 on success, 0 when out of memory.
RV_API int initBroadcastPlayManager(void);
// Shut-down: stops the programme clock, uninstalls the player, frees the listeners.
RV_API void freeBroadcastPlayManager(void);

// Start a broadcast's live programme: fetch its programme list, then play.
// Arguments stay the caller's.
RV_API void bcast_playByAudioBean(dao_play_audio_bean *bean);
RV_API void bcast_playByBroadcast(dao_broadcast *broadcast);
RV_API void bcast_playByBroadcastId(int64_t broadcast_id);
// Plays one item (live or past programme); no list is fetched.
RV_API void bcast_playByPlayItem(dao_play_item *item);
// Under the mutex: enables the player, makes `item` current and prepares it.
// Items that are not on air (status 3) are refused.
RV_API void bcast_startPlayItem(dao_play_item *item);

// Control; when the player is not enabled they only log.
RV_API void bcast_play(void);
RV_API void bcast_pause(void);
RV_API void bcast_stop(void);
RV_API void bcast_reset(void);
RV_API void bcast_seek(int32_t msec);
RV_API bool bcast_isPlaying(void);
RV_API bool bcast_isPaused(void);
RV_API bool bcast_isLiving(void);
RV_API bool bcast_canSeek(void);
// Pauses; or resumes (a live programme restarts at the live point).
RV_API void bcast_switchPlayerStatus(void);
RV_API bool bcast_hasPre(void);
RV_API bool bcast_hasNext(void);
RV_API void bcast_playPre(void);
RV_API void bcast_playNext(void);

// Engine ownership.
RV_API void bcast_enablePlayer(void);
// Gives the engine up (called through the player manager when the album player
// takes it, and at shut-down): stops the clock,
// unregisters the handlers, sends the play-end report of the current item.
RV_API void bcast_disablePlayer(void);
RV_API void bcast_disableOtherPlayer(void);
RV_API bool bcast_isPlayerEnable(void);

// Reports for `item` (nothing for null, or when the report cannot be made);
// sent in the background without a callback. Any thread.
// Buffering: kind 1 start ("300030"), 0 end ("300022", with the seconds buffered).
RV_API void bcast_reportBuffering(dao_play_item *item, int32_t kind);
// Engine error ("992000") with the engine's error detail.
RV_API void bcast_reportError(dao_play_item *item, int32_t detail);
// Play end ("101017") with the seconds played.
RV_API void bcast_reportPlayBackEnd(dao_play_item *item);

RV_END_DECLS

// True while the broadcast player's resource is live: its live programme
// plays or prepares, or a broadcast's list is on its way. Any thread, no lock.
bool bcast_resource_is_live();
// True when the engine was last given `url` and is preparing or playing it
// for the broadcast player. Lock held.
bool bcast_plays_url_locked(const char *url);

#endif
