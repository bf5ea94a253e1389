#include "request/history_dao.h"

#include <array>

#include "request/auth_dao.h"

namespace rv::dao {

using json::free_as;

namespace {

constexpr std::array kHistoryFields{
    RV_FIELD(dao_history, radioId, "radioId", String),
    RV_FIELD(dao_history, radioTitle, "radioTitle", String),
    RV_FIELD(dao_history, picUrl, "picUrl", String),
    RV_FIELD(dao_history, audioId, "audioId", String),
    RV_FIELD(dao_history, audioTitle, "audioTitle", String),
    RV_FIELD(dao_history, playUrl, "playUrl", String),
    RV_FIELD(dao_history, shareUrl, "shareUrl", String),
    RV_FIELD(dao_history, playedTime, "playedTime", Long),
    RV_FIELD(dao_history, duration, "duration", Long),
    RV_FIELD(dao_history, orderNum, "orderNum", Long),
    RV_FIELD(dao_history, timeStamp, "timeStamp", Long),
};

// Only five of the paging fields.
constexpr std::array kHistorySetFields{
    RV_FIELD(dao_history_set, haveNext, "haveNext", Int),
    RV_FIELD(dao_history_set, nextPage, "nextPage", Int),
    RV_FIELD(dao_history_set, havePre, "havePre", Int),
    RV_FIELD(dao_history_set, prePage, "prePage", Int),
    RV_FIELD(dao_history_set, currentPage, "currentPage", Int),
    RV_FIELD(dao_history_set, list, "dataList", List, &kHistory),
};

}  // namespace

const json::RecordDesc kHistory{sizeof(dao_history), true, kHistoryFields, free_as<kHistory>};
const json::RecordDesc kHistorySet{sizeof(dao_history_set), false, kHistorySetFields,
                                   free_as<kHistorySet>};

}  // namespace rv::dao

RV_DAO_FUNCTIONS(dao_history, rv::dao::kHistory)
RV_DAO_FUNCTIONS(dao_history_set, rv::dao::kHistorySet)
RV_DAO_FUNCTIONS(dao_history_save_result, rv::dao::kStatus)
RV_DAO_FUNCTIONS(dao_history_clear_result, rv::dao::kStatus)
static_assert(sizeof(dao_history_save_result) == sizeof(dao_auth_qrcode_status) &&
              sizeof(dao_history_clear_result) == sizeof(dao_auth_qrcode_status));
