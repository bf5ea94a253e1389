/** @file
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

/** One hit of a full search. */
typedef struct dao_search_result {
    int64_t id;               /**< id of the hit (album, audio, radio or broadcast, by type) */
    int64_t oldId;            /**< the service's "oldId" as sent */
    int32_t type;             /**< 0 album, 1 audio, 3 smartcast radio, 11 broadcast */
    int32_t listenNum;        /**< times listened, as counted by the service */
    int32_t source;           /**< the service's "source" code of the provider */
    int32_t isShowRed;        /**< the service's "isShowRed" as sent */
    int32_t isRequest;        /**< the service's "isRequest" as sent */
    int32_t duration;         /**< length, ms (audios) */
    int32_t originalDuration; /**< original length, ms (audios) */
    char *name;               /**< display name */
    char *img;                /**< picture URL */
    char *albumName;          /**< audios: the album they belong to */
    char *sourceName;         /**< name of the provider */
    char *playUrl;            /**< stream URL */
} dao_search_result;

/** One suggested word (the empty text for an entry that is not a text). */
typedef struct dao_search_suggest_word {
    char *word; /**< a suggested search word */
} dao_search_suggest_word;

RV_API dao_search_result *dao_search_result_new(
    void); /**< a zero-filled record; null when memory is short */
RV_API void dao_search_result_del(
    dao_search_result *record); /**< frees the record, its strings and lists; null is ignored */
RV_API dao_search_suggest_word *dao_search_suggest_word_new(
    void); /**< a zero-filled record; null when memory is short */
RV_API void dao_search_suggest_word_del(
    dao_search_suggest_word
        *record); /**< frees the record, its strings and lists; null is ignored */

/** At most `limit` words that complete `word` (required, any text): a List of
 * dao_search_suggest_word. */
RV_API void rv_getSearchSuggestWord(const char *word, int limit, rv_result_callback callback,
                                    void *user_data);
/** Everything whose name holds `keyword` (required, any text): a List of
 * dao_search_result, empty when nothing matches. */
RV_API void rv_doSearch(const char *keyword, rv_result_callback callback, void *user_data);

RV_END_DECLS

#endif
