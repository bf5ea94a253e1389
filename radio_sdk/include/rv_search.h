/*
 * Search: suggested words while the user types, and the full search over
 * albums, audios, smartcast radios and broadcasts. Ownership, threading and
 * result codes as rv_data.h says: each delivers a bare List (count = its
 * length) that belongs to the receiver, who frees it with ListFree (which
 * frees every record in it).
 */
#ifndef RV_SEARCH_H
#define RV_SEARCH_H

#include <stdint.h>

#include "rv_export.h"
#include "rv_list.h"
#include "rv_sdk_info.h"

RV_BEGIN_DECLS

/* One hit of a full search. */
typedef struct dao_search_result {
    int64_t id;
    int64_t oldId;
    int32_t type; /* 0 album, 1 audio, 3 smartcast radio, 11 broadcast */
    int32_t listenNum;
    int32_t source;
    int32_t isShowRed;
    int32_t isRequest;
    int32_t duration;
    int32_t originalDuration;
    char *name;
    char *img;
    char *albumName; /* audios: the album they belong to */
    char *sourceName;
    char *playUrl;
} dao_search_result;

/* One suggested word (the empty text for an entry that is not a text). */
typedef struct dao_search_suggest_word {
    char *word;
} dao_search_suggest_word;

RV_API dao_search_result *dao_search_result_new(void);
RV_API void dao_search_result_del(dao_search_result *record);
RV_API dao_search_suggest_word *dao_search_suggest_word_new(void);
RV_API void dao_search_suggest_word_del(dao_search_suggest_word *record);

/* At most `limit` words that complete `word` (required, any text): a List of
 * dao_search_suggest_word. */
RV_API void rv_getSearchSuggestWord(const char *word, int limit, rv_result_callback callback,
                                    void *user_data);
/* Everything whose name holds `keyword` (required, any text): a List of
 * dao_search_result, empty when nothing matches. */
RV_API void rv_doSearch(const char *keyword, rv_result_callback callback, void *user_data);

RV_END_DECLS

#endif
