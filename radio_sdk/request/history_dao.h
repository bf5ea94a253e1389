// Descriptions of the listening-history records (rv_user.h), for the filler.
#ifndef RV_REQUEST_HISTORY_DAO_H
#define RV_REQUEST_HISTORY_DAO_H

#include "request/helper_json.h"
#include "rv_user.h"

namespace rv::dao {

extern const json::RecordDesc kHistory;     // dao_history
extern const json::RecordDesc kHistorySet;  // dao_history_set of dao_history

}  // namespace rv::dao

#endif
