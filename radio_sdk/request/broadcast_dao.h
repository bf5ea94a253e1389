// Descriptions of the broadcast records (rv_broadcast.h), for the filler.
#ifndef RV_REQUEST_BROADCAST_DAO_H
#define RV_REQUEST_BROADCAST_DAO_H

#include "request/helper_json.h"
#include "rv_broadcast.h"

namespace rv::dao {

extern const json::RecordDesc kBroadcastCategory;  // dao_broadcast_category, keys in any case
extern const json::RecordDesc kBroadcastArea;      // dao_broadcast_area, keys in any case
extern const json::RecordDesc kBroadcastDate;      // dao_broadcast_date
extern const json::RecordDesc kBroadcast;          // dao_broadcast
extern const json::RecordDesc kBroadcastSet;       // dao_broadcast_set of dao_broadcast
extern const json::RecordDesc kBroadcastInfo;      // dao_broadcast_info
extern const json::RecordDesc kProgram;            // dao_program, keys in any case (no serverTime)
extern const json::RecordDesc kCityBroadcast;      // dao_city_broadcast (never filled)

}  // namespace rv::dao

#endif
