#include "request/helper_json.h"

#include <strings.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <span>
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

// Fields read per pass over an object's members.
constexpr size_t kFieldsPerPass = 64;
// Member positions whose match is remembered for the next object.
constexpr size_t kRememberedMembers = 64;

// The keys of the previous object of an array and the field each matched: the objects
// of one answer share their key order, so a member whose key is the one at its position
// last time matches the same field after one comparison instead of a search.
struct KeyOrder {
    std::array<const char *, kRememberedMembers> key{};  // into the same parsed tree
    std::array<size_t, kRememberedMembers> field{};
};

constexpr size_t kNoField = SIZE_MAX;

bool same_key(bool case_sensitive, const char *a, const char *b) {
    return (case_sensitive ? strcmp(a, b) : strcasecmp(a, b)) == 0;
}

// For the fields [first, first + found.size()) of `desc`, the first member of `object`
// with each one's key, or null: one pass over the members (keys of a record differ).
void find_members(const RecordDesc &desc, const cJSON *object, size_t first,
                  std::span<const cJSON *> found, KeyOrder &order) {
    std::fill(found.begin(), found.end(), nullptr);
    size_t position = 0;
    for (const cJSON *m = object->child; m != nullptr; m = m->next, ++position) {
        if (m->string == nullptr) {
            continue;
        }
        const bool remembered = position < kRememberedMembers;
        size_t field = kNoField;
        if (remembered && order.key[position] != nullptr &&
            strcmp(order.key[position], m->string) == 0) {
            field = order.field[position];
        } else {
            for (size_t i = 0; i < found.size(); ++i) {
                if (same_key(desc.case_sensitive, desc.fields[first + i].key, m->string)) {
                    field = i;
                    break;
                }
            }
            if (remembered) {
                order.key[position] = m->string;
                order.field[position] = field;
            }
        }
        if (field != kNoField && found[field] == nullptr) {
            found[field] = m;
        }
    }
}

// An array's string elements joined with "&" (non-strings count as empty);
// any other value read as a string. False when memory runs out while joining.
bool fill_joined(const cJSON *value, const Field &f, char *&out) {
    if (!cJSON_IsArray(value)) {
        if (value == nullptr) {
            warn_missing_member(f.key);
        }
        cjson_to_string(value, &out, f.def);
        return true;
    }
    try {
        std::string joined;
        const cJSON *element = nullptr;
        bool later = false;
        cJSON_ArrayForEach(element, value) {
            if (later) {
                joined += '&';
            }
            later = true;
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

// One field from its member (null when absent); false as record_fill.
bool fill_field(const Field &f, void *record, const cJSON *value) {
    switch (f.kind) {
        case Kind::Int:
            if (value == nullptr) {
                warn_missing_member(f.key);
            }
            cjson_to_int(value, &at<int32_t>(record, f.offset), 0);
            return true;
        case Kind::Long:
            if (value == nullptr) {
                warn_missing_member(f.key);
            }
            cjson_to_loint(value, &at<int64_t>(record, f.offset), 0);
            return true;
        case Kind::String:
            if (value == nullptr) {
                warn_missing_member(f.key);
            }
            cjson_to_string(value, &at<char *>(record, f.offset), f.def);
            return true;
        case Kind::Joined:
            return fill_joined(value, f, at<char *>(record, f.offset));
        case Kind::List: {
            List *&list = at<List *>(record, f.offset);
            list = list_from_array(*f.items, value);
            return list != nullptr;
        }
        case Kind::ListOrNull:
            // An object's member count is no array length.
            if (cJSON_IsArray(value) && cJSON_GetArraySize(value) > 0) {
                List *&list = at<List *>(record, f.offset);
                list = list_from_array(*f.items, value);
                return list != nullptr;
            }
            return true;
    }
    return true;
}

bool fill_record(const RecordDesc &desc, void *record, const cJSON *object, KeyOrder &order) {
    bool complete = true;
    if (!cJSON_IsObject(object)) {
        // A fresh record's defaults; the lists a record always has are still made.
        for (const Field &f : desc.fields) {
            if (f.kind == Kind::List) {
                complete = fill_field(f, record, nullptr) && complete;
            }
        }
        return complete;
    }
    std::array<const cJSON *, kFieldsPerPass> found;
    for (size_t first = 0; first < desc.fields.size(); first += kFieldsPerPass) {
        const size_t n = std::min(kFieldsPerPass, desc.fields.size() - first);
        find_members(desc, object, first, std::span(found.data(), n), order);
        for (size_t i = 0; i < n; ++i) {
            complete = fill_field(desc.fields[first + i], record, found[i]) && complete;
        }
    }
    return complete;
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
    KeyOrder order;
    return fill_record(desc, record, object, order);
}

cJSON *record_to_json(const RecordDesc &desc, const void *record) {
    std::unique_ptr<cJSON, decltype(&cJSON_Delete)> object(cJSON_CreateObject(), cJSON_Delete);
    auto *fields = const_cast<void *>(record);  // only read
    for (const Field &f : desc.fields) {
        cJSON *value = nullptr;
        switch (f.kind) {
            case Kind::Int:
                value = cJSON_CreateNumber(at<int32_t>(fields, f.offset));
                break;
            case Kind::Long:
                value = cJSON_CreateNumber(static_cast<double>(at<int64_t>(fields, f.offset)));
                break;
            case Kind::String:
            case Kind::Joined: {
                const char *text = at<char *>(fields, f.offset);
                value = text != nullptr ? cJSON_CreateString(text) : cJSON_CreateNull();
                break;
            }
            case Kind::List:
            case Kind::ListOrNull:
                continue;
        }
        if (!object || value == nullptr || !cJSON_AddItemToObject(object.get(), f.key, value)) {
            cJSON_Delete(value);
            return nullptr;
        }
    }
    return object.release();
}

List *list_from_array(const RecordDesc &desc, const cJSON *array) {
    List *list = ListNew(desc.free_item);
    if (list == nullptr) {
        return nullptr;
    }
    KeyOrder order;
    const cJSON *element = nullptr;
    if (cJSON_IsArray(array)) {
        cJSON_ArrayForEach(element, array) {
            if (!cJSON_IsObject(element)) {
                continue;
            }
            void *record = record_new(desc);
            if (record == nullptr) {
                continue;
            }
            if (!fill_record(desc, record, element, order) || ListAppend(list, record) == nullptr) {
                record_free(desc, record);
            }
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
