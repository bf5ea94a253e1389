#include "request/smartcast_dao.h"

#include <array>

namespace rv::dao {

using json::free_as;

namespace {

constexpr std::array kSmartcastFields{
    RV_FIELD(dao_smartcast, id, "id", Long),
    RV_FIELD(dao_smartcast, type, "type", Int),
    RV_FIELD(dao_smartcast, followedNum, "followedNum", Int),
    RV_FIELD(dao_smartcast, isOnline, "isOnline", Int),
    RV_FIELD(dao_smartcast, listenNum, "listenNum", Int),
    RV_FIELD(dao_smartcast, commentNum, "commentNum", Int),
    RV_FIELD(dao_smartcast, isSubscribe, "isSubscribe", Int),
    RV_FIELD(dao_smartcast, name, "name", String),
    RV_FIELD(dao_smartcast, img, "img", String),
    RV_FIELD(dao_smartcast, desc, "desc", String),
};

}  // namespace

const json::RecordDesc kSmartcast{sizeof(dao_smartcast), false, kSmartcastFields,
                                  free_as<kSmartcast>};

}  // namespace rv::dao

RV_DAO_FUNCTIONS(dao_smartcast, rv::dao::kSmartcast)
