// Descriptions of the search records (rv_search.h), for the filler.
#ifndef RV_REQUEST_SEARCH_DAO_H
#define RV_REQUEST_SEARCH_DAO_H

#include "request/helper_json.h"
#include "rv_search.h"

namespace rv::dao {

extern const json::RecordDesc kSearchResult;  // dao_search_result
extern const json::RecordDesc kSuggestWord;   // dao_search_suggest_word (not read from an object)

}  // namespace rv::dao

#endif
