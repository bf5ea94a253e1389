/** @file
 * Live broadcasts: categories, areas, programme dates, broadcast lists and
 * details, programme guides, the current programme and city broadcast lists.
 *
 * Ownership: every record or List delivered to a result callback belongs to
 * the receiver from the moment of the call and is freed with its
 * dao_<name>_del (a bare List with ListFree, which frees each item). Every
 * string field is the record's own heap copy; strings default to the empty
 * text when the answer lacks the key. The SDK keeps no reference.
 *
 * Threading and failures: as rv_data.h says for every data function. The
 * callback runs exactly once; failures deliver data null and count 0.
 */
#ifndef RV_BROADCAST_H
#define RV_BROADCAST_H

#include <stdint.h>

#include "rv_data.h"
#include "rv_export.h"
#include "rv_list.h"
#include "rv_sdk_info.h"

RV_BEGIN_DECLS

/* --- Records ---------------------------------------------------------------
 * dao_<name>_new gives a zero-filled record (null when memory is short);
 * dao_<name>_del frees its strings, its lists and the record (null ignored).
 */

/** A broadcast category (keys matched in any letter case). */
typedef struct dao_broadcast_category {
    int32_t id;   /**< category id (the classifyid of rv_getBroadcastList) */
    int32_t type; /**< its kind (the type filter of rv_getBroadcastList) */
    char *name;   /**< display name */
    char *img;    /**< picture URL */
} dao_broadcast_category;

/** A broadcast area (keys matched in any letter case). */
typedef struct dao_broadcast_area {
    int32_t id; /**< area id (the area filter of rv_getBroadcastList) */
    char *name; /**< display name */
} dao_broadcast_area;

/** A day of the programme guide. */
typedef struct dao_broadcast_date {
    char *weekDay;  /**< day of the week, as sent */
    char *dateTime; /**< the day, as sent ("YYYY-MM-DD", the date of rv_getBroadcastProgramList) */
    char *time;     /**< the day's start, as sent */
} dao_broadcast_date;

/** A broadcast of a list page. */
typedef struct dao_broadcast {
    int64_t broadcastId; /**< broadcast id (dao_play_audio_bean.id with RV_RESOURCE_BROADCAST) */
    int32_t status;      /**< the service's on-air status (1: on air) */
    int32_t onLineNum;   /**< listeners now, as counted by the service */
    int32_t likedNum;    /**< likes, as counted by the service */
    int32_t isSubscribe; /**< non-zero when the authorised user subscribed to it */
    char *name;          /**< display name */
    char *img;           /**< picture URL */
    char *currentProgramTitle; /**< title of the programme on air */
    char *playUrl;             /**< the live stream */
} dao_broadcast;

/** A page of broadcasts (paging fields as dao_album_set). */
typedef struct dao_broadcast_set {
    int32_t haveNext;    /**< non-zero when a later page exists */
    int32_t nextPage;    /**< number of the next page */
    int32_t havePre;     /**< non-zero when an earlier page exists */
    int32_t prePage;     /**< number of the previous page */
    int32_t currentPage; /**< number of this page */
    int32_t count;       /**< item count as sent by the server */
    int32_t sumPage;     /**< page count as sent by the server */
    int32_t pageSize;    /**< page size as sent by the server */
    List *list;          /**< List of dao_broadcast, never null in a delivered page */
} dao_broadcast_set;

/** Broadcast details. */
typedef struct dao_broadcast_info {
    int64_t broadcastId; /**< broadcast id */
    int32_t status;      /**< the service's on-air status (1: on air) */
    int32_t onLineNum;   /**< listeners now, as counted by the service */
    int32_t likedNum;    /**< likes, as counted by the service */
    int32_t isSubscribe; /**< non-zero when the authorised user subscribed to it */
    int32_t roomId;      /**< the service's "roomId" as sent */
    int32_t classifyId;  /**< its broadcast category (dao_broadcast_category.id) */
    char *name;          /**< display name */
    char *img;           /**< picture URL */
    char *classifyName;  /**< name of its broadcast category */
    char *playUrl;       /**< the live stream */
} dao_broadcast_info;

/** A programme (keys matched in any letter case). Times are milliseconds since
 * the epoch. */
