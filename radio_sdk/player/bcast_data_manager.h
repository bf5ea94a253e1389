// The broadcast play list and the programme clock.
//
// The play list holds the day's programmes of the broadcast being played as
// play items (owned by the list). The programme clock is one thread that
// counts the service's time forward once a second, feeds the live position to
// the application (OnProgress of kind 1) and, ten seconds after the live
// programme's finish time, fetches the list again so that play moves on to
// the next live programme.
//
// Threads: list answers and server-time answers run on thread-pool workers,
// the clock on its own thread, the accessors on any thread. Every list access
// takes the player global mutex (recursive, so holders may call in); the
// clock's times are atomic. The clock functions run without the mutex held
// by the clock thread; they take it themselves where they read shared state.
#ifndef RV_PLAYER_BCAST_DATA_MANAGER_H
#define RV_PLAYER_BCAST_DATA_MANAGER_H

#include <atomic>
#include <cstdint>

#include "rv_export.h"
#include "rv_player.h"

RV_BEGIN_DECLS

// Where a fetch delivers: on_ready gets the item to start (owned by the play
// list), on_failed the request's result code or RV_START_NOTHING_TO_PLAY.
typedef struct playlist_listener {
    void (*on_ready)(dao_play_item *item);
    void (*on_failed)(int unused);
} playlist_listener;

// Start-up: index 0, creates the list if missing.
RV_API void initBroadcastDataManager(void);
// Shut-down: index 0, frees the list with its items.
RV_API void freeBroadcastDataManager(void);

// The list itself (owned by the manager; read it under the player global mutex).
RV_API List *bcast_getPlayList(void);
RV_API int32_t bcast_getCurPlayItemIndex(void);
RV_API int32_t bcast_getPlayListSize(void);
// Sets the index only when 0 <= index < size.
RV_API void bcast_setCurPlayItemIndex(int32_t index);
// Index := the first item with the same programme id (audioId); unchanged when none.
RV_API void bcast_updateCurPlayItemIndex(dao_play_item *item);
// Index of the first item with the same programme id, -1 when none or null.
RV_API int32_t bcast_getPlayItemIndex(dao_play_item *item);
// Items stay owned by the list; null when out of range.
RV_API dao_play_item *bcast_getPlayItem(int32_t index);
RV_API dao_play_item *bcast_getCurPlayItem(void);
RV_API dao_play_item *bcast_getPrePlayItem(void);
RV_API dao_play_item *bcast_getNextPlayItem(void);
// An empty list takes the list's place (the old one is kept, see
// bcast_forget_old_lists); index 0.
RV_API void bcast_clearPlayList(void);
// Fetches the programme list of the broadcast (or, when none is live, its
// details) into the play list and hands the live item to `listener`. Returns
// at once; the listener runs on a worker thread under the player global mutex.
RV_API void bcast_fetchPlayList(playlist_listener *listener, int64_t broadcast_id);

// The two listeners' functions (first list of a broadcast / clock refresh).
RV_API void onObtainPlaylistReady(dao_play_item *item);
RV_API void onObtainPlaylistFailed(int unused);
RV_API void onUpdatePlaylistReady(dao_play_item *item);
RV_API void onUpdatePlaylistFailed(int unused);

// Asks the service for its time and (re)starts the clock for the live
// programme `item` (its finish time is taken now; the item may go later). The
// answer starts or moves the clock only while the broadcast player owns the
// engine and no other resource or item was started meanwhile.
RV_API void bcast_processProgramTime(dao_play_item *item);
// Stops the clock: wakes the thread at once, joins it (from the clock's own
// thread, e.g. a listener slot starting an album, it is joined later), frees
// the clock. Never waits for a tick; never interrupts a clock or alert call
// midway.
RV_API void _time_monitor_stop(void);
// Tests: the length of one clock tick (1,000 ms unless set; each tick still
// counts 1,000 ms of service time). Takes effect from the next tick.
RV_API void _time_monitor_set_tick(int32_t tick_ms);
// Tests: the number of clock threads running now (told to stop or not).
RV_API int32_t _time_monitor_threads(void);

RV_END_DECLS

// A new resource starts: frees the lists replaced since the last one (kept
// until now because the application may hold them or their items).
void bcast_forget_old_lists();

// The replaced lists kept readable meanwhile, newest first: about a day of
// programme changes; the oldest goes when one more is replaced.
constexpr int kBcastKeptLists = 32;

// Tells the clock to stop (at once) and leaves the join to the next start or
// stop: for callers that may hold the player global mutex, which a listener
// slot on the clock's thread may be waiting for.
void time_monitor_stop_later();

// State the broadcast data manager and the broadcast player share.
extern std::atomic<int64_t> mCurBroadcastId;                      // set by the play-by functions
extern std::atomic<bool> mIsCurPlayLiving;                        // the started item is live
extern std::atomic<playlist_listener *> mObtainPlaylistLisenter;  // first list of a broadcast
extern std::atomic<playlist_listener *> mUpdatePlaylistLisenter;  // refresh by the clock

#endif
