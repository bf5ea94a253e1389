#include "request/search_req.h"

#include <cstdlib>
#include <cstring>

#include "request/request_core.h"
#include "request/search_dao.h"
#include "rv_error.h"

namespace {

using rv::Host;
using rv::req::Effect;
using rv::req::Endpoint;
using rv::req::kSigned;
using rv::req::Method;
using namespace rv::json;
using namespace rv::dao;

// An array of texts: one word record per element (a non-text gives "").
Answer suggested_words(const cJSON *result, const cJSON * /*root*/) {
    List *list = ListNew(kSuggestWord.free_item);
    if (list == nullptr) {
        return {RVE_NO_MEMORY};
    }
    const int n = cJSON_IsArray(result) ? cJSON_GetArraySize(result) : 0;
    for (int i = 0; i < n; i++) {
        const char *text = cJSON_GetStringValue(cJSON_GetArrayItem(result, i));
        auto *record = static_cast<dao_search_suggest_word *>(record_new(kSuggestWord));
        if (record == nullptr) {
            continue;
        }
        record->word = strdup(text != nullptr ? text : "");
        if (record->word == nullptr || ListAppend(list, record) == nullptr) {
            record_free(kSuggestWord, record);
        }
    }
    return {RVE_OK, list, static_cast<int>(ListLength(list)), release_list};
}

// The hits are the "dataList" of the result object.
Answer search_hits(const cJSON *result, const cJSON * /*root*/) {
    return list_answer(kSearchResult, cJSON_GetObjectItemCaseSensitive(result, "dataList"));
}

const Endpoint kSuggest{Host::OpenApiHttp,
                        "/v2/resource/suggestionword?",
                        "word=%s&limit=%d&",
                        Method::Get,
                        Effect::Reads,
                        kSigned,
                        suggested_words,
                        nullptr,
                        true};
const Endpoint kSearch{Host::OpenApiHttp,
                       "/v2/resource/voice/searchall?",
                       "",
                       Method::Get,
                       Effect::Reads,
                       {rv::append_search_params, rv::append_common_params},
                       search_hits};

}  // namespace

extern "C" {

void request_search_suggest_word(const char *word, int limit, rv_result_callback callback,
                                 void *user_data) {
    rv::req::send(kSuggest, nullptr, callback, user_data, word, limit);
}

void request_search_result(const char *keyword, rv_result_callback callback, void *user_data) {
    rv::req::send(kSearch, keyword, callback, user_data);
}

}  // extern "C"