typedef struct dao_program {
    int64_t programId;     /**< programme id */
    int64_t broadcastId;   /**< the broadcast it belongs to */
    int64_t nextProgramId; /**< the next programme, as sent */
    int64_t preProgramId;  /**< the previous programme, as sent */
    int64_t startTime;     /**< start, ms since the epoch */
    int64_t finishTime;    /**< end, ms since the epoch */
    int32_t status;        /**< 0 or 1 on air, 2 past (back-play), 3 not on air yet */
    int32_t isSubscribe;   /**< non-zero when the authorised user subscribed to it */
    char *title;           /**< the programme's title */
    char *backLiveUrl;     /**< back-play of a past programme */
    char *playUrl;         /**< the live stream */
    char *comperes;        /**< presenters, as one text */
    char *beginTime;       /**< start as text ("HH:MM:SS"), as sent */
    char *endTime;         /**< end as text ("HH:MM:SS"), as sent */
    char *desc;            /**< the programme's description */
    char *broadcastDesc;   /**< the broadcast's description */
    char *broadcastName;   /**< the broadcast's name */
    char *broadcastImg;    /**< the broadcast's picture URL */
    /** The server's time when the answer was made (the current programme
     * only; the empty text when the server sent none). Null in the records of
     * other answers. */
    char *serverTime;
} dao_program;

/** The server's current time, as the server writes it. */
typedef struct dao_server_time {
    char *serverTime; /**< the server's time, as sent */
} dao_server_time;

/** A radio label with its audios. */
typedef struct dao_radio_label {
    int64_t rid;        /**< the entry's id ("rid") */
    int32_t rtype;      /**< the entry's resource type ("rtype"), as sent */
    char *rname;        /**< display name */
    char *rvalue;       /**< the service's "rvalue" as sent */
    char *image;        /**< picture URL */
    char *desc;         /**< description */
    char *updateTime;   /**< last update, as sent */
    int32_t cornerMark; /**< the service's "cornerMark" as sent */
    int32_t optType;    /**< the service's "optType" as sent */
    int32_t isOpt;      /**< the service's "isOpt" as sent */
    int32_t index;      /**< position in the list, as sent */
    int32_t isMusic;    /**< the service's "isMusic" as sent */
    List *audios;       /**< List of dao_audio with clockId; never null, empty without audios */
} dao_radio_label;

/** A page of radio labels (paging fields as dao_album_set). */
typedef struct dao_radio_label_set {
    int32_t haveNext;    /**< non-zero when a later page exists */
    int32_t nextPage;    /**< number of the next page */
    int32_t havePre;     /**< non-zero when an earlier page exists */
    int32_t prePage;     /**< number of the previous page */
    int32_t currentPage; /**< number of this page */
    int32_t count;       /**< item count as sent by the server */
    int32_t sumPage;     /**< page count as sent by the server */
    int32_t pageSize;    /**< page size as sent by the server */
    List *list;          /**< List of dao_radio_label, never null in a delivered page */
} dao_radio_label_set;

/** A broadcast of a city list. Reserved: the city list functions deliver no
 * data yet, so no answer fills this record. */
typedef struct dao_city_broadcast {
    int32_t broadcastId;       /**< broadcast id */
    char *name;                /**< display name */
    char *img;                 /**< picture URL */
    char *playUrl;             /**< the live stream */
    char *areaName;            /**< name of the area */
    char *currentProgramTitle; /**< title of the programme on air */
} dao_city_broadcast;

RV_API dao_broadcast_category *dao_broadcast_category_new(
    void); /**< a zero-filled record; null when memory is short */
RV_API void dao_broadcast_category_del(
    dao_broadcast_category
        *record); /**< frees the record, its strings and lists; null is ignored */
RV_API dao_broadcast_area *dao_broadcast_area_new(
    void); /**< a zero-filled record; null when memory is short */
RV_API void dao_broadcast_area_del(
    dao_broadcast_area *record); /**< frees the record, its strings and lists; null is ignored */
RV_API dao_broadcast_date *dao_broadcast_date_new(
    void); /**< a zero-filled record; null when memory is short */
RV_API void dao_broadcast_date_del(
    dao_broadcast_date *record); /**< frees the record, its strings and lists; null is ignored */
RV_API dao_broadcast *dao_broadcast_new(
    void); /**< a zero-filled record; null when memory is short */
RV_API void dao_broadcast_del(
    dao_broadcast *record); /**< frees the record, its strings and lists; null is ignored */
