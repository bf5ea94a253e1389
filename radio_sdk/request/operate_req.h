/*
 * The operate list (plain HTTP GET, signed). Reporting as request_core.h
 * describes; the delivered page belongs to the receiver (rv_smartcast.h).
 */
#ifndef RV_REQUEST_OPERATE_REQ_H
#define RV_REQUEST_OPERATE_REQ_H

#include "rv_smartcast.h"

RV_BEGIN_DECLS

/* dao_operate_set. The location parameters lon and lat are sent empty. */
RV_API void request_operate_list(int pagenum, int pagesize, rv_result_callback callback,
                                 void *user_data);

RV_END_DECLS

#endif
