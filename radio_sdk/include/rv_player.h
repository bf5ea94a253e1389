/** @file
 * Playback: the application's listeners, the playback API and the engine
 * settings.
 *
 * Ownership: beans and items passed in stay the caller's; the SDK copies what
 * it keeps. Items and lists handed back by the rv_get… functions stay owned by
 * the play list: never free them; they stay valid until the next resource is
 * started on that player (rv_playByAudioBean, or rv_playByPlayItem of an item
 * that is not in its play list) or rv_releaseSdk; a programme change never
 * frees or changes them (rv_getPlayList then gives the new list, the old one
 * stays readable for the next 32 list changes, about a day). An item of such
 * a replaced list may be passed to rv_playByPlayItem. Listener records stay the application's:
 * the SDK keeps only the pointer, never copies or frees the record, so it must
 * stay valid until it is removed; once the removal has returned, the record
 * may be freed (see "Registering listeners" below).
 *
 * Threading: every function may be called from any thread, also from inside a
 * listener slot (the play managers' lock is recursive). Queries never block
 * on the network; commands (rv_stop, rv_reset, rv_pause, rv_Play, starting
 * or moving to another item) record what the user asked and return within a
 * few milliseconds: the item left fades out and lets go of the device on the
 * engine's own thread, and the next item is heard once it has.
 * Play lists are fetched in the background. Listener slots run on the thread
 * that caused them (see PlayerStateListener); they must return promptly and
 * must not call rv_releaseSdk.
 */
#ifndef RV_PLAYER_H
#define RV_PLAYER_H

#include <stdbool.h>
#include <stddef.h>
#include <stdint.h>

#include "rv_export.h"
#include "rv_list.h"
#include "rv_play_item.h"

RV_BEGIN_DECLS

/* --- Listeners -------------------------------------------------------------- */

/**
 * @name Kinds of OnProgress
 * What OnProgress's position and duration mean depends on its kind:
 * - RV_PROGRESS_PLAYER: an on-demand item (album audio, single audio, smartcast
 *   item) or a past programme played back. position: milliseconds played from the
 *   item's start, in the item's own time (a seek moves it, the speed does not
 *   scale it); duration: the item's length in milliseconds. From the media engine,
 *   about every 500 ms while playing and only while the length is known; 0 <=
 *   position <= duration.
 * - RV_PROGRESS_LIVE: a live programme. position: the service's clock now, in
 *   milliseconds since 1970-01-01 00:00 UTC (taken from the service's time answer
 *   when the broadcast started, then advanced by the SDK's clock); duration: the
 *   live programme's end (its finishTime) on the same clock, or 0
 *   while the programme has ended and the next one is being fetched. Once a
 *   second. So position can be past "duration" for a moment; the time played of
 *   the programme is position minus its dao_program startTime (the same clock),
 *   and the time left duration minus position.
 */
/** @{ */
#define RV_PROGRESS_PLAYER 0 /**< an item's position and length, ms from its start */
#define RV_PROGRESS_LIVE 1   /**< the service clock and the programme's end, ms since 1970 */
/** @} */

/** @name OnError's what: where the error comes from */
/** @{ */
#define RV_ERROR_WHAT_ENGINE 100 /**< the media engine; the detail is an RV_ERROR_DETAIL_… */
/**
 * A start cannot play (a resource or item started, the next or previous item,
 * rv_Play of a stopped item): told once per start, and only for the start the
 * user made last. Detail: the request's result code (rv_error.h) when the
 * play list could not be fetched, RVE_NOT_READY for a play-start before
 * rv_initSdk succeeded or after rv_releaseSdk, else one of RV_START_…
 */
#define RV_ERROR_WHAT_START_FAILED 101
#define RV_START_NOTHING_TO_PLAY (-1) /**< the answer held no item to play */
#define RV_START_NOT_ON_AIR (-2)      /**< the programme is not on air (yet) */
#define RV_START_NO_PLAY_URL (-3)     /**< the item has no play URL */
#define RV_START_UNKNOWN_TYPE (-4)    /**< no player plays the resource type */
/** @} */

