// The hosts a request goes to (rv_config.h says how they are chosen).
#ifndef RV_REQUEST_SERVICE_HOSTS_H
#define RV_REQUEST_SERVICE_HOSTS_H

#include <string>

namespace rv {

enum class Host { OpenApiHttp, OpenApiHttps, Report };

// "scheme://host:port" without a trailing "/". Any thread.
std::string service_host(Host host);

}  // namespace rv

#endif
