/** @file
 * Smartcast radios (programmed streams of on-demand audios handed out in
 * batches named by a clock id) and the operator's list of featured entries.
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
#ifndef RV_SMARTCAST_H
#define RV_SMARTCAST_H

#include <stdint.h>

#include "rv_data.h"
#include "rv_export.h"
#include "rv_list.h"
#include "rv_sdk_info.h"

RV_BEGIN_DECLS

/** A smartcast radio (keys matched in any letter case). */
typedef struct dao_smartcast {
    int64_t id;   /**< smartcast radio id (dao_play_audio_bean.id with RV_RESOURCE_SMARTCAST) */
    int32_t type; /**< the service's "type" as sent */
    int32_t followedNum; /**< number of followers */
    int32_t isOnline;    /**< non-zero when the service lists it as online */
    int32_t listenNum;   /**< times listened, as counted by the service */
    int32_t commentNum;  /**< number of comments */
    int32_t isSubscribe; /**< non-zero when the authorised user subscribed to it */
    char *name;          /**< display name */
    char *img;           /**< picture URL */
    char *desc;          /**< description */
} dao_smartcast;

/** A featured entry of the operate list. `rtype` names what `rid` is (0 album,
 * 1 audio, 3 smartcast radio, 11 broadcast). */
typedef struct dao_operate {
    int64_t rid;        /**< the entry's id ("rid") */
    int64_t listenNum;  /**< times listened, as counted by the service */
    int32_t rtype;      /**< the entry's resource type ("rtype"), as sent */
    int32_t cornerMark; /**< the service's "cornerMark" as sent */
    char *image;        /**< picture URL */
    char *rname;        /**< display name */
    char *rvalue;       /**< the service's "rvalue" as sent */
} dao_operate;

/** A page of the operate list (paging fields as dao_album_set). */
typedef struct dao_operate_set {
    int32_t haveNext;    /**< non-zero when a later page exists */
    int32_t nextPage;    /**< number of the next page */
    int32_t havePre;     /**< non-zero when an earlier page exists */
    int32_t prePage;     /**< number of the previous page */
    int32_t currentPage; /**< number of this page */
    int32_t count;       /**< item count as sent by the server */
    int32_t sumPage;     /**< page count as sent by the server */
    int32_t pageSize;    /**< page size as sent by the server */
    List *list;          /**< List of dao_operate, never null in a delivered page */
} dao_operate_set;

RV_API dao_smartcast *dao_smartcast_new(
    void); /**< a zero-filled record; null when memory is short */
RV_API void dao_smartcast_del(
    dao_smartcast *record); /**< frees the record, its strings and lists; null is ignored */
RV_API dao_operate *dao_operate_new(void); /**< a zero-filled record; null when memory is short */
RV_API void dao_operate_del(
    dao_operate *record); /**< frees the record, its strings and lists; null is ignored */
RV_API dao_operate_set *dao_operate_set_new(
    void); /**< a zero-filled record; null when memory is short */
RV_API void dao_operate_set_del(
    dao_operate_set *record); /**< frees the record, its strings and lists; null is ignored */

/** A page of the operate list: a dao_operate_set, count 1. */
RV_API void rv_getOperateList(int pagenum, int pagesize, rv_result_callback callback,
                              void *user_data);
/** The smartcast categories: a List of dao_category. */
RV_API void rv_getSmartcastCategory(rv_result_callback callback, void *user_data);
/** The smartcast radios of category `cid`: a List of dao_smartcast. */
RV_API void rv_getSmartcastList(int cid, rv_result_callback callback, void *user_data);
/** Smartcast details: a dao_smartcast, count 1. */
RV_API void rv_getSmartcastInfo(int64_t smartcast_id, rv_result_callback callback, void *user_data);
/**
 * The next batch of a smartcast radio's audios: a List of dao_audio, each with
 * the clockId of its batch. `clock_id` (required) is the empty text for the
 * first batch, else the clockId of the last audio received, which asks for the
 * batch after it; an empty List means the radio has no more. The clock id is
 * form-encoded into the query.
 */
RV_API void rv_getSmartcastAudioList(int64_t smartcast_id, const char *clock_id,
                                     rv_result_callback callback, void *user_data);

RV_END_DECLS

#endif
