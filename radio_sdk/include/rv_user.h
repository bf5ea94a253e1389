/** @file
 * The authorised user's subscriptions and listening history. Every function
 * acts for the user whose credentials were cached with
 * rv_cacheSdkAuthAccessInfo (rv_data.h); without them the request goes out
 * without credentials and the service refuses it (RVE_SERVER_40100).
 *
 * Ownership, threading and result codes as rv_data.h says: every delivered
 * record (count 1) belongs to the receiver, who frees it with its
 * dao_<name>_del; a page's list goes with it.
 */
#ifndef RV_USER_H
#define RV_USER_H

#include <stdint.h>

#include "rv_export.h"
#include "rv_list.h"
#include "rv_sdk_info.h"

RV_BEGIN_DECLS

/** A subscribed album, smartcast radio or broadcast. */
typedef struct dao_subscribe {
    int32_t type;         /**< 0 album, 3 smartcast radio, 11 broadcast */
    int64_t id;           /**< album, smartcast radio or broadcast id, by type */
    char *name;           /**< display name */
    char *desc;           /**< description */
    char *img;            /**< picture URL */
    int32_t isOnline;     /**< non-zero when the service lists it as online */
    int32_t hasCopyright; /**< non-zero when the service holds the rights */
    int32_t countNum;     /**< number of audios */
    int64_t updateTime;   /**< when it was subscribed, ms since the epoch */
} dao_subscribe;

/** A page of subscriptions (paging fields as in dao_album_set). */
typedef struct dao_subscribe_set {
    int32_t haveNext;    /**< non-zero when a later page exists */
    int32_t nextPage;    /**< number of the next page */
    int32_t havePre;     /**< non-zero when an earlier page exists */
    int32_t prePage;     /**< number of the previous page */
    int32_t currentPage; /**< number of this page */
    int32_t count;       /**< item count as sent by the server */
    int32_t sumPage;     /**< page count as sent by the server */
    int32_t pageSize;    /**< page size as sent by the server */
    List *list;          /**< List of dao_subscribe */
} dao_subscribe_set;

/** The service's status value of one operation (1: done, for the changes;
 * 1: subscribed, 0: not, for dao_subscribe_status). */
typedef struct dao_subscribe_result {
    int32_t status; /**< the service's "status" (0 when absent) */
} dao_subscribe_result;
/** The answer of rv_doUnSubscribe (see dao_subscribe_result). */
typedef struct dao_unsubscribe_result {
    int32_t status; /**< the service's "status" (0 when absent) */
} dao_unsubscribe_result;
/** The answer of rv_getSubscribeStatus (see dao_subscribe_result). */
typedef struct dao_subscribe_status {
    int32_t status; /**< the service's "status" (0 when absent) */
} dao_subscribe_status;
/** The answer of rv_saveListenHistory (see dao_subscribe_result). */
typedef struct dao_history_save_result {
    int32_t status; /**< the service's "status" (0 when absent) */
} dao_history_save_result;
/** The answer of rv_clearListenHistory (see dao_subscribe_result). */
typedef struct dao_history_clear_result {
    int32_t status; /**< the service's "status" (0 when absent) */
} dao_history_clear_result;

/** One entry of the listening history. The ids are texts here. */
typedef struct dao_history {
    char *radioId;      /**< album or radio id, as text */
    char *radioTitle;   /**< album or radio name */
    char *picUrl;       /**< picture URL */
    char *audioId;      /**< audio id, as text */
    char *audioTitle;   /**< the audio's title */
    char *playUrl;      /**< stream URL */
    char *shareUrl;     /**< URL to share */
    int64_t playedTime; /**< how long it was played, as saved (rv_saveListenHistory) */
    int64_t duration;   /**< its length, as saved */
    int64_t orderNum;   /**< the audio's position in its album */
    int64_t timeStamp;  /**< when it was played, as saved */
} dao_history;

/** The listening history, newest first (five paging fields only). */
typedef struct dao_history_set {
    int32_t haveNext;    /**< non-zero when a later page exists */
    int32_t nextPage;    /**< number of the next page */
    int32_t havePre;     /**< non-zero when an earlier page exists */
    int32_t prePage;     /**< number of the previous page */
    int32_t currentPage; /**< number of this page */
    List *list;          /**< List of dao_history */
} dao_history_set;

