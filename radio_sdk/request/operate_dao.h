// Descriptions of the operate-list records (rv_smartcast.h), for the filler.
#ifndef RV_REQUEST_OPERATE_DAO_H
#define RV_REQUEST_OPERATE_DAO_H

#include "request/helper_json.h"
#include "rv_smartcast.h"

namespace rv::dao {

extern const json::RecordDesc kOperate;     // dao_operate
extern const json::RecordDesc kOperateSet;  // dao_operate_set of dao_operate

}  // namespace rv::dao

#endif