/** @name OnError's detail when what is RV_ERROR_WHAT_ENGINE */
/** @{ */
#define RV_ERROR_DETAIL_NO_SOURCE 1 /**< the item has no address to play */
#define RV_ERROR_DETAIL_OPEN 2      /**< the source could not be opened or is not media */
#define RV_ERROR_DETAIL_NO_AUDIO 3  /**< the source has no playable audio stream */
#define RV_ERROR_DETAIL_DECODE 4    /**< the audio could not be decoded */
#define RV_ERROR_DETAIL_NETWORK 5   /**< the input broke off and reconnecting did not help */
#define RV_ERROR_DETAIL_OUTPUT 6    /**< the audio device failed while writing */
/** the device chosen with rv_setAudioDevice could not be opened; playback ended */
#define RV_ERROR_DETAIL_AUDIO_DEVICE 7
/** @} */

/**
 * The application's player-state listener. Any slot may be null. Slots run on:
 * - the media engine's event thread: OnPrepareComplete, OnProgress of kind 0,
 *   OnError, OnPlayEnd, OnSeekComplete, OnBufferingStart, OnBufferingComplete;
 * - the thread of the command that caused them (an application thread, or the
 *   event thread or a worker when an item starts by itself): OnPlaying,
 *   OnPaused, OnSeekStart;
 * - the live-programme clock's thread: OnProgress of kind 1.
 * Events are told in the order the players decided them, one at a time: when
 * another thread is telling earlier events at that moment, it tells the later
 * ones too, after them (so a slot may run on a thread other than the one
 * named above, never inside another slot's call on a different thread).
 * Slots are never called while the SDK holds a lock of its own. Each slot is
 * read once per call: a slot the application sets to null while registered
 * (with an atomic store if events may arrive meanwhile) is either called or
 * skipped, never called through null.
 *
 * The record has exactly these ten slots; the SDK never reads past them.
 */
typedef struct PlayerStateListener {
    /** The item is ready to play. */
    void (*OnPrepareComplete)(void);
    /** Playing started or resumed. */
    void (*OnPlaying)(void);
    /** Paused. */
    void (*OnPaused)(void);
    /** kind RV_PROGRESS_…, position and duration in ms */
    void (*OnProgress)(int32_t kind, int64_t position, int64_t duration);
    /** what: RV_ERROR_WHAT_ENGINE (detail an RV_ERROR_DETAIL_…) or
       RV_ERROR_WHAT_START_FAILED (detail a result code or an RV_START_…) */
    void (*OnError)(int32_t what, int32_t detail);
    /** The item played to its end. */
    void (*OnPlayEnd)(void);
    /** A seek began (rv_seek). */
    void (*OnSeekStart)(void);
    /** A seek finished. */
    void (*OnSeekComplete)(void);
    /** Playback stalls for input. */
    void (*OnBufferingStart)(void);
    /** Playback goes on after a stall. */
    void (*OnBufferingComplete)(void);
} PlayerStateListener;

/**
 * Registering listeners (the three set functions below and their removals):
 * each registers its listener in place of the previous one; null, or the
 * remove function, removes it. Any thread. They return once no call into the
 * previous listener is running on another thread, so the application may free
 * that listener as soon as they return; they block only for such calls. A
 * call running on the calling thread itself is not waited for: a listener may
 * remove or replace itself from inside its own slots. Do not call them while
 * holding a lock that a slot of the previous listener may wait for (nor from
 * a FetchPlaylistListener, which runs under the player's lock).
 */
RV_API void setPlayerStateListener(PlayerStateListener *listener);
/** As setPlayerStateListener(NULL). */
RV_API void removePlayerStateListener(void);

