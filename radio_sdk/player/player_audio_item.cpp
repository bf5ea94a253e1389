#include <array>

#include "player/play_records.h"

namespace rv::play {
namespace {

constexpr std::array kAudioItemTexts{
    RV_FIELD(dao_play_audio_item, name, "name", String),
    RV_FIELD(dao_play_audio_item, clockId, "clockId", String),
    RV_FIELD(dao_play_audio_item, reservedText, "reservedText", String),
};

}  // namespace

const json::RecordDesc kAudioItem{sizeof(dao_play_audio_item), true, kAudioItemTexts,
                                  json::free_as<kAudioItem>};

}  // namespace rv::play

RV_DAO_FUNCTIONS(dao_play_audio_item, rv::play::kAudioItem)
