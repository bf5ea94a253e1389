// The one place where output samples are scaled: the user's volume times the fade ramp.
#ifndef ORV_GAIN_STAGE_H
#define ORV_GAIN_STAGE_H

#include <algorithm>
#include <cstdint>
#include <vector>

#include "orvellaplayer.h"

namespace orv {

// ORV_FADE_MS: long enough that no edge is heard as a click, short enough not to be heard
// as a fade.
constexpr int kFadeMs = ORV_FADE_MS;

class GainStage {
  public:
    explicit GainStage(int rate)
        : rate_(std::max(rate, 1)), fade_frames_(std::max(rate * kFadeMs / 1000, 1)) {}

    int fade_frames() const { return fade_frames_; }
    // Ramps from silence up to full over the fade length, from the next frame on.
    void fade_in();
    // Ramps down to silence over `frames` (at most the fade length); silent from then on.
    void fade_out(int frames);
    // Nothing more is heard until fade_in.
    bool silent() const { return fade_.now == 0.0f && fade_.target == 0.0f; }

    // The user's volume from now on: reached over `ramp_ms` (0: at once).
    void set_volume(float left, float right, int ramp_ms);

    // The frames scaled by volume and ramp: `frames` itself when both are 1, else `scratch`.
    const std::int16_t *apply(const std::int16_t *frames, int count, int channels,
                              std::vector<std::int16_t> &scratch);

  private:
    // A gain on its way to `target`, `step` per frame: the fade, and each channel's volume.
    struct Ramp {
        float now = 1.0f;
        float target = 1.0f;
        float step = 0.0f;
        void move() {
            now = now < target ? std::min(now + step, target) : std::max(now - step, target);
        }
    };

    int rate_;
    int fade_frames_;
    Ramp left_;
    Ramp right_;
    Ramp fade_{0.0f, 0.0f, 0.0f};  // the first audio fades in
};

}  // namespace orv

#endif