/**
 * The download progress of the item playing, about once a second while it
 * downloads, for either player: bytes fetched and total bytes when the size is
 * known, otherwise the ms of audio buffered ahead of the play position and
 * the duration (0 for live streams). Runs on the media engine's event thread,
 * with no lock of the SDK held. Null removes it (see above).
 */
RV_API void setPlayerDownloadProgressListener(void (*listener)(int64_t fetched, int64_t total));

/**
 * Now playing on a live stream: the song's title and artist as the station
 * sends them in band (HLS: ID3 timed metadata, TIT2 and TPE1; Icecast and
 * SHOUTcast: the ICY StreamTitle, "Artist - Song" whole in title, artist "").
 * Called once per change, at the moment
 * its audio is heard (not when it is read ahead). Texts are UTF-8 (a
 * station's Latin-1 is converted), at most 256 bytes, without control
 * characters; never null; valid during the call only. Runs on the media
 * engine's event thread, with no lock of the SDK held. Null removes it (see
 * above). Independent of PlayerStateListener.
 */
RV_API void setPlayerMetadataListener(void (*listener)(const char *title, const char *artist));

/** The application's broadcast listener. */
typedef struct PlayerBroadcastListener {
    /**
     * A refreshed programme list brought a new live programme. Runs on a worker
     * thread after the broadcast player released its lock; `item` is a copy of
     * the play list's item, valid during the call only (the SDK frees it).
     * When the new programme's play URL is the stream playing, that stream
     * plays on; another URL is opened afresh.
     */
    void (*OnLiveProgramUpdated)(dao_play_item *item);
} PlayerBroadcastListener;

/** Registers the broadcast listener (see "Registering listeners" above). */
RV_API void setPlayerBroadcastListener(PlayerBroadcastListener *listener);
/** As setPlayerBroadcastListener(NULL). */
RV_API void removePlayerBroadcastListener(void);

/* --- Listeners with user data ------------------------------------------------
 * Any number of listeners, each with the application's own pointer, beside
 * the one-per-process registrations above (which keep working).
 */

/**
 * What the player is doing, as on_state_changed reports it. Transitions:
 * - IDLE: nothing started yet. A play-start (or next, previous, the automatic
 *   next item) goes to PREPARING.
 * - PREPARING: the play list or the item is on its way. Then PLAYING, PAUSED
 *   (rv_pause while preparing keeps it paused), or ERROR when it cannot start
 *   (on_start_failed tells why).
 * - PLAYING <-> PAUSED (rv_pause, rv_Play, rv_switchPlayOrPause);
 *   PLAYING <-> BUFFERING (the input stalled, then caught up).
 * - PLAYING -> PREPARING when an item ends and the next one starts; ENDED when
 *   the last item of the play list ended (on_list_ended), STOPPED on rv_stop;
 *   ERROR when the engine fails (on_error).
 * - From STOPPED, ENDED and ERROR a play command goes to PREPARING again.
 */
typedef enum rv_player_state {
    RV_PLAYER_IDLE = 0,
    RV_PLAYER_PREPARING = 1,
    RV_PLAYER_PLAYING = 2,
    RV_PLAYER_PAUSED = 3,
    RV_PLAYER_BUFFERING = 4,
    RV_PLAYER_STOPPED = 5,
    RV_PLAYER_ENDED = 6,
    RV_PLAYER_ERROR = 7
} rv_player_state;

/**
 * A listener: set `struct_size` to sizeof(rv_player_events) and the slots
 * wanted (the others null; start from a zero-filled record). The SDK copies
 * the record when it is added, reading only the `struct_size` bytes given, so
 * a program built against an older, shorter record keeps working and the
 * record may be freed once rv_addPlayerListener returned. Every slot gets the
 * `user` pointer given with the record. Slots run on the threads named for
 * PlayerStateListener (or on the application's loop, rv_dispatch.h), never
 * while the SDK holds a lock of its own; listeners run in the order they were
 * added.
 */
