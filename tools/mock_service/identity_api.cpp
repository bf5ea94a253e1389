// App init and app active: both hand the device its openid, derived from the
// app id and device id so that it is the same on every start.
#include "endpoints.h"
#include "signature.h"

namespace rvmock {

void add_identity_endpoints(Router &router, Context &context) {
    auto identity = [&context](const Call &call) {
        Answer answer{json_object(), nullptr, {}};
        put_str(answer.result.get(), "openid",
                "oid-" + md5_hex(context.config.appid + "/" + call.device()).substr(0, 24));
        return answer;
    };
    router.api("/v2/app/init", Method::Get, Guard::Signed, identity);
    router.api("/v2/app/active", Method::Post, Guard::Signed, identity);
}

}  // namespace rvmock
