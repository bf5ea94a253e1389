// Owned cJSON trees and the few builders and readers the service uses.
#pragma once

#include <cjson/cJSON.h>

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace rvmock {

struct JsonDeleter {
    void operator()(cJSON *item) const { cJSON_Delete(item); }
};
using Json = std::unique_ptr<cJSON, JsonDeleter>;

Json json_object();
Json json_array();
Json json_string(const std::string &text);
// Null when the text is not JSON.
Json json_parse(std::string_view text);
Json json_copy(const cJSON *item);
std::string json_print(const cJSON *item);

// Builders: each adds one member to an object (or one element to an array),
// taking ownership of child trees.
void put_int(cJSON *object, const char *key, int64_t value);
void put_str(cJSON *object, const char *key, const std::string &value);
void put_item(cJSON *object, const char *key, Json child);
void append(cJSON *array, Json item);

// Readers with defaults: a missing member or one of another type gives the default.
int64_t get_int(const cJSON *object, const char *key, int64_t fallback = 0);
std::string get_str(const cJSON *object, const char *key, const std::string &fallback = "");
bool get_bool(const cJSON *object, const char *key, bool fallback);

}  // namespace rvmock