typedef struct rv_player_events {
    /** sizeof(rv_player_events) as the application was built. */
    size_t struct_size;
    /** @{ */
    /** The ten slots of PlayerStateListener, with the same arguments. */
    void (*on_prepare_complete)(void *user);
    void (*on_playing)(void *user);
    void (*on_paused)(void *user);
    void (*on_progress)(void *user, int32_t kind, int64_t position, int64_t duration);
    void (*on_error)(void *user, int32_t what, int32_t detail);
    void (*on_play_end)(void *user);
    void (*on_seek_start)(void *user);
    void (*on_seek_complete)(void *user);
    void (*on_buffering_start)(void *user);
    void (*on_buffering_complete)(void *user);
    /** @} */
    /** As setPlayerDownloadProgressListener. */
    void (*on_download_progress)(void *user, int64_t fetched, int64_t total);
    /** As PlayerBroadcastListener: `item` is valid during the call only. */
    void (*on_live_program_updated)(void *user, const dao_play_item *item);
    /** The player's state changed (rv_player_state): told once per change,
     * the state it settled on (passing states within one step, such as ENDED
     * between two programmes of a broadcast, are not told). A state older
     * than one already told (two threads at once) is left out, so the last
     * one heard is the player's. Runs after the players' lock is released, on
     * the thread of the command or event that caused it, and concerns the
     * player chosen last (by a play-start, a move or the automatic next item),
     * as do the three slots after it. */
    void (*on_state_changed)(void *user, rv_player_state state);
    /** Another item became the current one (not told again when the same item
     * is played again); `item` is a copy the listener owns: it may keep it and
     * frees it with dao_play_item_del. */
    void (*on_item_changed)(void *user, dao_play_item *item);
    /** The last item of the play list ended; nothing more plays by itself. */
    void (*on_list_ended)(void *user);
    /** A play-start or move could not start its item: what is
     * RV_ERROR_WHAT_START_FAILED, detail as for OnError of that what (OnError
     * is called as well, as for PlayerStateListener). */
    void (*on_start_failed)(void *user, int32_t what, int32_t detail);
    /** As setPlayerMetadataListener: the texts are valid during the call only. */
    void (*on_metadata)(void *user, const char *title, const char *artist);
} rv_player_events;

/** The state on_state_changed told last; RV_PLAYER_IDLE before any play-start
 * and after rv_releaseSdk. Any thread; never blocks. */
RV_API rv_player_state rv_getPlayerState(void);

/** Names one added listener; never 0. */
typedef uint64_t rv_listener_id;

/**
 * Adds a listener (a copy of `events`, see above) with `user`; its id goes to
 * `out` (may be null). Returns RVE_OK; RVE_BAD_ARGS for a null `events` or a
 * `struct_size` that does not end at a slot's end (smaller than the record's
 * first slot, or inside a slot); RVE_NO_MEMORY. Slots
 * beyond this library's record (a newer program) are never called. Any
 * thread; never blocks beyond a short internal lock. Events from the moment
 * it returns reach it.
 */
RV_API int rv_addPlayerListener(const rv_player_events *events, void *user, rv_listener_id *out);

/**
 * As rv_addPlayerListener, and `release` (may be null) gets `user` back once,
 * when the listener is removed and no call into it runs any longer: on the
 * removing thread before rv_removePlayerListener returns, or, for a removal
 * from inside that listener's own call, on the thread whose call into it ends last.
 * Lets a language binding own what `user` points at.
 */
RV_API int rv_addPlayerListenerWithRelease(const rv_player_events *events, void *user,
                                           void (*release)(void *user), rv_listener_id *out);

