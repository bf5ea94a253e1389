/*
 * Request URL building and signing: the common block (application, device and
 * signature), the access block (the authorised user) and the search block.
 *
 * The blocks read the SDK records under their lock at call time, so a new
 * openid or access token takes effect at the next request. Values are never
 * cut: a URL grows to whatever its parameters need. Any thread; never blocks
 * except briefly on the records lock.
 */
#ifndef RV_REQUEST_HELPER_URL_H
#define RV_REQUEST_HELPER_URL_H

#include "rv_export.h"

RV_BEGIN_DECLS

/*
 * MD5 of the bytes of `text` as 32 lower-case hex digits written into `out`
 * (exactly 32 characters; pass a zero-filled buffer of at least 33 bytes).
 */
RV_API void _calc_signature(const char *text, char *out);

/*
 * Append a block to the heap text *url (malloc'd, owned by the caller). On
 * success *url is replaced by a longer heap text (the old one is freed) and 0
 * is returned. Failures leave *url unchanged: 4 for a null url, 512 when the
 * SDK (or, for the access block, the access) record does not exist, 5 when
 * memory is short.
 */
RV_API int url_set_common_params(char **url);
RV_API int url_set_access_params(char **url);
/* The search block for `keyword` (null is taken as the empty text; the
 * keyword is escaped as a JSON string inside the block's JSON body). */
RV_API int url_set_search_params(char **url, const char *keyword);
/* The block that identifies a report: app id, openid and session id (when
 * known), the time, and fixed device descriptions. */
RV_API int url_set_report_params(char **url);

RV_END_DECLS

#ifdef __cplusplus
#include <cstdarg>
#include <string>
#include <string_view>

namespace rv {

// printf-style formatting into a std::string, of any length.
std::string format(const char *fmt, ...) __attribute__((format(printf, 1, 2)));
std::string vformat(const char *fmt, va_list ap);

// The signature text of `text` (32 lower-case hex digits).
std::string signature(std::string_view text);

// The block appenders behind the C functions; same results. `arg` is unused
// except by the search block (the keyword): all share one signature so that an
// endpoint can name its blocks in a table.
int append_common_params(std::string &url, const char *arg);
int append_access_params(std::string &url, const char *arg);
int append_search_params(std::string &url, const char *keyword);
int append_report_params(std::string &url, const char *arg);
// "secretkey=<the application's secret key>&" (empty without an SDK record),
// for the authorisation requests that prove the application's identity.
int append_secret_key(std::string &url, const char *arg);

}  // namespace rv
#endif

#endif
