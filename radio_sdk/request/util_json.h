/*
 * JSON accessors: one JSON value into one record field, with a default when
 * the value is missing or of another type. Any thread; never blocks.
 *
 * Integer outputs are 32-bit, long outputs 64-bit, string outputs a new heap
 * text that the caller frees with free().
 */
#ifndef RV_REQUEST_UTIL_JSON_H
#define RV_REQUEST_UTIL_JSON_H

#include <cjson/cJSON.h>
#include <stdint.h>

#include "rv_export.h"

RV_BEGIN_DECLS

/* A number gives its value, anything else (also null) the default. Return 0. */
RV_API int cjson_to_int(const cJSON *item, int32_t *out, int32_t def);
/* A number gives its value truncated toward zero (saturated at the 64-bit limits). */
RV_API int cjson_to_loint(const cJSON *item, int64_t *out, int64_t def);
/* A string gives a copy, anything else a copy of `def` (null when `def` is null). 0, or 5. */
RV_API int cjson_to_string(const cJSON *item, char **out, const char *def);

/*
 * Look up `key` in `object` (case-sensitively when `case_sensitive` is
 * non-zero) and convert it as above. 514 with the output untouched when the
 * object is null or not an object. A missing member logs one warning line
 * and stores the default; a member of another type stores it silently.
 */
RV_API int cjson_object_to_int(const cJSON *object, int case_sensitive, const char *key,
                               int32_t *out, int32_t def);
RV_API int cjson_object_to_loint(const cJSON *object, int case_sensitive, const char *key,
                                 int64_t *out, int64_t def);
RV_API int cjson_object_to_string(const cJSON *object, int case_sensitive, const char *key,
                                  char **out, const char *def);

RV_END_DECLS

#ifdef __cplusplus
namespace rv::json {
// The warning line of a member the record reader expected and did not find.
void warn_missing_member(const char *key);
}  // namespace rv::json
#endif

#endif