/**
 * Removes a listener: RVE_OK, or RVE_BAD_ARGS for an id that is not added.
 * It returns once no call into that listener is running on another thread,
 * so `user` may be freed afterwards, also when called from inside another
 * listener's call (the SDK makes its listener calls one thread at a time, so
 * two listeners removing each other do not wait on each other). Called from
 * inside a call of the listener it removes, it cannot wait for that call: no
 * call starts into the removed listener, but one running elsewhere may still
 * finish (use rv_addPlayerListenerWithRelease to learn when); no call reaches
 * it later, also none queued for the application's loop. Same cautions as
 * setPlayerStateListener.
 */
RV_API int rv_removePlayerListener(rv_listener_id id);

/**
 * Receives the outcome of rv_fetchMorePlaylist. onPlayItemReady gets the first
 * item fetched (owned by the play list); onPlayItemUnavailable gets null. Runs
 * in turn with the listener slots, on the thread delivering them (usually the
 * worker that got the answer; the calling thread when nothing could be asked),
 * with the player global mutex held: it may call the playback functions, but
 * should not wait for another thread that does. A listener slot must not wait
 * for it either: it comes after the slot has returned.
 */
typedef struct FetchPlaylistListener {
    /** The first item fetched, owned by the play list. */
    void (*onPlayItemReady)(dao_play_item *item);
    /** Nothing was fetched; `unused` is null. */
    void (*onPlayItemUnavailable)(void *unused);
} FetchPlaylistListener;

/* --- Starting playback ---------------------------------------------------------
 * Resource types 0, 1 and 3 go to the album player, 11 to the broadcast player;
 * that player then serves every control function below. Any other type is
 * refused (E "Unknown Resource Type ! \n", then OnError and on_start_failed
 * with RV_ERROR_WHAT_START_FAILED, RV_START_UNKNOWN_TYPE, on the calling
 * thread or the loop) and leaves the player chosen before as it was; so does
 * a play-start while the SDK is not started (detail RVE_NOT_READY).
 * How to fill a bean by hand: dao_play_audio_bean in rv_play_item.h. Playing
 * adds nothing to the user's listening history; the application saves what
 * was played with rv_saveListenHistory (rv_user.h).
 */

/**
 * Starts a resource: fetches its play list and plays the bean's audio or the
 * first item. Returns at once; the fetch runs on a worker and playing starts by
 * itself once the engine is prepared (OnPrepareComplete). Albums come page by
 * page (20 audios; with an audioId, the page holding it), smartcast radios
 * batch by batch, a single audio (type 1) as a one-item list. When nothing can
 * be fetched: W "Fetch Playlist Failed, So Can Not Start Play... \n", the
 * engine stays as it was and OnError(RV_ERROR_WHAT_START_FAILED, …) is called once.
 */
RV_API void rv_playByAudioBean(dao_play_audio_bean *bean);
/**
 * Plays one item (for example one built with transformAudioToPlayItem). An
 * item of the player's play list (same audioId) plays there; any other item
 * becomes the only item of a new play list (a copy; reports and next/previous
 * then concern it alone). A broadcast's programme plays without its list being
 * fetched; a live one (RV_PLAY_STATUS_LIVE) gets the live-programme clock as by
 * bean (OnProgress of kind 1, the next programme when it ends); one not on air
 * is refused. The audio being left gets its play-end report, unless it is the
 * item started again.
 */
RV_API void rv_playByPlayItem(dao_play_item *item);

/* --- Control -------------------------------------------------------------------
 * They reach the player that owns the engine (the one that last started an
 * item), so what is heard can always be paused and stopped, also while another
 * resource is on its way; before either player took the engine, the one chosen
 * by the last play-start. Before any play-start these log E "Unknown Player
 * Type ! \n" and answer false, -1 or null. rv_pause while the next item is on
 * its way (a new resource, next, previous, the automatic next item) keeps that
 * item paused once prepared, until rv_Play; rv_Play in that time lets it play.
 * The players do what the user said last: after rv_stop or rv_reset nothing
 * on its way (a play list, the next item, the next live programme) starts
 * playing; a paused broadcast stays paused over a programme change (its
 * current item and clock move on). rv_Play after rv_stop, after an engine
 * error or after the play list ended plays the current item again from its
 * start (with none, nothing happens); rv_Play or rv_switchPlayOrPause on a
 * paused live programme starts it afresh at the live point.
 */