RV_API dao_subscribe *dao_subscribe_new(
    void); /**< a zero-filled record; null when memory is short */
RV_API void dao_subscribe_del(
    dao_subscribe *record); /**< frees the record, its strings and lists; null is ignored */
RV_API dao_subscribe_set *dao_subscribe_set_new(
    void); /**< a zero-filled record; null when memory is short */
RV_API void dao_subscribe_set_del(
    dao_subscribe_set *record); /**< frees the record, its strings and lists; null is ignored */
RV_API dao_subscribe_result *dao_subscribe_result_new(
    void); /**< a zero-filled record; null when memory is short */
RV_API void dao_subscribe_result_del(
    dao_subscribe_result *record); /**< frees the record, its strings and lists; null is ignored */
RV_API dao_unsubscribe_result *dao_unsubscribe_result_new(
    void); /**< a zero-filled record; null when memory is short */
RV_API void dao_unsubscribe_result_del(
    dao_unsubscribe_result
        *record); /**< frees the record, its strings and lists; null is ignored */
RV_API dao_subscribe_status *dao_subscribe_status_new(
    void); /**< a zero-filled record; null when memory is short */
RV_API void dao_subscribe_status_del(
    dao_subscribe_status *record); /**< frees the record, its strings and lists; null is ignored */
RV_API dao_history_save_result *dao_history_save_result_new(
    void); /**< a zero-filled record; null when memory is short */
RV_API void dao_history_save_result_del(
    dao_history_save_result
        *record); /**< frees the record, its strings and lists; null is ignored */
RV_API dao_history_clear_result *dao_history_clear_result_new(
    void); /**< a zero-filled record; null when memory is short */
RV_API void dao_history_clear_result_del(
    dao_history_clear_result
        *record); /**< frees the record, its strings and lists; null is ignored */
RV_API dao_history *dao_history_new(void); /**< a zero-filled record; null when memory is short */
RV_API void dao_history_del(
    dao_history *record); /**< frees the record, its strings and lists; null is ignored */
RV_API dao_history_set *dao_history_set_new(
    void); /**< a zero-filled record; null when memory is short */
RV_API void dao_history_set_del(
    dao_history_set *record); /**< frees the record, its strings and lists; null is ignored */

/** Subscribes to album, smartcast radio or broadcast `id`: a dao_subscribe_result. */
RV_API void rv_doSubscribe(int64_t id, rv_result_callback callback, void *user_data);
/** Ends a subscription: a dao_unsubscribe_result. */
RV_API void rv_doUnSubscribe(int64_t id, rv_result_callback callback, void *user_data);
/** Whether `id` is subscribed: a dao_subscribe_status. */
RV_API void rv_getSubscribeStatus(int64_t id, rv_result_callback callback, void *user_data);
/** A page of subscriptions of resource type `type`: a dao_subscribe_set. */
RV_API void rv_getSubscribeList(int type, int pagenum, int pagesize, rv_result_callback callback,
                                void *user_data);
/**
 * Records that audio `audio_id` of `radio_id` (its album, smartcast radio or
 * broadcast id) was played for `played_time` of `duration` at `time_stamp`
 * (the service keeps the numbers as given; rvcli sends milliseconds, and the
 * time in milliseconds since the epoch): a dao_history_save_result. Playing
 * adds nothing to the listening history by itself: the application saves
 * what it played with this function, for example from a listener's
 * OnPlayEnd or when it stops.
 */
RV_API void rv_saveListenHistory(int64_t radio_id, int64_t audio_id, int64_t played_time,
                                 int64_t duration, int64_t time_stamp, rv_result_callback callback,
                                 void *user_data);
/** The listening history: a dao_history_set. */
RV_API void rv_getListenHistory(rv_result_callback callback, void *user_data);
/** Empties the listening history: a dao_history_clear_result. */
RV_API void rv_clearListenHistory(rv_result_callback callback, void *user_data);

RV_END_DECLS

#endif
