#include "request/util_json.h"

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "rv_error.h"
#include "util/debug.h"

namespace {

constexpr const char *kTag = "REQUEST";

// The member, or null when absent; 514 through `rc` when `object` is no object.
const cJSON *member(const cJSON *object, int case_sensitive, const char *key, int &rc) {
    if (object == nullptr || !cJSON_IsObject(object) || key == nullptr) {
        rc = RVE_NULL_STRING;
        return nullptr;
    }
    rc = RVE_OK;
    const cJSON *item = case_sensitive ? cJSON_GetObjectItemCaseSensitive(object, key)
                                       : cJSON_GetObjectItem(object, key);
    if (item == nullptr) {
        rv::json::warn_missing_member(key);
    }
    return item;
}

}  // namespace

void rv::json::warn_missing_member(const char *key) {
    LOGW(kTag, "convert cjson data [%s] invalid, use default value! \n", key);
}

extern "C" int cjson_to_int(const cJSON *item, int32_t *out, int32_t def) {
    if (out != nullptr) {
        *out = cJSON_IsNumber(item) ? item->valueint : def;
    }
    return RVE_OK;
}

extern "C" int cjson_to_loint(const cJSON *item, int64_t *out, int64_t def) {
    if (out == nullptr) {
        return RVE_OK;
    }
    if (!cJSON_IsNumber(item) || std::isnan(item->valuedouble)) {
        *out = def;
    } else if (item->valuedouble >= 9223372036854775807.0) {
        *out = INT64_MAX;
    } else if (item->valuedouble <= -9223372036854775808.0) {
        *out = INT64_MIN;
    } else {
        *out = static_cast<int64_t>(item->valuedouble);
    }
    return RVE_OK;
}

extern "C" int cjson_to_string(const cJSON *item, char **out, const char *def) {
    if (out == nullptr) {
        return RVE_OK;
    }
    const char *source = cJSON_IsString(item) ? item->valuestring : def;
    if (source == nullptr) {
        *out = nullptr;
        return RVE_OK;
    }
    *out = strdup(source);
    return *out != nullptr ? RVE_OK : RVE_NO_MEMORY;
}

extern "C" int cjson_object_to_int(const cJSON *object, int case_sensitive, const char *key,
                                   int32_t *out, int32_t def) {
    int rc;
    const cJSON *item = member(object, case_sensitive, key, rc);
    return rc != RVE_OK ? rc : cjson_to_int(item, out, def);
}

extern "C" int cjson_object_to_loint(const cJSON *object, int case_sensitive, const char *key,
                                     int64_t *out, int64_t def) {
    int rc;
    const cJSON *item = member(object, case_sensitive, key, rc);
    return rc != RVE_OK ? rc : cjson_to_loint(item, out, def);
}

extern "C" int cjson_object_to_string(const cJSON *object, int case_sensitive, const char *key,
                                      char **out, const char *def) {
    int rc;
    const cJSON *item = member(object, case_sensitive, key, rc);
    return rc != RVE_OK ? rc : cjson_to_string(item, out, def);
}
