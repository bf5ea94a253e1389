/** @file
 * The data API: asynchronous queries of the service's catalogue, and the
 * records they deliver.
 *
 * Ownership: every record or List delivered to a result callback belongs to
 * the receiver from the moment of the call and is freed with its
 * dao_<name>_del (a bare List with ListFree, which frees each item). Every
 * string field is the record's own heap copy. The SDK keeps no reference.
 *
 * Threading: every function may be called from any thread and returns at
 * once. The callback runs exactly once: on the calling thread, before the
 * function returns, when the call is refused (RVE_NO_MEMORY, RVE_BAD_ARGS a
 * required argument is null, RVE_NOT_READY the SDK is not started, or the
 * code of a request that could not be built or queued); otherwise on one of the SDK's worker
 * threads, where callbacks of different calls may run at the same time and in
 * any order. The checks run in that fixed order: memory, arguments, SDK state.
 * Failures deliver data null and count 0; see rv_error.h for the codes.
 */
#ifndef RV_DATA_H
#define RV_DATA_H

#include <stdint.h>

#include "rv_export.h"
#include "rv_list.h"
#include "rv_sdk_info.h"

RV_BEGIN_DECLS

/* --- Records ---------------------------------------------------------------
 * dao_<name>_new gives a zero-filled record (null when memory is short);
 * dao_<name>_del frees its strings, its lists and the record (null ignored).
 * Strings default to the empty text when the answer lacks the key.
 */

/** A category (keys matched in any letter case). */
typedef struct dao_category {
    int32_t cid;    /**< category id (rv_getSubCategory, rv_getAlbumList) */
    int32_t hasSub; /**< non-zero when it has sub-categories */
    char *name;     /**< display name */
    char *img;      /**< picture URL */
} dao_category;

/** An album of a list page. */
typedef struct dao_album {
    int32_t source;    /**< the service's "source" code of the provider */
    int64_t id;        /**< album id (rv_getAlbumInfo, dao_play_audio_bean.id) */
    int64_t listenNum; /**< times listened, as counted by the service */
    char *name;        /**< display name */
    char *img;         /**< picture URL */
    char *sourceName;  /**< name of the provider */
} dao_album;

/** A page of albums. The eight paging fields come first in every page record. */
typedef struct dao_album_set {
    int32_t haveNext;    /**< non-zero when a later page exists */
    int32_t nextPage;    /**< number of the next page */
    int32_t havePre;     /**< non-zero when an earlier page exists */
    int32_t prePage;     /**< number of the previous page */
    int32_t currentPage; /**< number of this page */
    int32_t count;       /**< item count as sent by the server */
    int32_t sumPage;     /**< page count as sent by the server */
    int32_t pageSize;    /**< page size as sent by the server */
    List *list;          /**< List of dao_album, never null in a delivered page */
} dao_album_set;

/** A presenter of an album. */
typedef struct dao_host {
    char *name; /**< the presenter's name */
    char *des;  /**< a description of the presenter */
    char *img;  /**< picture URL */
} dao_host;

/** Album details (keys matched in any letter case). An answer without albums
 * gives a record of zeros and null strings. */
typedef struct dao_album_info {
    int64_t id;            /**< album id */
    int64_t lastCheckDate; /**< ms since the epoch, as sent */
    int32_t followedNum;   /**< number of followers */
    int32_t countNum;      /**< number of audios */
    int32_t isOnline;      /**< non-zero when the service lists it as online */
    int32_t listenNum;     /**< times listened, as counted by the service */
    int32_t sortType;      /**< default sort order of its audio list (the sorttype of
                              rv_getAlbumAudioList) */
    int32_t hasCopyright;  /**< non-zero when the service holds the rights */
    int32_t commentNum;    /**< number of comments */
    int32_t type;          /**< the service's "type" as sent */
    int32_t isSubscribe;   /**< non-zero when the authorised user subscribed to it */
    char *name;            /**< display name */
    char *img;             /**< picture URL */
    char *desc;            /**< description */
    List *host;            /**< List of dao_host; null when the album has no presenters */
    char *produce;         /**< producer */
    char *status;          /**< production state as text (for example "finished", "ongoing") */
    char *updateDay;       /**< day of the last update, as sent (for example "2026-11-30") */
    char *copyrightLabel;  /**< copyright label, as sent */
    char *keyWords;        /**< the key words joined with "&" */
} dao_album_info;

/** An audio of an album (also the items of smartcast play lists and of radio
 * labels, rv_broadcast.h and rv_smartcast.h). */
typedef struct dao_audio {
    char *audioName;     /**< the audio's title */
    char *audioPic;      /**< the audio's picture URL */
    char *audioDes;      /**< the audio's description */
    char *albumName;     /**< the album's name */
    char *albumPic;      /**< the album's picture URL */
    char *mp3PlayUrl32;  /**< MP3 stream URL, 32 kbit/s */
    char *mp3PlayUrl64;  /**< MP3 stream URL, 64 kbit/s */
    char *aacPlayUrl;    /**< AAC stream URL (what the player plays) */
    char *aacPlayUrl32;  /**< AAC stream URL, 32 kbit/s */
    char *aacPlayUrl64;  /**< AAC stream URL, 64 kbit/s */
    char *aacPlayUrl128; /**< AAC stream URL, 128 kbit/s */
    char *clockId;       /**< smartcast and radio-label answers only; null otherwise */
    int64_t albumId;     /**< the album it belongs to */
    int64_t audioId;     /**< the audio's id (rv_getAlbumAudioInfo, dao_play_audio_bean.audioId) */
    int64_t updateTime;  /**< last update, ms since the epoch */
    int32_t aacFileSize; /**< size of the AAC file, bytes */
    int32_t mp3FileSize32;    /**< size of the 32 kbit/s MP3 file, bytes */
    int32_t mp3FileSize64;    /**< size of the 64 kbit/s MP3 file, bytes */
    int32_t orderNum;         /**< position in the album */
    int32_t duration;         /**< length, ms */
    int32_t originalDuration; /**< original length, ms (a play item's duration) */
    int32_t listenNum;        /**< times listened, as counted by the service */
    int32_t likedNum;         /**< likes, as counted by the service */
    int32_t hasCopyright;     /**< non-zero when the service holds the rights */
    int32_t commentNum;       /**< number of comments */
    int32_t trailerStart;     /**< the service's "trailerStart" as sent */
    int32_t trailerEnd;       /**< the service's "trailerEnd" as sent */
    int32_t categoryId;       /**< the category it belongs to (dao_category.cid) */
    int32_t isListened;       /**< the service's "isListened" mark */
} dao_audio;

