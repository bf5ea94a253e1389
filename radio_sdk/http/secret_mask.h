// Hides credentials in text bound for the log. The request itself is never changed:
// only the copy that is logged goes through here.
#ifndef RV_HTTP_SECRET_MASK_H
#define RV_HTTP_SECRET_MASK_H

#include <string>
#include <string_view>

namespace rv::http {

// A copy of `text` in which the values of the parameters secretkey, access_token,
// refresh_token and code are replaced by "***", both as query/form pairs
// ("?code=abc&x" gives "?code=***&x") and as JSON members ("\"code\": \"abc\""
// gives "\"code\": \"***\""). Names match exactly and only as whole names, so
// "errcode=1" is left alone. Throws std::bad_alloc when memory is short.
std::string mask_secrets(std::string_view text);

// Logs a V line: `format` holds one %s, which receives `text` (null shows "(null)")
// masked as above. A line that cannot be built for lack of memory is skipped rather
// than logged unmasked. The caller applies its own verbose switch.
void log_masked_v(const char *tag, const char *format, const char *text);

}  // namespace rv::http

#endif
