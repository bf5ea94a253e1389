// Playing a resource with a status line (a progress bar updated in place on a
// terminal, plain lines one per event otherwise) and single-key control.
//
// Threads: the player's listener slots run on the SDK's threads and only queue
// events under a mutex; play() draws and reads keys on the calling thread.
#pragma once

#include <chrono>
#include <optional>
#include <string>

#include "session.h"

namespace rvcli {

enum class Resource { Album, Audio, Radio, Broadcast };

struct PlayLimits {
    // Stop once this many items have ended (0: no limit).
    int items = 0;
    // Stop after this long (absent: no limit).
    std::optional<std::chrono::milliseconds> time;
    // Read keys from standard input.
    bool keys = true;
    // Playback speed from the start (rv_setPlaybackSpeed); [ and ] change it by kSpeedStep.
    float speed = 1.0f;
    // Crossfade at the automatic next item, ms (rv_setCrossfade); absent: the process's.
    std::optional<int> crossfade_ms = std::nullopt;
};

constexpr float kSpeedStep = 0.25f;

// Plays `id` until q, the end of the play list or a limit; 0 when it played.
// Throws rv::Error when the resource cannot be looked up.
int play(const Session &session, Resource resource, int64_t id, const PlayLimits &limits);

}  // namespace rvcli
