// Descriptions of the smartcast records (rv_smartcast.h), for the filler.
#ifndef RV_REQUEST_SMARTCAST_DAO_H
#define RV_REQUEST_SMARTCAST_DAO_H

#include "request/helper_json.h"
#include "rv_smartcast.h"

namespace rv::dao {

extern const json::RecordDesc kSmartcast;  // dao_smartcast, keys in any case

}  // namespace rv::dao

#endif
