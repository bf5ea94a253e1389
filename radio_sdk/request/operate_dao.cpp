#include "request/operate_dao.h"

#include <array>

namespace rv::dao {

using json::free_as;

namespace {

constexpr std::array kOperateFields{
    RV_FIELD(dao_operate, rid, "rid", Long),
    RV_FIELD(dao_operate, listenNum, "listenNum", Long),
    RV_FIELD(dao_operate, rtype, "rtype", Int),
    RV_FIELD(dao_operate, cornerMark, "cornerMark", Int),
    RV_FIELD(dao_operate, rname, "rname", String),
    RV_FIELD(dao_operate, image, "image", String),
    RV_FIELD(dao_operate, rvalue, "rvalue", String),
};

constexpr std::array kOperateSetFields{
    RV_PAGE_FIELDS(dao_operate_set),
    RV_FIELD(dao_operate_set, list, "dataList", List, &kOperate),
};

}  // namespace

const json::RecordDesc kOperate{sizeof(dao_operate), true, kOperateFields, free_as<kOperate>};
const json::RecordDesc kOperateSet{sizeof(dao_operate_set), false, kOperateSetFields,
                                   free_as<kOperateSet>};

}  // namespace rv::dao

RV_DAO_FUNCTIONS(dao_operate, rv::dao::kOperate)
RV_DAO_FUNCTIONS(dao_operate_set, rv::dao::kOperateSet)