/** Plays on after a pause, or plays a stopped item again (see above). */
RV_API void rv_Play(void);
/** Pauses the item. */
RV_API void rv_pause(void);
/** Stops the item. */
RV_API void rv_stop(void);
/** Stops as rv_stop, and forgets the album item's play position. */
RV_API void rv_reset(void);
/** Pauses, or resumes; a paused live programme is started afresh at the live
 * point (prepared again) rather than resumed where it stopped. */
RV_API void rv_switchPlayOrPause(void);
/** Moves to `msec` ms into the item (OnSeekStart, then OnSeekComplete). */
RV_API void rv_seek(int32_t msec);
/**
 * Playback speed, RV_MIN_SPEED..RV_MAX_SPEED (1 = normal), with the voice at its
 * pitch. The item playing takes it up within about 20 ms (heard after the
 * quarter second the engine holds ahead) and the items after it keep it until
 * it is changed; rv_releaseSdk does not reset it. Positions, durations, seeks,
 * OnProgress and the play-end reports stay in the item's own time: at 1.5 a
 * 12-minute episode plays in 8 minutes while OnProgress still counts to 12.
 * A live stream always plays at 1. Returns RVE_OK; RVE_BAD_ARGS (E "Speed …
 * out of 0.5..2.0") outside the range; RVE_LIVE_STREAM (E "Live stream plays
 * at speed 1") while a live stream plays, leaving the speed as it was. Works
 * before and without a player. Any thread; never blocks.
 */
#define RV_MIN_SPEED 0.5f
/** The fastest playback speed. */
#define RV_MAX_SPEED 2.0f
/** Sets the playback speed: see RV_MIN_SPEED just above. */
RV_API int32_t rv_setPlaybackSpeed(float speed);
/** The speed rv_setPlaybackSpeed took last (1 at first): what items play at,
 * except a live stream, which plays at 1. Any thread; never blocks. */
RV_API float rv_getPlaybackSpeed(void);
/** The lowest volume of rv_setVolume: silent. */
#define RV_MIN_VOLUME 0.0f
/** The highest volume of rv_setVolume: the audio as it is. */
#define RV_MAX_VOLUME 1.0f
/** The longest ramp of rv_setVolume, in ms. */
#define RV_MAX_VOLUME_RAMP_MS 10000
/**
 * Volume, RV_MIN_VOLUME..RV_MAX_VOLUME (1 = as the audio is), reached evenly
 * over `ramp_ms` of played audio (0: at once; at most RV_MAX_VOLUME_RAMP_MS),
 * from wherever an earlier ramp had brought it: ducking under a navigation
 * prompt is rv_setVolume(0.2f, 300) and back rv_setVolume(1, 300), without a
 * click. Kept for the items after it and by rv_releaseSdk. Returns RVE_OK;
 * RVE_BAD_ARGS (E "Volume … out of 0..1, ramp … out of 0..10000 ms") when
 * either is out of range, leaving the volume as it was. Works before and
 * without a player. Any thread; never blocks.
 */
RV_API int32_t rv_setVolume(float gain, int32_t ramp_ms);
/** The longest name rv_setAudioDevice takes, in bytes. */
#define RV_MAX_AUDIO_DEVICE_NAME 1024
/**
 * The ALSA PCM the audio plays on: a name of the ALSA configuration ("hw:1,0",
 * "zone_media", "plug:dmix"); null or "" is ALSA's "default". Takes effect at
 * the next item and, while an item plays, at once: the sound fades out on the
 * old device and fades in on the new one at the same position. A named device
 * that cannot be opened ends playback with one OnError(RV_ERROR_WHAT_ENGINE,
 * RV_ERROR_DETAIL_AUDIO_DEVICE), not a silent fallback; only "default" plays
 * into silence when there is no sound card. The name is copied. Kept for the
 * items after it and by rv_releaseSdk. Returns RVE_OK; RVE_BAD_ARGS (E "Audio
 * device name refused") for a name longer than RV_MAX_AUDIO_DEVICE_NAME or
 * holding a control character, leaving the device as it was. Works before and
 * without a player. Any thread; never blocks on the device.
 */
