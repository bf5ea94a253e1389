/*
 * The answer envelope and the table-driven record filler.
 *
 * Every record of the request layer is described once by a RecordDesc: its
 * size, whether its keys are matched case-sensitively, and its fields (key,
 * kind, offset, default) in the order they are read. One filler, one freer
 * and one list builder serve every record. Any thread; never blocks.
 */
#ifndef RV_REQUEST_HELPER_JSON_H
#define RV_REQUEST_HELPER_JSON_H

#include <cjson/cJSON.h>

#include "rv_export.h"
#include "rv_list.h"

RV_BEGIN_DECLS

/*
 * The envelope's verdict: 0 when `root` holds neither "errcode" nor "errmsg";
 * otherwise one warning line and the code of the first five characters of
 * "errcode" (50600, 40000, 40100, 40432, 40431 give 0x30001 … 0x30005, any
 * other value, also a non-string one, 0x30000). 512 when the errcode copy
 * cannot be allocated.
 */
RV_API int cjson_check_request_data(const cJSON *root);

RV_END_DECLS

#ifdef __cplusplus
#include <cstddef>
#include <span>
#include <string>

namespace rv::json {

// What a result handler delivers: code, data (owned by the receiver) and
// count, and how to free the data when nobody receives it.
struct Answer {
    int code;
    void *data = nullptr;
    int count = 0;
    ListFreeItem release = nullptr;
    std::string message = {};  // an error envelope's "errmsg" ("" otherwise)
};

// ListFree as a ListFreeItem, for delivered bare lists.
void release_list(void *list);

enum class Kind {
    Int,         // int32_t, default 0
    Long,        // int64_t, default 0
    String,      // char *, default Field::def
    List,        // List * of Field::items, always made (empty when the key is absent)
    ListOrNull,  // List * of Field::items, null when absent or empty
    Joined,      // char *: an array's strings joined with "&", or a plain string
};

struct RecordDesc;

struct Field {
    const char *key;
    Kind kind;
    size_t offset;
    const RecordDesc *items = nullptr;  // List kinds: the item record
    const char *def = "";               // String: the default text
};

struct RecordDesc {
    size_t size;
    bool case_sensitive;
    std::span<const Field> fields;  // in reading order; also every field the record owns
    ListFreeItem free_item;         // the record's own release, for the lists that hold it
};

// Zero-filled record, or null when memory is short.
void *record_new(const RecordDesc &desc);
// Frees the strings and lists the record owns, then the record; null is ignored.
void record_free(const RecordDesc &desc, void *record);
// Fills every field from `object`; a non-object leaves the defaults of a
// fresh record, but the List fields are made all the same (empty). False
// when such a list or a joined text cannot be allocated (the record keeps what
// was filled). Never throws.
bool record_fill(const RecordDesc &desc, void *record, const cJSON *object);
// A List of records, one per object element of `array`, in order (other
// elements, unallocatable records and records whose lists cannot be made
// are left out). Null when memory is short.
List *list_from_array(const RecordDesc &desc, const cJSON *array);
// The record's texts and numbers as one JSON object that record_fill reads back
// (its lists are left out; a null text becomes JSON null, read back as the
// field's default); null when memory is short. Owned by the caller (cJSON_Delete).
cJSON *record_to_json(const RecordDesc &desc, const void *record);

// The three shapes of a "result": one object, an array (a bare List), and an
// array whose first element is the record (an empty array gives a record of
// defaults). An unallocatable top record or list gives 5.
Answer record_answer(const RecordDesc &desc, const cJSON *object);
Answer list_answer(const RecordDesc &desc, const cJSON *array);
Answer first_record_answer(const RecordDesc &desc, const cJSON *array);

// The same as result builders for endpoint tables, and a ListFreeItem per record.
template <const RecordDesc &D>
Answer as_record(const cJSON *result, const cJSON * /*root*/) {
    return record_answer(D, result);
}
template <const RecordDesc &D>
Answer as_list(const cJSON *result, const cJSON * /*root*/) {
    return list_answer(D, result);
}
template <const RecordDesc &D>
Answer as_first_record(const cJSON *result, const cJSON * /*root*/) {
    return first_record_answer(D, result);
}
template <const RecordDesc &D>
void free_as(void *record) {
    record_free(D, record);
}

}  // namespace rv::json

// One table row: RV_FIELD(struct, member, "key", Kind, ...extra Field members).
#define RV_FIELD(type, member, key, kind, ...)                         \
    rv::json::Field {                                                  \
        key, rv::json::Kind::kind, offsetof(type, member), __VA_ARGS__ \
    }

// The eight paging fields of a page record, keys matched case-insensitively.
#define RV_PAGE_FIELDS(type)                                                                  \
    RV_FIELD(type, haveNext, "haveNext", Int), RV_FIELD(type, nextPage, "nextPage", Int),     \
        RV_FIELD(type, havePre, "havePre", Int), RV_FIELD(type, prePage, "prePage", Int),     \
        RV_FIELD(type, currentPage, "currentPage", Int), RV_FIELD(type, count, "count", Int), \
        RV_FIELD(type, sumPage, "sumPage", Int), RV_FIELD(type, pageSize, "pageSize", Int)

// dao_<name>_new and dao_<name>_del of a described record.
#define RV_DAO_FUNCTIONS(name, desc)                            \
    extern "C" name *name##_new(void) {                         \
        return static_cast<name *>(rv::json::record_new(desc)); \
    }                                                           \
    extern "C" void name##_del(name *record) {                  \
        rv::json::record_free(desc, record);                    \
    }
#endif

#endif
