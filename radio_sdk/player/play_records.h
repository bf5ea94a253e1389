// What the play-item, bean and audio-item modules share: their record
// descriptions (for _new and _del) and the table-driven field copy that every
// builder uses.
#ifndef RV_PLAYER_PLAY_RECORDS_H
#define RV_PLAYER_PLAY_RECORDS_H

#include <cstddef>
#include <span>

#include "request/helper_json.h"
#include "rv_play_item.h"

namespace rv::play {

extern const json::RecordDesc kPlayItem;
extern const json::RecordDesc kAudioBean;
extern const json::RecordDesc kAudioItem;

// One field copied from a source record into a new record.
struct Copy {
    enum class Kind {
        Text,      // char *: a heap copy (null stays null)
        Long,      // int64_t
        Int,       // int32_t
        IntToLong  // int32_t widened into int64_t
    };
    std::size_t from;
    std::size_t to;
    Kind kind;
};

// Applies the copies; false when a text cannot be copied (the caller frees the target).
bool copy_fields(const void *source, void *target, std::span<const Copy> copies);

}  // namespace rv::play

// One row of a copy table: RV_COPY(source type, member, target type, member, Kind).
#define RV_COPY(S, from, T, to, kind)                                  \
    rv::play::Copy {                                                   \
        offsetof(S, from), offsetof(T, to), rv::play::Copy::Kind::kind \
    }

#endif
