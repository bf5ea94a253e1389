// Descriptions of the server-time and radio-label records (rv_broadcast.h).
#ifndef RV_REQUEST_INNER_DAO_H
#define RV_REQUEST_INNER_DAO_H

#include "request/helper_json.h"
#include "rv_broadcast.h"

namespace rv::dao {

extern const json::RecordDesc kServerTime;     // dao_server_time, read from the answer's top
extern const json::RecordDesc kRadioLabel;     // dao_radio_label with its audios
extern const json::RecordDesc kRadioLabelSet;  // dao_radio_label_set of dao_radio_label

}  // namespace rv::dao

#endif
