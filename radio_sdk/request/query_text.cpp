#include "request/query_text.h"

#include <new>

#include "request/request_core.h"
#include "request/util_url.h"
#include "rv_error.h"

namespace rv::req {

bool encode_for_query(const char *text, std::string &out, rv_result_callback callback,
                      void *user_data) {
    try {
        out.clear();
        url_encode_append(out, text != nullptr ? text : "");
        return true;
    } catch (const std::bad_alloc &) {
        notify(callback, user_data, {RVE_NO_MEMORY});
        return false;
    }
}

}  // namespace rv::req
