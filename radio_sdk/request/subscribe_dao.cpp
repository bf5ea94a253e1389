#include "request/subscribe_dao.h"

#include <array>

#include "request/auth_dao.h"

namespace rv::dao {

using json::free_as;

namespace {

constexpr std::array kSubscribeFields{
    RV_FIELD(dao_subscribe, type, "type", Int),
    RV_FIELD(dao_subscribe, isOnline, "isOnline", Int),
    RV_FIELD(dao_subscribe, hasCopyright, "hasCopyright", Int),
    RV_FIELD(dao_subscribe, countNum, "countNum", Int),
    RV_FIELD(dao_subscribe, id, "id", Long),
    RV_FIELD(dao_subscribe, updateTime, "updateTime", Long),
    RV_FIELD(dao_subscribe, name, "name", String),
    RV_FIELD(dao_subscribe, desc, "desc", String),
    RV_FIELD(dao_subscribe, img, "img", String),
};

constexpr std::array kSubscribeSetFields{
    RV_PAGE_FIELDS(dao_subscribe_set),
    RV_FIELD(dao_subscribe_set, list, "dataList", List, &kSubscribe),
};

}  // namespace

const json::RecordDesc kSubscribe{sizeof(dao_subscribe), true, kSubscribeFields,
                                  free_as<kSubscribe>};
const json::RecordDesc kSubscribeSet{sizeof(dao_subscribe_set), false, kSubscribeSetFields,
                                     free_as<kSubscribeSet>};

}  // namespace rv::dao

RV_DAO_FUNCTIONS(dao_subscribe, rv::dao::kSubscribe)
RV_DAO_FUNCTIONS(dao_subscribe_set, rv::dao::kSubscribeSet)
RV_DAO_FUNCTIONS(dao_subscribe_result, rv::dao::kStatus)
RV_DAO_FUNCTIONS(dao_unsubscribe_result, rv::dao::kStatus)
RV_DAO_FUNCTIONS(dao_subscribe_status, rv::dao::kStatus)
static_assert(sizeof(dao_subscribe_result) == sizeof(dao_auth_qrcode_status) &&
              sizeof(dao_unsubscribe_result) == sizeof(dao_auth_qrcode_status) &&
              sizeof(dao_subscribe_status) == sizeof(dao_auth_qrcode_status));