RV_API int rv_setAudioDevice(const char *alsa_pcm);
/** The longest role rv_setAudioRole takes, in bytes. */
#define RV_MAX_AUDIO_ROLE_NAME 256
/**
 * The media role the audio's stream carries where the audio device is a PCM
 * of PipeWire's ALSA plugin (pipewire-alsa; on many systems ALSA's "default"):
 * "Music" (the default, also for null or ""), "Movie", "Navigation",
 * "Notification", "Communication", ... as the session manager's policy knows
 * them, so that the system ducks or routes the audio by it (under navigation
 * prompts, for instance) without the application's help. A PCM whose own
 * definition names a role keeps it, and any other PCM ignores the role. Used
 * from the next time the output opens (the next item, or a change of
 * device); kept for the items after it and by rv_releaseSdk. The stream's
 * application.name is the package name given to rv_initSdk. Returns RVE_OK;
 * RVE_BAD_ARGS (E "Audio role refused") for a role longer than
 * RV_MAX_AUDIO_ROLE_NAME or holding a control character, leaving the role as
 * it was. The text is copied. Works before and without a player. Any thread;
 * never blocks.
 */
RV_API int rv_setAudioRole(const char *role);
/** The longest crossfade rv_setCrossfade takes, in ms. */
#define RV_MAX_CROSSFADE_MS 12000
/**
 * The crossfade for music, in ms (0 to RV_MAX_CROSSFADE_MS; 0, the default,
 * joins the items of an album without a seam and without a fade). At the
 * automatic next item of an album (the end of an item, not rv_playNext or
 * another user's move, which keep their short fades) the last `ms` of the item
 * ending are mixed with the start of the next with equal-power gains (the one
 * falls with a cosine, the other rises with a sine), so the item ending is
 * heard `ms` shorter. Never across a live stream, nor into an item of another
 * resource. OnPlayEnd and the play-end report of the item that ended come when
 * its last sample is heard (the end of the fade); prepare and playing of the
 * next as at any automatic next item, its positions counted from its first
 * sample (the start of the fade). Taken up as an item nears its end; kept for
 * later items and by rv_releaseSdk. Returns RVE_OK; RVE_BAD_ARGS (E
 * "Crossfade … ms out of 0..12000") outside the range, leaving it as it was.
 * Works before and without a player. Any thread; never blocks.
 */
RV_API int rv_setCrossfade(int ms);
/** The volume last set with rv_setVolume (where a ramp is going) or
 * ijk_SetMediaVolume (the louder channel's gain); 1 at first. */
RV_API float rv_getVolume(void);
/**
 * Album player: report the current audio's play end and start the item before
 * or after it. At the list's end the next page or batch is fetched first; at
 * its start the earlier page, when there is one (then its last audio plays).
 * With nothing there: W "Do Not Have Prev , So Can Not Start Play... \n" /
 * "Do Not Have Next , So Can Not Start Play... \n"; rv_playNext then tells
 * on_list_ended (also for a broadcast whose next programme is not on air), and
 * what plays goes on. An item that ends moves on to the next one by itself.
 * Any thread, listener slots included.
 */
RV_API void rv_playPre(void);
/** See rv_playPre. */
RV_API void rv_playNext(void);
/** True while the item is heard, and while it is prepared or seeks after the
 * user's last play; false after stop, an engine error, a start that failed
 * and the end of the play list. rv_isPaused likewise for pause. */
