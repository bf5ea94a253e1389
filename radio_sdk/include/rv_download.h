/** @file
 * Albums kept on the device: downloaded once, played from their files.
 *
 * The store is `data_dir`/downloads (made 0700): one file per audio,
 * `<audioId>.<ext>` (0600), fetched into `<audioId>.<ext>.part` and entered by
 * an atomic rename once its size is checked, and `index`, the list of albums
 * and audios, rewritten whole (written to `index.tmp`, synced, renamed). A
 * crash at any moment leaves the old or the new index, never a torn one; only
 * files the index lists as whole are ever played, and files it does not list
 * are deleted when the store is next opened (at start-up).
 *
 * Downloads run on two threads of the SDK (at most two transfers at once),
 * started by rv_initSdk and stopped by rv_releaseSdk. A transfer cut or
 * stalled is resumed at the byte it lacks (Range with If-Range on the file's
 * ETag: a file that changed is fetched again whole, also from a host that
 * ignores If-Range and sends a range of another ETag); a `.part` kept by an
 * earlier process is resumed by calling rv_downloadAlbum again. Every audio of
 * the album is fetched: all pages of its audio list.
 *
 * The quota (rv_setDownloadLimit) counts the bytes of the store's audio files,
 * whole and partial. A download that would pass it ends with RVE_OVER_QUOTA,
 * a full file system with RVE_NO_SPACE; the audio's partial file is deleted
 * then, so nothing half-written stays. Nothing is evicted by the SDK: the
 * application removes what it chooses (rv_getDownloads gives each album's
 * last play).
 *
 * An audio whose whole file is in the store plays from it, online or not. The
 * index also keeps each audio's record as the album's list gave it, so a
 * downloaded album plays from first to last with no service: when a page of its
 * play list gets no answer, the album's audios whole in the store are that page.
 *
 * With no coverage: rv_initSdk's callback reports the failure (RVE_FAILED) and
 * the SDK is not started (data functions and rv_downloadAlbum give
 * RVE_NOT_READY), but until rv_releaseSdk the players, the store and the report
 * outbox stay: rv_playByAudioBean of a downloaded album plays it, the other
 * functions of this header work, and reports wait in the data directory until a
 * later start-up reaches the service.
 *
 * Ownership: records handed to callbacks are valid during the call only; the
 * list of rv_getDownloads belongs to the caller (rv_freeDownloads).
 */
#ifndef RV_DOWNLOAD_H
#define RV_DOWNLOAD_H

#include <stddef.h>
#include <stdint.h>

#include "rv_export.h"

RV_BEGIN_DECLS

/**
 * What an album's download tells. Set `struct_size` to
 * sizeof(rv_download_events) and the slots wanted (the others null; start from
 * a zero-filled record); the SDK copies the `struct_size` bytes given, so the
 * record may be freed once rv_downloadAlbum returned. Slots get `user` and
 * run on the SDK's threads, never while the SDK holds a lock and never through
 * the application's loop (rv_dispatch.h): on_progress on a download thread;
 * on_item_done and on_album_done on a download thread, on a transport worker
 * (as the album's list arrives: audios already in the store, a list that
 * failed), on the thread of rv_cancelDownload or rv_removeDownload (audios not
 * begun), or on the thread of rv_releaseSdk (downloads it stopped). A slot
 * must not call rv_releaseSdk.
 */
typedef struct rv_download_events {
    /** sizeof(rv_download_events) as the application was built. */
    size_t struct_size;
    /** Handed to every slot as it was given. */
    void *user;
    /** Bytes of an audio's file in the store so far, of `bytes_total` (-1 unknown). */
    void (*on_progress)(void *user, int64_t album_id, int64_t audio_id, int64_t bytes_done,
                        int64_t bytes_total);
    /** An audio ended: RVE_OK (its file is whole in the store), RVE_OVER_QUOTA,
     * RVE_NO_SPACE, RVE_FAILED (the transfer failed after its retries or the
     * file was not whole), RVE_NOT_READY (cancelled or the SDK stopping). Once
     * per audio of the album. */
    void (*on_item_done)(void *user, int64_t album_id, int64_t audio_id, int result);
    /** The album ended, exactly once per accepted rv_downloadAlbum, after its
     * last on_item_done: RVE_OK when every audio is whole in the store, else
     * the first failure of an audio or of its list. */
    void (*on_album_done)(void *user, int64_t album_id, int result);
} rv_download_events;

