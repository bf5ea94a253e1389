// The player manager: the internal callback table playerCb through which the
// event pump reaches the enabled play manager, and the player global mutex.
//
// Handlers run on the thread that raised the notification: the engine's event
// thread for engine events, the commanding thread for playing, paused, stopped
// and seek start. Registering and notifying may happen on any thread at once
// (the slots are atomic); a handler replaced while it runs may still finish.
#ifndef RV_PLAYER_PLAYER_MANAGER_H
#define RV_PLAYER_PLAYER_MANAGER_H

#include <atomic>
#include <cstdint>
#include <initializer_list>

#include "request/report_dao.h"
#include "rv_export.h"
#include "rv_play_item.h"
#include "rv_util.h"

RV_BEGIN_DECLS

typedef void (*player_cb_onPrepareComplete)(void);
typedef void (*player_cb_onPlaying)(int64_t position);
typedef void (*player_cb_onError)(int32_t what, int32_t arg1, int32_t arg2);
typedef void (*player_cb_onProgress)(int64_t position, int64_t duration);
typedef void (*player_cb_onPaused)(void);
typedef void (*player_cb_onStopped)(void);
typedef void (*player_cb_onSeekStart)(void);
typedef void (*player_cb_onSeekComplete)(void);
typedef void (*player_cb_onDownloadProgress)(int64_t arg1, int64_t arg2);
typedef void (*player_cb_onBufferingStart)(void);
typedef void (*player_cb_onBufferingComplete)(void);
typedef void (*player_cb_onPlayEnd)(void);

RV_END_DECLS

// The twelve slots, in table order: X(Name, parameter list, argument list).
#define RV_PLAYER_CB_SLOTS(X)                                                \
    X(PrepareComplete, (), ())                                               \
    X(Playing, (int64_t position), (position))                               \
    X(Error, (int32_t what, int32_t arg1, int32_t arg2), (what, arg1, arg2)) \
    X(Progress, (int64_t position, int64_t duration), (position, duration))  \
    X(Paused, (), ())                                                        \
    X(Stopped, (), ())                                                       \
    X(SeekStart, (), ())                                                     \
    X(SeekComplete, (), ())                                                  \
    X(DownloadProgress, (int64_t arg1, int64_t arg2), (arg1, arg2))          \
    X(BufferingStart, (), ())                                                \
    X(BufferingComplete, (), ())                                             \
    X(PlayEnd, (), ())

#define RV_PLAYER_CB_MEMBER(Name, params, args) std::atomic<player_cb_on##Name> on##Name{nullptr};
struct player_callbacks {
    RV_PLAYER_CB_SLOTS(RV_PLAYER_CB_MEMBER)
};
#undef RV_PLAYER_CB_MEMBER

// All null at load.
extern "C" RV_API player_callbacks playerCb;

// The player global mutex: recursive, process-private; null before
// initPlayerManager and after destroyPlayerManager.
extern "C" RV_API std::atomic<thread_mutex *> player_mutex;

RV_BEGIN_DECLS

// register_cb_on<Name> stores the handler (replacing the previous one);
// notifyOn<Name> calls it when set.
#define RV_PLAYER_CB_DECLARE(Name, params, args)                  \
    RV_API void register_cb_on##Name(player_cb_on##Name handler); \
    RV_API void notifyOn##Name params;
RV_PLAYER_CB_SLOTS(RV_PLAYER_CB_DECLARE)
#undef RV_PLAYER_CB_DECLARE

// Clears all twelve slots; returns 0.
RV_API int unregister_cb_player_status(void);

// Creates the mutex (at start-up): true when it exists afterwards. Called
// again while it exists, keeps it.
RV_API bool initPlayerManager(void);
// Destroys it (at shut-down, when no thread holds it).
RV_API void destroyPlayerManager(void);
// 0 on success, 2 when the lock operation fails (try-lock: also busy), 3 when
// there is no mutex. The same thread may lock again; unlock as often.
RV_API int player_global_mutex_lock(void);
RV_API int player_global_mutex_try_lock(void);
RV_API int player_global_mutex_unlock(void);

RV_END_DECLS

// Holds the player global mutex for a scope (results unchecked, as everywhere:
// without a mutex the play managers run unlocked).
class PlayerGlobalLock {
  public:
    PlayerGlobalLock() { player_global_mutex_lock(); }
    ~PlayerGlobalLock() { player_global_mutex_unlock(); }
    PlayerGlobalLock(const PlayerGlobalLock &) = delete;
    PlayerGlobalLock &operator=(const PlayerGlobalLock &) = delete;
};

// Play-event reports of the play managers: one report about `item` (radioid =
// its albumId, audioid = its audioId, as decimal text) plus the given fields
// (null texts are left out), sent without a callback. Nothing is sent when
// memory is short. Any thread.
struct ReportField {
    char *dao_report::*member;
    const char *text;
};
void send_item_report(const dao_play_item *item, std::initializer_list<ReportField> fields);

#endif
