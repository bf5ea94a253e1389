// Descriptions of the audio records (rv_data.h), for the filler.
#ifndef RV_REQUEST_AUDIO_DAO_H
#define RV_REQUEST_AUDIO_DAO_H

#include "request/helper_json.h"
#include "rv_data.h"

namespace rv::dao {

extern const json::RecordDesc kAudio;           // dao_audio of album answers (no clockId)
extern const json::RecordDesc kAudioWithClock;  // dao_audio of smartcast and label answers
extern const json::RecordDesc kAudioSet;        // dao_audio_set of dao_audio

}  // namespace rv::dao

#endif
