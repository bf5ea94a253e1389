#include "crossfade.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <numbers>

namespace orv {

void crossfade(std::int16_t *tail, const std::int16_t *head, int frames, int channels) {
    for (int i = 0; i < frames; ++i) {
        // Sampled at the middle of each frame: neither end of the span is heard twice.
        const double angle = std::numbers::pi / 2 * (i + 0.5) / frames;
        const double out = std::cos(angle);
        const double in = std::sin(angle);
        for (int c = 0; c < channels; ++c) {
            const std::size_t at = static_cast<std::size_t>(i) * channels + c;
            // Two loud in-phase sounds sum past the sample range in the middle.
            const long mixed = std::lround(out * tail[at] + in * head[at]);
            tail[at] = static_cast<std::int16_t>(std::clamp(mixed, -32768L, 32767L));
        }
    }
}

}  // namespace orv
