#include "request/audio_dao.h"

#include <array>

namespace rv::dao {

using json::free_as;

namespace {

// In reading order: the texts, the three longs, then the integers.
#define RV_AUDIO_FIELDS                                                 \
    RV_FIELD(dao_audio, audioName, "audioName", String),                \
        RV_FIELD(dao_audio, audioPic, "audioPic", String),              \
        RV_FIELD(dao_audio, audioDes, "audioDes", String),              \
        RV_FIELD(dao_audio, albumName, "albumName", String),            \
        RV_FIELD(dao_audio, albumPic, "albumPic", String),              \
        RV_FIELD(dao_audio, mp3PlayUrl32, "mp3PlayUrl32", String),      \
        RV_FIELD(dao_audio, mp3PlayUrl64, "mp3PlayUrl64", String),      \
        RV_FIELD(dao_audio, aacPlayUrl, "aacPlayUrl", String),          \
        RV_FIELD(dao_audio, aacPlayUrl32, "aacPlayUrl32", String),      \
        RV_FIELD(dao_audio, aacPlayUrl64, "aacPlayUrl64", String),      \
        RV_FIELD(dao_audio, aacPlayUrl128, "aacPlayUrl128", String),    \
        RV_FIELD(dao_audio, updateTime, "updateTime", Long),            \
        RV_FIELD(dao_audio, audioId, "audioId", Long),                  \
        RV_FIELD(dao_audio, albumId, "albumId", Long),                  \
        RV_FIELD(dao_audio, orderNum, "orderNum", Int),                 \
        RV_FIELD(dao_audio, aacFileSize, "aacFileSize", Int),           \
        RV_FIELD(dao_audio, mp3FileSize32, "mp3FileSize32", Int),       \
        RV_FIELD(dao_audio, mp3FileSize64, "mp3FileSize64", Int),       \
        RV_FIELD(dao_audio, duration, "duration", Int),                 \
        RV_FIELD(dao_audio, originalDuration, "originalDuration", Int), \
        RV_FIELD(dao_audio, listenNum, "listenNum", Int),               \
        RV_FIELD(dao_audio, likedNum, "likedNum", Int),                 \
        RV_FIELD(dao_audio, hasCopyright, "hasCopyright", Int),         \
        RV_FIELD(dao_audio, commentNum, "commentNum", Int),             \
        RV_FIELD(dao_audio, trailerStart, "trailerStart", Int),         \
        RV_FIELD(dao_audio, trailerEnd, "trailerEnd", Int),             \
        RV_FIELD(dao_audio, categoryId, "categoryId", Int),             \
        RV_FIELD(dao_audio, isListened, "isListened", Int)

constexpr std::array kAudioFields{RV_AUDIO_FIELDS};
constexpr std::array kAudioWithClockFields{RV_AUDIO_FIELDS,
                                           RV_FIELD(dao_audio, clockId, "clockId", String)};
#undef RV_AUDIO_FIELDS

constexpr std::array kAudioSetFields{
    RV_PAGE_FIELDS(dao_audio_set),
    RV_FIELD(dao_audio_set, list, "dataList", List, &kAudio),
};

}  // namespace

// Both descriptions free with kAudioWithClock, which covers every owned field.
const json::RecordDesc kAudio{sizeof(dao_audio), true, kAudioFields, free_as<kAudioWithClock>};
const json::RecordDesc kAudioWithClock{sizeof(dao_audio), true, kAudioWithClockFields,
                                       free_as<kAudioWithClock>};
const json::RecordDesc kAudioSet{sizeof(dao_audio_set), false, kAudioSetFields, free_as<kAudioSet>};

}  // namespace rv::dao

RV_DAO_FUNCTIONS(dao_audio, rv::dao::kAudioWithClock)
RV_DAO_FUNCTIONS(dao_audio_set, rv::dao::kAudioSet)
