#include "request/broadcast_dao.h"

#include <array>

namespace rv::dao {

using json::free_as;

namespace {

constexpr std::array kBroadcastCategoryFields{
    RV_FIELD(dao_broadcast_category, id, "id", Int),
    RV_FIELD(dao_broadcast_category, type, "type", Int),
    RV_FIELD(dao_broadcast_category, name, "name", String),
    RV_FIELD(dao_broadcast_category, img, "img", String),
};

constexpr std::array kBroadcastAreaFields{
    RV_FIELD(dao_broadcast_area, id, "id", Int),
    RV_FIELD(dao_broadcast_area, name, "name", String),
};

constexpr std::array kBroadcastDateFields{
    RV_FIELD(dao_broadcast_date, weekDay, "weekDay", String),
    RV_FIELD(dao_broadcast_date, dateTime, "dateTime", String),
    RV_FIELD(dao_broadcast_date, time, "time", String),
};

constexpr std::array kBroadcastFields{
    RV_FIELD(dao_broadcast, broadcastId, "broadcastId", Long),
    RV_FIELD(dao_broadcast, status, "status", Int),
    RV_FIELD(dao_broadcast, onLineNum, "onLineNum", Int),
    RV_FIELD(dao_broadcast, likedNum, "likedNum", Int),
    RV_FIELD(dao_broadcast, isSubscribe, "isSubscribe", Int),
    RV_FIELD(dao_broadcast, name, "name", String),
    RV_FIELD(dao_broadcast, img, "img", String),
    RV_FIELD(dao_broadcast, currentProgramTitle, "currentProgramTitle", String),
    RV_FIELD(dao_broadcast, playUrl, "playUrl", String),
};

constexpr std::array kBroadcastSetFields{
    RV_PAGE_FIELDS(dao_broadcast_set),
    RV_FIELD(dao_broadcast_set, list, "dataList", List, &kBroadcast),
};

constexpr std::array kBroadcastInfoFields{
    RV_FIELD(dao_broadcast_info, broadcastId, "broadcastId", Long),
    RV_FIELD(dao_broadcast_info, status, "status", Int),
    RV_FIELD(dao_broadcast_info, onLineNum, "onLineNum", Int),
    RV_FIELD(dao_broadcast_info, likedNum, "likedNum", Int),
    RV_FIELD(dao_broadcast_info, isSubscribe, "isSubscribe", Int),
    RV_FIELD(dao_broadcast_info, classifyId, "classifyId", Int),
    RV_FIELD(dao_broadcast_info, roomId, "roomId", Int),
    RV_FIELD(dao_broadcast_info, name, "name", String),
    RV_FIELD(dao_broadcast_info, img, "img", String),
    RV_FIELD(dao_broadcast_info, classifyName, "classifyName", String),
    RV_FIELD(dao_broadcast_info, playUrl, "playUrl", String),
};

#define RV_PROGRAM_FIELDS                                              \
    RV_FIELD(dao_program, programId, "programId", Long),               \
        RV_FIELD(dao_program, broadcastId, "broadcastId", Long),       \
        RV_FIELD(dao_program, nextProgramId, "nextProgramId", Long),   \
        RV_FIELD(dao_program, preProgramId, "preProgramId", Long),     \
        RV_FIELD(dao_program, startTime, "startTime", Long),           \
        RV_FIELD(dao_program, finishTime, "finishTime", Long),         \
        RV_FIELD(dao_program, status, "status", Int),                  \
        RV_FIELD(dao_program, isSubscribe, "isSubscribe", Int),        \
        RV_FIELD(dao_program, title, "title", String),                 \
        RV_FIELD(dao_program, backLiveUrl, "backLiveUrl", String),     \
        RV_FIELD(dao_program, playUrl, "playUrl", String),             \
        RV_FIELD(dao_program, comperes, "comperes", String),           \
        RV_FIELD(dao_program, beginTime, "beginTime", String),         \
        RV_FIELD(dao_program, endTime, "endTime", String),             \
        RV_FIELD(dao_program, desc, "desc", String),                   \
        RV_FIELD(dao_program, broadcastDesc, "broadcastDesc", String), \
        RV_FIELD(dao_program, broadcastName, "broadcastName", String), \
        RV_FIELD(dao_program, broadcastImg, "broadcastImg", String)

constexpr std::array kProgramFields{RV_PROGRAM_FIELDS};
// serverTime is not read from a programme object (the current-programme
// builder sets it from the answer's top level); listed here only to be freed.
constexpr std::array kProgramOwnedFields{RV_PROGRAM_FIELDS,
                                         RV_FIELD(dao_program, serverTime, "serverTime", String)};
#undef RV_PROGRAM_FIELDS

constexpr std::array kCityBroadcastFields{
    RV_FIELD(dao_city_broadcast, broadcastId, "broadcastId", Int),
    RV_FIELD(dao_city_broadcast, name, "name", String),
    RV_FIELD(dao_city_broadcast, img, "img", String),
    RV_FIELD(dao_city_broadcast, playUrl, "playUrl", String),
    RV_FIELD(dao_city_broadcast, areaName, "areaName", String),
    RV_FIELD(dao_city_broadcast, currentProgramTitle, "currentProgramTitle", String),
};

const json::RecordDesc kProgramOwned{sizeof(dao_program), false, kProgramOwnedFields,
                                     free_as<kProgramOwned>};

}  // namespace

const json::RecordDesc kBroadcastCategory{sizeof(dao_broadcast_category), false,
                                          kBroadcastCategoryFields, free_as<kBroadcastCategory>};
const json::RecordDesc kBroadcastArea{sizeof(dao_broadcast_area), false, kBroadcastAreaFields,
                                      free_as<kBroadcastArea>};
const json::RecordDesc kBroadcastDate{sizeof(dao_broadcast_date), true, kBroadcastDateFields,
                                      free_as<kBroadcastDate>};
const json::RecordDesc kBroadcast{sizeof(dao_broadcast), true, kBroadcastFields,
                                  free_as<kBroadcast>};
const json::RecordDesc kBroadcastSet{sizeof(dao_broadcast_set), false, kBroadcastSetFields,
                                     free_as<kBroadcastSet>};
const json::RecordDesc kBroadcastInfo{sizeof(dao_broadcast_info), true, kBroadcastInfoFields,
                                      free_as<kBroadcastInfo>};
const json::RecordDesc kProgram{sizeof(dao_program), false, kProgramFields, free_as<kProgramOwned>};
const json::RecordDesc kCityBroadcast{sizeof(dao_city_broadcast), true, kCityBroadcastFields,
                                      free_as<kCityBroadcast>};

}  // namespace rv::dao

RV_DAO_FUNCTIONS(dao_broadcast_category, rv::dao::kBroadcastCategory)
RV_DAO_FUNCTIONS(dao_broadcast_area, rv::dao::kBroadcastArea)
RV_DAO_FUNCTIONS(dao_broadcast_date, rv::dao::kBroadcastDate)
RV_DAO_FUNCTIONS(dao_broadcast, rv::dao::kBroadcast)
RV_DAO_FUNCTIONS(dao_broadcast_set, rv::dao::kBroadcastSet)
RV_DAO_FUNCTIONS(dao_broadcast_info, rv::dao::kBroadcastInfo)
RV_DAO_FUNCTIONS(dao_program, rv::dao::kProgramOwned)
RV_DAO_FUNCTIONS(dao_city_broadcast, rv::dao::kCityBroadcast)
