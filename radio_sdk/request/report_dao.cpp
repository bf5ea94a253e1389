#include "request/report_dao.h"

#include <array>

namespace rv::dao {

namespace {

#define RV_REPORT_FIELD(member) RV_FIELD(dao_report, member, #member, String)

constexpr std::array kReportFields{
    RV_REPORT_FIELD(url),           RV_REPORT_FIELD(flow),      RV_REPORT_FIELD(type),
    RV_REPORT_FIELD(refer),         RV_REPORT_FIELD(speed),     RV_REPORT_FIELD(result),
    RV_REPORT_FIELD(radioid),       RV_REPORT_FIELD(audioid),   RV_REPORT_FIELD(endtime),
    RV_REPORT_FIELD(areatag),       RV_REPORT_FIELD(message),   RV_REPORT_FIELD(page),
    RV_REPORT_FIELD(playtime),      RV_REPORT_FIELD(duration),  RV_REPORT_FIELD(remarks1),
    RV_REPORT_FIELD(remarks2),      RV_REPORT_FIELD(remarks3),  RV_REPORT_FIELD(remarks4),
    RV_REPORT_FIELD(remarks5),      RV_REPORT_FIELD(eventcode), RV_REPORT_FIELD(starttime),
    RV_REPORT_FIELD(request_agent),
};

#undef RV_REPORT_FIELD

}  // namespace

const json::RecordDesc kReport{sizeof(dao_report), true, kReportFields, json::free_as<kReport>};

}  // namespace rv::dao

RV_DAO_FUNCTIONS(dao_report, rv::dao::kReport)
