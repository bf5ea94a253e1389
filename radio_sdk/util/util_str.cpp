// Heap strings with result codes. Buffers come from calloc because callers
// release them with str_free or free.

#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "rv_error.h"
#include "util/util.h"

int str_malloc(char **out, int64_t length) {
    if (out == nullptr || length < 0) {
        return RVE_BAD_ARGS;
    }
    *out = static_cast<char *>(calloc(static_cast<size_t>(length) + 1, 1));
    return *out != nullptr ? RVE_OK : RVE_NO_MEMORY;
}

int str_free(char *string) {
    free(string);
    return RVE_OK;
}

int str_copy(char **out, const char *source, int64_t length) {
    if (out == nullptr || length < 0) {
        return RVE_BAD_ARGS;
    }
    if (source == nullptr) {
        return RVE_NULL_STRING;
    }
    if (strnlen(source, static_cast<size_t>(length)) < static_cast<size_t>(length)) {
        return RVE_STR_TOO_SHORT;
    }
    int rc = str_malloc(out, length);
    if (rc == RVE_OK) {
        memcpy(*out, source, static_cast<size_t>(length));
    }
    return rc;
}

int str_dup(char **out, const char *source) {
    if (source == nullptr) {
        return RVE_NULL_STRING;
    }
    return str_copy(out, source, static_cast<int64_t>(strlen(source)));
}

int str_dup_ext(char **out, const char *source) {
    if (source == nullptr) {
        if (out == nullptr) {
            return RVE_BAD_ARGS;
        }
        *out = nullptr;
        return RVE_OK;
    }
    return str_dup(out, source);
}

int str_from_number(char **out, int64_t value) {
    int rc = str_malloc(out, 32);
    if (rc == RVE_OK) {
        snprintf(*out, 33, "%" PRId64, value);
    }
    return rc;
}
