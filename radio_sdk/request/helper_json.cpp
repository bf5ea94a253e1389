#include "request/helper_json.h"

#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <string>

#include "request/util_json.h"
#include "rv_error.h"
#include "util/debug.h"

namespace rv::json {

namespace {

template <class T>
T &at(void *record, size_t offset) {
    return *reinterpret_cast<T *>(static_cast<char *>(record) + offset);
}

const cJSON *lookup(const cJSON *object, bool case_sensitive, const char *key) {
    return case_sensitive ? cJSON_GetObjectItemCaseSensitive(object, key)
                          : cJSON_GetObjectItem(object, key);
}

// An array's string elements joined with "&" (non-strings count as empty);
// any other value read as a string. False when memory runs out while joining.
bool fill_joined(const cJSON *object, bool case_sensitive, const Field &f, char *&out) {
    const cJSON *value = lookup(object, case_sensitive, f.key);
    if (!cJSON_IsArray(value)) {
        cjson_object_to_string(object, case_sensitive, f.key, &out, f.def);
        return true;
    }
    try {
        std::string joined;
        const int n = cJSON_GetArraySize(value);
        for (int i = 0; i < n; i++) {
            const cJSON *element = cJSON_GetArrayItem(value, i);
            if (i > 0) {
                joined += '&';
            }
            if (cJSON_IsString(element)) {
                joined += element->valuestring;
            }
        }
        out = strdup(joined.c_str());
    } catch (const std::bad_alloc &) {
        return false;  // the record (owned by the caller, not yet delivered) would be lost
    }
    return out != nullptr;
}

}  // namespace

void release_list(void *list) {
    ListFree(static_cast<List *>(list));
}

void *record_new(const RecordDesc &desc) {
    return calloc(1, desc.size);
}

void record_free(const RecordDesc &desc, void *record) {
    if (record == nullptr) {
        return;
    }
    for (const Field &f : desc.fields) {
        switch (f.kind) {
            case Kind::String:
            case Kind::Joined:
                free(at<char *>(record, f.offset));
                break;
            case Kind::List:
            case Kind::ListOrNull:
                ListFree(at<List *>(record, f.offset));
                break;
            case Kind::Int:
            case Kind::Long:
                break;
        }
    }
    free(record);
}

bool record_fill(const RecordDesc &desc, void *record, const cJSON *object) {
    bool complete = true;
    const bool readable = cJSON_IsObject(object);
    const int cs = desc.case_sensitive ? 1 : 0;
    for (const Field &f : desc.fields) {
        if (!readable && f.kind != Kind::List) {
            continue;  // a fresh record's defaults; the lists a record always has are still made
        }
        switch (f.kind) {
            case Kind::Int:
                cjson_object_to_int(object, cs, f.key, &at<int32_t>(record, f.offset), 0);
                break;
            case Kind::Long:
                cjson_object_to_loint(object, cs, f.key, &at<int64_t>(record, f.offset), 0);
                break;
            case Kind::String:
                cjson_object_to_string(object, cs, f.key, &at<char *>(record, f.offset), f.def);
                break;
            case Kind::Joined:
                complete =
                    fill_joined(object, desc.case_sensitive, f, at<char *>(record, f.offset)) &&
                    complete;
                break;
            case Kind::List: {
                List *&list = at<List *>(record, f.offset);
                list = list_from_array(
                    *f.items, readable ? lookup(object, desc.case_sensitive, f.key) : nullptr);
                complete = complete && list != nullptr;
                break;
            }
            case Kind::ListOrNull: {
                // An object's member count is no array length.
                const cJSON *array = lookup(object, desc.case_sensitive, f.key);
                if (cJSON_IsArray(array) && cJSON_GetArraySize(array) > 0) {
                    List *&list = at<List *>(record, f.offset);
                    list = list_from_array(*f.items, array);
                    complete = complete && list != nullptr;
                }
                break;
            }
        }
    }
    return complete;
}

List *list_from_array(const RecordDesc &desc, const cJSON *array) {
    List *list = ListNew(desc.free_item);
    if (list == nullptr) {
        return nullptr;
    }
    const int n = cJSON_IsArray(array) ? cJSON_GetArraySize(array) : 0;
    for (int i = 0; i < n; i++) {
        const cJSON *element = cJSON_GetArrayItem(array, i);
        if (!cJSON_IsObject(element)) {
            continue;
        }
        void *record = record_new(desc);
        if (record == nullptr) {
            continue;
        }
        if (!record_fill(desc, record, element) || ListAppend(list, record) == nullptr) {
            record_free(desc, record);
        }
    }
    return list;
}

Answer record_answer(const RecordDesc &desc, const cJSON *object) {
    void *record = record_new(desc);
    if (record == nullptr) {
        return {RVE_NO_MEMORY};
    }
    if (!record_fill(desc, record, object)) {
        record_free(desc, record);
        return {RVE_NO_MEMORY};
    }
    return {RVE_OK, record, 1, desc.free_item};
}

Answer list_answer(const RecordDesc &desc, const cJSON *array) {
    List *list = list_from_array(desc, array);
    if (list == nullptr) {
        return {RVE_NO_MEMORY};
    }
    return {RVE_OK, list, static_cast<int>(ListLength(list)), release_list};
}

Answer first_record_answer(const RecordDesc &desc, const cJSON *array) {
    return record_answer(desc, cJSON_IsArray(array) ? cJSON_GetArrayItem(array, 0) : nullptr);
}

}  // namespace rv::json

extern "C" int cjson_check_request_data(const cJSON *root) {
    if (cJSON_GetObjectItem(root, "errcode") == nullptr &&
        cJSON_GetObjectItem(root, "errmsg") == nullptr) {
        return RVE_OK;
    }
    char *errcode = nullptr;
    char *errmsg = nullptr;
    cjson_object_to_string(root, 0, "errcode", &errcode, "");
    cjson_object_to_string(root, 0, "errmsg", &errmsg, "");
    std::unique_ptr<char, decltype(&free)> code_owner(errcode, free), msg_owner(errmsg, free);
    if (errcode == nullptr) {
        return RVE_NO_SDK_INFO;
    }
    LOGW("REQUEST", "server return errcode: %s ( %s ) \n", errcode,
         errmsg != nullptr ? errmsg : "");
    static constexpr struct {
        const char *code;
        int result;
    } kMapping[] = {{"50600", RVE_SERVER_50600},
                    {"40000", RVE_SERVER_40000},
                    {"40100", RVE_SERVER_40100},
                    {"40432", RVE_SERVER_40432},
                    {"40431", RVE_SERVER_40431}};
    for (const auto &m : kMapping) {
        if (strncmp(errcode, m.code, 5) == 0) {
            return m.result;
        }
    }
    return RVE_SERVER_ERROR;
}
