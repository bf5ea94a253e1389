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
#include <functional>
#include <initializer_list>
#include <new>
#include <utility>

#include "request/report_dao.h"
#include "rv_export.h"
#include "rv_play_item.h"
#include "rv_player.h"
#include "util/util.h"

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

// Makes the mutex available (at start-up): true when it exists afterwards.
// Called again while it exists, keeps it.
RV_API bool initPlayerManager(void);
// Withdraws it (at shut-down): waits for the threads holding it to let go,
// after which locking answers 3. The mutex itself stays for the next start-up,
// so a call racing the release never touches freed memory, and an unlock of a
// hold taken before still lets go of it.
RV_API void destroyPlayerManager(void);
// 0 on success, 2 when the lock operation fails (try-lock: also busy), 3 when
// there is no mutex. The same thread may lock again; unlock as often.
RV_API int player_global_mutex_lock(void);
RV_API int player_global_mutex_try_lock(void);
RV_API int player_global_mutex_unlock(void);

RV_END_DECLS

// Holds the player global mutex for a scope (results unchecked, as everywhere:
// without a mutex the play managers run unlocked). Application listener calls
// made through player_listener_call while a PlayerGlobalLock is held on this
// thread are delivered once the outermost one is released, so no listener slot
// runs under the mutex.
class PlayerGlobalLock {
  public:
    PlayerGlobalLock();
    ~PlayerGlobalLock();
    PlayerGlobalLock(const PlayerGlobalLock &) = delete;
    PlayerGlobalLock &operator=(const PlayerGlobalLock &) = delete;
};

// Puts `call` on the players' one sequence of listener calls: under the lock,
// in the order the players decided. The sequence is delivered when this
// thread's outermost PlayerGlobalLock is released (without one: at once), by
// one thread at a time: a thread that finds another delivering leaves its
// calls to that one, so no call overtakes one decided before it and no slot
// runs inside another. A call that cannot be queued for want of memory is
// dropped (with an E line): it must not run under the lock, nor throw through
// C frames.
void player_queue_listener_call(std::function<void()> call);
void player_deliver_listener_calls();
bool player_lock_held_here();
void player_listener_call_dropped();
template <class Fn>
void player_listener_call(Fn &&call) {
    try {
        player_queue_listener_call(std::forward<Fn>(call));
    } catch (const std::bad_alloc &) {
        player_listener_call_dropped();
    }
    if (!player_lock_held_here()) {
        player_deliver_listener_calls();
    }
}

// Calls an application listener function with `args` through player_listener_call.
template <class... Params, class... Args>
void player_tell(void (*slot)(Params...), Args... args) {
    player_listener_call([slot, args...] { slot(args...); });
}

// --- The two players and the engine ---------------------------------------------
//
// The player manager keeps, below both players, who owns the engine and one
// record per player. Neither player calls the other: taking the engine
// disables the previous owner through the disable function it installed.

enum PlayerKind : int32_t { kAlbumPlayer = 0, kBroadcastPlayer = 1 };

// What the user said last to a player. Automatic moves (the next item after
// an end, the next live programme) happen only while it is Play.
enum class PlayerIntent : uint8_t { Play, Pause, Stop };
// What a player is doing. Decided only by the functions below, under the
// player global mutex, from commands, answers and engine events.
enum class PlayerPhase : uint8_t {
    Idle,
    Preparing,
    Playing,
    Paused,
    Buffering,
    Stopped,
    Ended,
    Error
};

// The state of one player that changes together. Guarded by the player
// global mutex (pool workers, the engine's event thread, the application).
struct PlayerRecord {
    // Taken by every request made for the player and by every engine event
    // it handles; moves on when a resource starts (on either player), when
    // the player moves to another item, on stop and reset, and when it gives
    // the engine up. An answer or event carrying an older value is dropped.
    uint64_t generation = 0;
    int32_t index = 0;                        // the current item in the play list
    dao_play_audio_item *resource = nullptr;  // album player: what is played, owned here
    bool reported = true;  // the current item's play end was reported (or there is none)
    PlayerIntent intent = PlayerIntent::Play;
    PlayerPhase phase = PlayerPhase::Idle;
    uint64_t failed = 0;  // the generation whose start failure was told (once each)
    // The engine source the current generation prepared (0: none yet). Events of any other
    // source are of an item left, however late they come.
    uint64_t source = 0;
};

// Who asked for a move to another item.
enum class PlayerMove : uint8_t {
    Resource,  // the user started a resource (ends the other player's pending answers too)
    User,      // the user moved within the play list, or played the current item again
    Auto,      // the player moved by itself: the user's intent stays
};

