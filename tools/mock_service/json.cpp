#include "json.h"

#include <cmath>

namespace rvmock {

Json json_object() {
    return Json(cJSON_CreateObject());
}
Json json_array() {
    return Json(cJSON_CreateArray());
}
Json json_string(const std::string &text) {
    return Json(cJSON_CreateString(text.c_str()));
}

Json json_parse(std::string_view text) {
    return Json(cJSON_ParseWithLength(text.data(), text.size()));
}

Json json_copy(const cJSON *item) {
    return Json(cJSON_Duplicate(item, 1));
}

std::string json_print(const cJSON *item) {
    std::unique_ptr<char, decltype(&cJSON_free)> text(cJSON_PrintUnformatted(item), cJSON_free);
    return text ? std::string(text.get()) : std::string();
}

void put_int(cJSON *object, const char *key, int64_t value) {
    // Ids beyond 32 bits stay exact: a double holds integers up to 2^53.
    cJSON_AddItemToObject(object, key, cJSON_CreateNumber(static_cast<double>(value)));
}

void put_str(cJSON *object, const char *key, const std::string &value) {
    cJSON_AddItemToObject(object, key, cJSON_CreateString(value.c_str()));
}

void put_item(cJSON *object, const char *key, Json child) {
    cJSON_AddItemToObject(object, key, child.release());
}

void append(cJSON *array, Json item) {
    cJSON_AddItemToArray(array, item.release());
}

int64_t get_int(const cJSON *object, const char *key, int64_t fallback) {
    const cJSON *item = cJSON_GetObjectItemCaseSensitive(object, key);
    if (cJSON_IsBool(item)) {
        return cJSON_IsTrue(item) ? 1 : 0;
    }
    return cJSON_IsNumber(item) ? static_cast<int64_t>(std::trunc(item->valuedouble)) : fallback;
}

std::string get_str(const cJSON *object, const char *key, const std::string &fallback) {
    const cJSON *item = cJSON_GetObjectItemCaseSensitive(object, key);
    return cJSON_IsString(item) ? std::string(item->valuestring) : fallback;
}

bool get_bool(const cJSON *object, const char *key, bool fallback) {
    const cJSON *item = cJSON_GetObjectItemCaseSensitive(object, key);
    if (cJSON_IsBool(item)) {
        return cJSON_IsTrue(item);
    }
    return cJSON_IsNumber(item) ? item->valuedouble != 0 : fallback;
}

}  // namespace rvmock