RV_API bool rv_isPlaying(void);
/** See rv_isPlaying. */
RV_API bool rv_isPaused(void);
/** False while a live programme plays (and before any play-start), else true. */
RV_API bool rv_canSeek(void);
/** True when rv_playPre has an item, or an earlier page, to move to. */
RV_API bool rv_hasPre(void);
/** True when rv_playNext has an item, or a later page or batch, to move to. */
RV_API bool rv_hasNext(void);
/** Position of the current item in the play list; -1 before any play-start. */
RV_API int32_t rv_getCurPlayItemIndex(void);
/** Owned by the play list (see the top of this header). */
RV_API dao_play_item *rv_getCurPlayItem(void);
/** Position of the item with the same audioId, or -1. */
RV_API int32_t rv_getPlayItemIndex(dao_play_item *item);
/** The item at `index`, owned by the play list; null when out of range. */
RV_API dao_play_item *rv_getPlayItem(int32_t index);
/** Number of items in the play list. */
RV_API int32_t rv_getPlayListSize(void);
/** The play list itself (a List of dao_play_item), owned by the SDK. A
 * broadcast's list is never changed once handed out. The album player's list
 * grows at its ends as pages arrive, never while a listener slot or a
 * FetchPlaylistListener runs: walk it only from inside one of those, or while
 * nothing fetches. */
RV_API List *rv_getPlayList(void);
/**
 * Fetches the next page (album) or batch (smartcast radio, with `clock_id`;
 * null for albums) of the album player's resource and appends it to the play
 * list; the outcome goes to `listener` (kept until it is called), nothing
 * starts playing. Every call is answered once: when there is nothing to fetch,
 * or the call is refused (the broadcast player: E "Can not do this\n"; no
 * player), onPlayItemUnavailable runs at once on the calling thread.
 */
RV_API void rv_fetchMorePlaylist(FetchPlaylistListener *listener, const char *clock_id);

/* --- Engine settings -------------------------------------------------------------
 * Passed on to the media engine (the gains clamped); any thread, never block.
 */
/** Gains of the left and right channel (IjkMediaPlayer_setVolume), each
 * clamped to 0..1 (NaN: 0), as rv_getVolume then tells. */
RV_API void ijk_SetMediaVolume(float left, float right);
/** DNS server for media host names (IJKMediaPlayer_setDns_Address). */
RV_API void ijk_SetDnsAddress(const char *address);
/** Back to the system resolver (IjkMediaPlayer_clearDns_Address). */
RV_API void ijk_ClearDns(void);
RV_API void ijk_GetDnsAddress(void); /**< does nothing */
/** HTTP proxy for media requests (IJKMediaPlayer_setProxyAddress). */
RV_API void ijk_SetProxyAddress(const char *proxy);
/** No proxy (IjkMediaPlayer_clearProxyAdress). */
RV_API void ijk_ClearProxyAddress(void);
/** FFmpeg's log level (IjkMediaPlayer_setDebugVerose). */
RV_API void ijk_SetDebugVerbose(int level);
/** As ijk_SetDebugVerbose. */
RV_API void player_inner_verbose(int level);
/**
 * Read-ahead bound for the next items played (IjkMediaPlayer_setReadAhead): at most
 * `max_bytes` and `max_seconds` of audio are fetched ahead of playback, so a dropout of the
 * link shorter than that is not heard. 0 or less: each default (8 MiB, 240 s). While an
 * album item plays and has been fetched whole, the album player has the beginning of the
 * next item of its play list fetched within the same bound, so it starts from memory.
 */
RV_API void ijk_SetReadAhead(int64_t max_bytes, int32_t max_seconds);
/** Duration of the current item in ms (0 when unknown). */
RV_API int64_t ijk_GetDuration(void);
/** Last position the engine reported, in ms. */
RV_API int64_t ijk_GetCurrentPosition(void);

RV_END_DECLS

#endif
