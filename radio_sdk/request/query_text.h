// Caller text placed into a query, form-encoded (util_url.h) before formatting.
#ifndef RV_REQUEST_QUERY_TEXT_H
#define RV_REQUEST_QUERY_TEXT_H

#include <string>

#include "rv_sdk_info.h"

namespace rv::req {

// Sets `out` to the encoded `text` (null is taken as the empty text). When
// memory is short, delivers 5 to the callback instead and returns false.
bool encode_for_query(const char *text, std::string &out, rv_result_callback callback,
                      void *user_data);

}  // namespace rv::req

#endif
