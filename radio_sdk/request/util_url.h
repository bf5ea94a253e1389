/*
 * Form encoding (application/x-www-form-urlencoded) of text placed into a
 * query: letters, digits and "*-._" stay, a space becomes "+", every other
 * byte becomes "%XX" with upper-case hex digits. Any thread; never blocks.
 */
#ifndef RV_REQUEST_UTIL_URL_H
#define RV_REQUEST_UTIL_URL_H

#include <stdint.h>

#include "rv_export.h"

RV_BEGIN_DECLS

/*
 * Encodes the first `src_len` bytes of `src` into `dst`, which has room for
 * `dst_size` characters plus a terminating NUL. Returns the number of
 * characters written (then terminated), or 0 when an argument is null or
 * below 1, or when the encoded text would exceed `dst_size` characters (the
 * output is then incomplete and not terminated: nothing is cut silently).
 */
RV_API int32_t util_url_encode(const char *src, int32_t src_len, char *dst, int32_t dst_size);

RV_END_DECLS

#ifdef __cplusplus
#include <string>
#include <string_view>

namespace rv {
// Appends the encoded form of `text` to `out`.
void url_encode_append(std::string &out, std::string_view text);
// The decoded form: "+" is a space, "%XX" (either case) its byte; a "%" not
// followed by two hex digits stays as it is.
std::string url_decode(std::string_view text);
}  // namespace rv
#endif

#endif
