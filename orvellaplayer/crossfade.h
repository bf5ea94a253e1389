// The equal-power mix of an item's last audio with the next item's first.
#ifndef ORV_CROSSFADE_H
#define ORV_CROSSFADE_H

#include <cstdint>

namespace orv {

// Mixes `frames` interleaved frames of `head` into `tail` in place: `tail` falls with a
// cosine and `head` rises with a sine over the span, so two unrelated sounds keep their
// summed power. Any thread; touches only the buffers given.
void crossfade(std::int16_t *tail, const std::int16_t *head, int frames, int channels);

}  // namespace orv

#endif
