/*
 * The play-event report record: 22 optional texts, each the record's own heap
 * copy (null: not sent). Its fields, in this order, are also the parameters
 * of the report's event text. Any thread.
 */
#ifndef RV_REQUEST_REPORT_DAO_H
#define RV_REQUEST_REPORT_DAO_H

#include "rv_export.h"

RV_BEGIN_DECLS

typedef struct dao_report {
    char *url;
    char *flow;
    char *type;
    char *refer;
    char *speed;
    char *result;
    char *radioid;
    char *audioid;
    char *endtime;
    char *areatag;
    char *message;
    char *page;
    char *playtime;
    char *duration;
    char *remarks1;
    char *remarks2;
    char *remarks3;
    char *remarks4;
    char *remarks5;
    char *eventcode;
    char *starttime;
    char *request_agent;
} dao_report;

/* A zero-filled record, or null when memory is short. */
RV_API dao_report *dao_report_new(void);
/* Frees every text and the record; null is ignored. */
RV_API void dao_report_del(dao_report *record);

RV_END_DECLS

#ifdef __cplusplus
#include "request/helper_json.h"

namespace rv::dao {
// Every field is a String whose key is its query key, in event-text order.
extern const json::RecordDesc kReport;
}  // namespace rv::dao
#endif

#endif