// The record of `kind`; lock held.
PlayerRecord &player_record_locked(PlayerKind kind);
// A move to another item of `kind` begins: the generation moves on and the
// player is preparing; a user's move sets the intent to Play. Returns the new
// generation. Lock held.
uint64_t player_navigate_locked(PlayerKind kind, PlayerMove move);
// The generation requests of `kind` carry now; lock held.
uint64_t player_generation_locked(PlayerKind kind);
// The ticket an engine event of `kind` carries: read when the event arrives,
// checked when the player acts on it; one that never passes for an event of a
// source other than the one the current generation prepared. Any thread; takes
// the lock for the read.
uint64_t player_event_ticket(PlayerKind kind);
// True, with the debug line "Answer For An Earlier Resource, Dropped ... \n",
// when an answer asked for with `generation` is no longer wanted; lock held.
bool player_answer_stale_locked(PlayerKind kind, uint64_t generation);
// As player_answer_stale_locked, without the lock (for a caller that orders
// itself with the player's disable step by other means).
bool player_answer_stale(PlayerKind kind, uint64_t generation);
// True when `kind` may move on by itself for an event with `ticket`: it owns
// the engine, nothing moved since, the item had been prepared, and the user's
// intent is Play. Lock held.
bool player_may_move_locked(PlayerKind kind, uint64_t ticket);
// rv_Play / rv_pause reached a player: the intent of every player preparing
// an item and of the engine's owner. Takes the lock.
void player_note_intent(PlayerIntent intent);
// rv_stop / rv_reset: both players stop (their pending answers are dropped,
// nothing pending restarts sound). Lock held.
void player_stop_locked();
// The prepare-complete event of `kind`: OnPrepareComplete, then plays the
// prepared item or leaves it paused as the user asked. Dropped when stale.
// Takes the lock.
void player_play_prepared(PlayerKind kind, uint64_t ticket);
// Engine events that change the phase (error, end of the play list, buffering
// start and end); dropped when stale. Lock held.
void player_event_phase_locked(PlayerKind kind, uint64_t ticket, PlayerPhase phase);
// The user's play/pause, as the engine took it; lock held.
void player_command_phase_locked(PlayerKind kind, PlayerPhase phase);
// True when the player's item is heard (or is on its way and will be, as far
// as the user's last command goes). Takes the lock.
bool player_is_playing(PlayerKind kind);
bool player_is_paused(PlayerKind kind);
// Phases after which rv_Play starts the current item again from its start.
bool player_needs_restart_locked(PlayerKind kind);
// A start of `kind` cannot play: the player is in error and the application
// hears OnError(RV_ERROR_WHAT_START_FAILED, detail), once per generation. Lock held.
void player_start_failed_locked(PlayerKind kind, uint64_t generation, int32_t detail);
// A play-start no player took (unknown resource type, SDK not started): the
// application hears OnError and on_start_failed (RV_ERROR_WHAT_START_FAILED,
// detail) once, no player's state changes. Any thread, lock held or not.
void player_start_refused(int32_t detail);
// The user asked for the next item at the end of the play list: the
// application hears on_list_ended; nothing else changes. Any thread.
void player_list_end_reached();

// Installed by each player at start-up (null at shut-down): the function that
// makes it give the engine up, and the one that gives its current item (lock
// held; null when none). When the outermost PlayerGlobalLock is released, the
// phase and the current item of the player that moved last are compared with
// what the application was told, and a change is told (on_state_changed,
// on_list_ended, on_item_changed).
void player_install(PlayerKind kind, void (*disable)(void),
                    const dao_play_item *(*current_item)(void));
// The state told last (rv_getPlayerState). Any thread, no lock.
rv_player_state player_state();
// True while `kind` owns the engine. Any thread, no lock.
bool player_is_enabled(PlayerKind kind);
// The owner of the engine (a PlayerKind) or -1. Any thread, no lock.
int32_t player_engine_owner();
// `kind` takes the engine; false when it already had it. Lock held.
bool player_enable_locked(PlayerKind kind);
// `kind` gives the engine up (its pending answers are dropped from now on);
// false when it did not have it. Lock held.
bool player_disable_locked(PlayerKind kind);
// Disables the player other than `kind` when it is enabled, through its
// installed disable function. Lock held.
void player_disable_other_locked(PlayerKind kind);
// Shut-down, first step: the owner gives the engine up (sending the play-end
// report of what it played) and that report is given a moment (kReleaseReportWait)
// to reach the service; what has not arrived by then stays in the report outbox
// for the next start. Call without the lock, before the transport stops.
void player_release_engine();
// Shut-down: forgets owner and records (the album resource is freed).
void player_reset_all();

// Play-event reports of the play managers: one report about `item` (radioid =
// its albumId, audioid = its audioId, as decimal text) plus the given fields
// (null texts are left out), sent without a callback (during
// player_release_engine: followed until answered). Nothing is sent when memory
// is short. Any thread.
struct ReportField {
    char *dao_report::*member;
    const char *text;
};
void send_item_report(const dao_play_item *item, std::initializer_list<ReportField> fields);

#endif
