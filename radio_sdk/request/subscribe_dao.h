// Descriptions of the subscription records (rv_user.h), for the filler.
#ifndef RV_REQUEST_SUBSCRIBE_DAO_H
#define RV_REQUEST_SUBSCRIBE_DAO_H

#include "request/helper_json.h"
#include "rv_user.h"

namespace rv::dao {

extern const json::RecordDesc kSubscribe;     // dao_subscribe
extern const json::RecordDesc kSubscribeSet;  // dao_subscribe_set of dao_subscribe

}  // namespace rv::dao

#endif