/** A page of audios (paging fields as dao_album_set). */
typedef struct dao_audio_set {
    int32_t haveNext;    /**< non-zero when a later page exists */
    int32_t nextPage;    /**< number of the next page */
    int32_t havePre;     /**< non-zero when an earlier page exists */
    int32_t prePage;     /**< number of the previous page */
    int32_t currentPage; /**< number of this page */
    int32_t count;       /**< item count as sent by the server */
    int32_t sumPage;     /**< page count as sent by the server */
    int32_t pageSize;    /**< page size as sent by the server */
    List *list;          /**< List of dao_audio */
} dao_audio_set;

RV_API dao_category *dao_category_new(void); /**< a zero-filled record; null when memory is short */
RV_API void dao_category_del(
    dao_category *record); /**< frees the record, its strings and lists; null is ignored */
RV_API dao_album *dao_album_new(void); /**< a zero-filled record; null when memory is short */
RV_API void dao_album_del(
    dao_album *record); /**< frees the record, its strings and lists; null is ignored */
RV_API dao_album_set *dao_album_set_new(
    void); /**< a zero-filled record; null when memory is short */
RV_API void dao_album_set_del(
    dao_album_set *record); /**< frees the record, its strings and lists; null is ignored */
RV_API dao_host *dao_host_new(void); /**< a zero-filled record; null when memory is short */
RV_API void dao_host_del(
    dao_host *record); /**< frees the record, its strings and lists; null is ignored */
RV_API dao_album_info *dao_album_info_new(
    void); /**< a zero-filled record; null when memory is short */
RV_API void dao_album_info_del(
    dao_album_info *record); /**< frees the record, its strings and lists; null is ignored */
RV_API dao_audio *dao_audio_new(void); /**< a zero-filled record; null when memory is short */
RV_API void dao_audio_del(
    dao_audio *record); /**< frees the record, its strings and lists; null is ignored */
RV_API dao_audio_set *dao_audio_set_new(
    void); /**< a zero-filled record; null when memory is short */
RV_API void dao_audio_set_del(
    dao_audio_set *record); /**< frees the record, its strings and lists; null is ignored */

/* --- Catalogue ----------------------------------------------------------- */

/** Every top-level category: a List of dao_category, count = its length. */
RV_API void rv_getAllCategory(rv_result_callback callback, void *user_data);
/** The sub-categories of `cid`: a List of dao_category. */
RV_API void rv_getSubCategory(int cid, rv_result_callback callback, void *user_data);
/** A page of the albums of category `cid`: a dao_album_set, count 1. */
RV_API void rv_getAlbumList(int cid, int sorttype, int pagenum, int pagesize,
                            rv_result_callback callback, void *user_data);
/** Album details: a dao_album_info, count 1. */
RV_API void rv_getAlbumInfo(int64_t album_id, rv_result_callback callback, void *user_data);
/**
 * A page of an album's audios: a dao_audio_set, count 1. With pagenum 0 and an
 * audio_id of 1 or more, the page holding that audio; otherwise page `pagenum`.
 */
RV_API void rv_getAlbumAudioList(int64_t album_id, int sorttype, int pagenum, int pagesize,
                                 int64_t audio_id, rv_result_callback callback, void *user_data);
/** Audio details: a dao_audio, count 1. */
RV_API void rv_getAlbumAudioInfo(int64_t audio_id, rv_result_callback callback, void *user_data);
/** A page of the top albums of list `type` (required): a dao_album_set, count 1. */
RV_API void rv_getAlbumTopList(const char *type, int pagenum, int pagesize,
                               rv_result_callback callback, void *user_data);

/* --- The authorised user ---------------------------------------------------- */

/**
 * Keeps copies of the user's credentials; the requests made on the user's
 * behalf carry them from the next request on. Returns RVE_BAD_ARGS when either
 * argument is null, RVE_NO_MEMORY when they cannot be copied (the previous
 * ones stay), else RVE_OK (also
 * before start-up, when nothing is stored). Any thread;
 * blocks only briefly on the SDK's records lock.
 */
RV_API int rv_cacheSdkAuthAccessInfo(const char *access_token, const char *open_uid);
/** Forgets both credentials. Returns 0. Any thread. */
RV_API int rv_clearSdkAuthAccessInfo(void);

/* --- Play events ------------------------------------------------------------
 * Accepted for compatibility and only logged: the SDK's players report play
 * events themselves.
 */
RV_API void rv_reportAudioPlayEvent(void);            /**< logged only (see above) */
RV_API void rv_reportBroadcastPlayEvent(void);        /**< logged only (see above) */
RV_API void rv_reportBroadcastPlayBackEndEvent(void); /**< logged only (see above) */

RV_END_DECLS

#endif
