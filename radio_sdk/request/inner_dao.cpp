#include "request/inner_dao.h"

#include <array>

#include "request/audio_dao.h"

namespace rv::dao {

using json::free_as;

namespace {

constexpr std::array kServerTimeFields{
    RV_FIELD(dao_server_time, serverTime, "serverTime", String),
};

constexpr std::array kRadioLabelFields{
    RV_FIELD(dao_radio_label, rid, "rid", Long),
    RV_FIELD(dao_radio_label, rtype, "rtype", Int),
    RV_FIELD(dao_radio_label, rname, "rname", String),
    RV_FIELD(dao_radio_label, rvalue, "rvalue", String),
    RV_FIELD(dao_radio_label, image, "image", String),
    RV_FIELD(dao_radio_label, desc, "desc", String),
    RV_FIELD(dao_radio_label, updateTime, "updateTime", String),
    RV_FIELD(dao_radio_label, cornerMark, "cornerMark", Int),
    RV_FIELD(dao_radio_label, optType, "optType", Int),
    RV_FIELD(dao_radio_label, isOpt, "isOpt", Int),
    RV_FIELD(dao_radio_label, index, "index", Int),
    RV_FIELD(dao_radio_label, isMusic, "isMusic", Int),
    RV_FIELD(dao_radio_label, audios, "audios", List, &kAudioWithClock),
};

constexpr std::array kRadioLabelSetFields{
    RV_PAGE_FIELDS(dao_radio_label_set),
    RV_FIELD(dao_radio_label_set, list, "dataList", List, &kRadioLabel),
};

}  // namespace

const json::RecordDesc kServerTime{sizeof(dao_server_time), true, kServerTimeFields,
                                   free_as<kServerTime>};
const json::RecordDesc kRadioLabel{sizeof(dao_radio_label), true, kRadioLabelFields,
                                   free_as<kRadioLabel>};
const json::RecordDesc kRadioLabelSet{sizeof(dao_radio_label_set), false, kRadioLabelSetFields,
                                      free_as<kRadioLabelSet>};

}  // namespace rv::dao

RV_DAO_FUNCTIONS(dao_server_time, rv::dao::kServerTime)
RV_DAO_FUNCTIONS(dao_radio_label, rv::dao::kRadioLabel)
RV_DAO_FUNCTIONS(dao_radio_label_set, rv::dao::kRadioLabelSet)