RV_API dao_broadcast_set *dao_broadcast_set_new(
    void); /**< a zero-filled record; null when memory is short */
RV_API void dao_broadcast_set_del(
    dao_broadcast_set *record); /**< frees the record, its strings and lists; null is ignored */
RV_API dao_broadcast_info *dao_broadcast_info_new(
    void); /**< a zero-filled record; null when memory is short */
RV_API void dao_broadcast_info_del(
    dao_broadcast_info *record); /**< frees the record, its strings and lists; null is ignored */
RV_API dao_program *dao_program_new(void); /**< a zero-filled record; null when memory is short */
RV_API void dao_program_del(
    dao_program *record); /**< frees the record, its strings and lists; null is ignored */
RV_API dao_server_time *dao_server_time_new(
    void); /**< a zero-filled record; null when memory is short */
RV_API void dao_server_time_del(
    dao_server_time *record); /**< frees the record, its strings and lists; null is ignored */
RV_API dao_radio_label *dao_radio_label_new(
    void); /**< a zero-filled record; null when memory is short */
RV_API void dao_radio_label_del(
    dao_radio_label *record); /**< frees the record, its strings and lists; null is ignored */
RV_API dao_radio_label_set *dao_radio_label_set_new(
    void); /**< a zero-filled record; null when memory is short */
RV_API void dao_radio_label_set_del(
    dao_radio_label_set *record); /**< frees the record, its strings and lists; null is ignored */
RV_API dao_city_broadcast *dao_city_broadcast_new(
    void); /**< a zero-filled record; null when memory is short */
RV_API void dao_city_broadcast_del(
    dao_city_broadcast *record); /**< frees the record, its strings and lists; null is ignored */

/* --- Broadcasts -------------------------------------------------------------- */

/** Every broadcast category: a List of dao_broadcast_category. */
RV_API void rv_getBroadcastCategory(rv_result_callback callback, void *user_data);
/** Every broadcast area: a List of dao_broadcast_area. */
RV_API void rv_getBroadcastArea(rv_result_callback callback, void *user_data);
/** The days the programme guide covers: a List of dao_broadcast_date. */
RV_API void rv_getBroadcastDate(rv_result_callback callback, void *user_data);
/**
 * A page of broadcasts: a dao_broadcast_set, count 1. The three filters
 * narrow the list; 0 (or less) leaves one out:
 * - `type`: a broadcast category's `type` (dao_broadcast_category.type, from
 *   rv_getBroadcastCategory), for example national, regional or music;
 * - `classifyid`: a category's `id` (dao_broadcast_category.id; the
 *   broadcasts carry it as classifyId);
 * - `area`: an area's `id` (dao_broadcast_area.id, from rv_getBroadcastArea).
 * `pagenum` counts from 1.
 */
RV_API void rv_getBroadcastList(int type, int classifyid, int pagenum, int pagesize, int area,
                                rv_result_callback callback, void *user_data);
/** Broadcast details: a dao_broadcast_info, count 1. */
RV_API void rv_getBroadcastInfo(int64_t broadcast_id, rv_result_callback callback, void *user_data);
/**
 * The programmes of a broadcast on day `date` (required; the empty text asks
 * for today): a List of dao_program in time order. The date is form-encoded
 * into the query.
 */
RV_API void rv_getBroadcastProgramList(int64_t broadcast_id, const char *date,
                                       rv_result_callback callback, void *user_data);
/** Programme details: a dao_program (serverTime null), count 1. */
RV_API void rv_getBroadcastProgramInfo(int64_t program_id, rv_result_callback callback,
                                       void *user_data);
/** The programme on air now: a dao_program with serverTime set, count 1. */
RV_API void rv_getBroadcastCurrentProgram(int64_t broadcast_id, rv_result_callback callback,
                                          void *user_data);
/**
 * The broadcasts of a city, and the city top list. Their answers are not read
 * yet: a call that reaches the server delivers RVE_OK with data null and count
 * 0 (a transport failure still gives RVE_FAILED). dao_city_broadcast is reserved for them.
 */
RV_API void rv_getCityBroadcastList(int citycode, int pagenum, int pagesize,
                                    rv_result_callback callback, void *user_data);
RV_API void rv_getCityBroadcastTopList(rv_result_callback callback,
                                       void *user_data); /**< see rv_getCityBroadcastList */

RV_END_DECLS

#endif
