#include "request/search_dao.h"

#include <array>

namespace rv::dao {

using json::free_as;

namespace {

constexpr std::array kSearchResultFields{
    RV_FIELD(dao_search_result, id, "id", Long),
    RV_FIELD(dao_search_result, oldId, "oldId", Long),
    RV_FIELD(dao_search_result, type, "type", Int),
    RV_FIELD(dao_search_result, listenNum, "listenNum", Int),
    RV_FIELD(dao_search_result, source, "source", Int),
    RV_FIELD(dao_search_result, isShowRed, "isShowRed", Int),
    RV_FIELD(dao_search_result, isRequest, "isRequest", Int),
    RV_FIELD(dao_search_result, duration, "duration", Int),
    RV_FIELD(dao_search_result, originalDuration, "originalDuration", Int),
    RV_FIELD(dao_search_result, name, "name", String),
    RV_FIELD(dao_search_result, img, "img", String),
    RV_FIELD(dao_search_result, sourceName, "sourceName", String),
    RV_FIELD(dao_search_result, albumName, "albumName", String),
    RV_FIELD(dao_search_result, playUrl, "playUrl", String),
};

constexpr std::array kSuggestWordFields{
    RV_FIELD(dao_search_suggest_word, word, "word", String),
};

}  // namespace

const json::RecordDesc kSearchResult{sizeof(dao_search_result), true, kSearchResultFields,
                                     free_as<kSearchResult>};
const json::RecordDesc kSuggestWord{sizeof(dao_search_suggest_word), true, kSuggestWordFields,
                                    free_as<kSuggestWord>};

}  // namespace rv::dao

RV_DAO_FUNCTIONS(dao_search_result, rv::dao::kSearchResult)
RV_DAO_FUNCTIONS(dao_search_suggest_word, rv::dao::kSuggestWord)
