// One registration function per group of endpoints; each lives in its own file.
#pragma once

#include "context.h"
#include "router.h"

namespace rvmock {

void add_identity_endpoints(Router &router, Context &context);   // identity_api.cpp
void add_catalogue_endpoints(Router &router, Context &context);  // catalogue_api.cpp
void add_broadcast_endpoints(Router &router, Context &context);  // broadcast_api.cpp
void add_smartcast_endpoints(Router &router, Context &context);  // smartcast_api.cpp
void add_auth_endpoints(Router &router, Context &context);       // auth_api.cpp
void add_user_endpoints(Router &router, Context &context);       // user_api.cpp
void add_search_endpoints(Router &router, Context &context);     // search_api.cpp
void add_report_endpoints(Router &router, Context &context);     // reports.cpp
void add_control_endpoints(Router &router, Context &context);    // control_api.cpp
void add_media_endpoints(Router &router, Context &context);      // media_api.cpp

}  // namespace rvmock
