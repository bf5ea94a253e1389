/*
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

/* A smartcast radio (keys matched in any letter case). */
typedef struct dao_smartcast {
    int64_t id;
    int32_t type;
    int32_t followedNum;
    int32_t isOnline;
    int32_t listenNum;
    int32_t commentNum;
    int32_t isSubscribe;
    char *name;
    char *img;
    char *desc;
} dao_smartcast;

/* A featured entry of the operate list. `rtype` names what `rid` is (0 album,
 * 1 audio, 3 smartcast radio, 11 broadcast). */
typedef struct dao_operate {
    int64_t rid;
    int64_t listenNum;
    int32_t rtype;
    int32_t cornerMark;
    char *image;
    char *rname;
    char *rvalue;
} dao_operate;

/* A page of the operate list (paging fields as dao_album_set). */
typedef struct dao_operate_set {
    int32_t haveNext;
    int32_t nextPage;
    int32_t havePre;
    int32_t prePage;
    int32_t currentPage;
    int32_t count;
    int32_t sumPage;
    int32_t pageSize;
    List *list; /* List of dao_operate, never null in a delivered page */
} dao_operate_set;

RV_API dao_smartcast *dao_smartcast_new(void);
RV_API void dao_smartcast_del(dao_smartcast *record);
RV_API dao_operate *dao_operate_new(void);
RV_API void dao_operate_del(dao_operate *record);
RV_API dao_operate_set *dao_operate_set_new(void);
RV_API void dao_operate_set_del(dao_operate_set *record);

/* A page of the operate list: a dao_operate_set, count 1. */
RV_API void rv_getOperateList(int pagenum, int pagesize, rv_result_callback callback,
                              void *user_data);
/* The smartcast categories: a List of dao_category. */
RV_API void rv_getSmartcastCategory(rv_result_callback callback, void *user_data);
/* The smartcast radios of category `cid`: a List of dao_smartcast. */
RV_API void rv_getSmartcastList(int cid, rv_result_callback callback, void *user_data);
/* Smartcast details: a dao_smartcast, count 1. */
RV_API void rv_getSmartcastInfo(int64_t smartcast_id, rv_result_callback callback, void *user_data);
/*
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