/**
 * Queues every audio of album `album_id` for download; audios already whole
 * in the store are told done at once, partial ones resumed. Returns RVE_OK
 * (then on_album_done comes exactly once); RVE_BAD_ARGS for a null `events`, a
 * `struct_size` that is not a version's, or an id below 1; RVE_NOT_READY
 * before rv_initSdk succeeded; RVE_ALREADY_STARTED while this album still
 * downloads; RVE_NO_MEMORY. Any thread; never blocks beyond a short lock.
 */
RV_API int rv_downloadAlbum(int64_t album_id, const rv_download_events *events);

/**
 * Stops the album's download and deletes its partial files (its whole ones stay).
 * Its on_album_done follows with RVE_NOT_READY once its transfers have stopped.
 * Returns RVE_OK; RVE_BAD_ARGS when the album is neither downloading nor in the
 * store; RVE_NOT_READY before rv_initSdk or after rv_releaseSdk (a start-up that
 * failed counts as started here). Any thread, callbacks included; never blocks
 * beyond a short lock and file deletions.
 */
RV_API int rv_cancelDownload(int64_t album_id);

/**
 * Deletes the album from the store (cancelling its download first).
 * Returns as rv_cancelDownload.
 */
RV_API int rv_removeDownload(int64_t album_id);

/**
 * Sets the store's quota in bytes; 0 for none (the default). Downloads
 * already over it end with RVE_OVER_QUOTA at their next write; nothing is
 * deleted. RVE_OK, or RVE_BAD_ARGS for a negative value. Any thread, before
 * or after rv_initSdk.
 */
RV_API int rv_setDownloadLimit(int64_t max_bytes);

/** An album's place in the store. */
typedef enum rv_download_state {
    RV_DOWNLOAD_RUNNING = 0,  /**< downloading now */
    RV_DOWNLOAD_COMPLETE = 1, /**< every audio is whole in the store */
    RV_DOWNLOAD_PARTIAL = 2   /**< ended with some audios missing */
} rv_download_state;

/** One album of the store. Handed out as an array, so it never grows: later
 * facts come through functions of their own. */
typedef struct rv_download_info {
    int64_t album_id;    /**< the album, as given to rv_downloadAlbum */
    int32_t state;       /**< rv_download_state */
    int32_t items_done;  /**< audios whole in the store */
    int32_t items_total; /**< audios of the album, as its list gave them */
    int64_t bytes;       /**< bytes of its files in the store, partial ones included */
    /** When an audio of it last started playing (seconds since the epoch; 0: never). */
    int64_t last_played;
} rv_download_info;

/**
 * The albums of the store, oldest download first: `*out` gets an array of
 * `*count` records (null and 0 when the store is empty), freed with
 * rv_freeDownloads. RVE_OK; RVE_BAD_ARGS for a null argument; RVE_NOT_READY
 * before rv_initSdk or after rv_releaseSdk (a failed start-up counts as started);
 * RVE_NO_MEMORY. Any thread; never blocks beyond
 * a short lock.
 */
RV_API int rv_getDownloads(rv_download_info **out, size_t *count);

/** Frees an array of rv_getDownloads; null is ignored. Any thread. */
RV_API void rv_freeDownloads(rv_download_info *list);

/** Bytes of the store's audio files, what the quota counts; 0 before rv_initSdk
 * or after rv_releaseSdk. */
RV_API int64_t rv_getDownloadBytes(void);

RV_END_DECLS

#endif
