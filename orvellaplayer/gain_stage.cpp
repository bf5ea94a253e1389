#include "gain_stage.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace orv {

void GainStage::fade_in() {
    fade_.target = 1.0f;
    fade_.step = 1.0f / static_cast<float>(fade_frames_);
}

void GainStage::fade_out(int frames) {
    fade_.target = 0.0f;
    const int n = std::clamp(frames, 1, fade_frames_);
    // The last frame written lands on silence.
    fade_.step = fade_.now / static_cast<float>(n);
    if (frames <= 0) {
        fade_.now = 0.0f;
    }
}

void GainStage::set_volume(float left, float right, int ramp_ms) {
    const float frames = std::max(
        static_cast<float>(rate_) * static_cast<float>(std::max(ramp_ms, 0)) / 1000.0f, 1.0f);
    for (auto [volume, target] : {std::pair{&left_, left}, std::pair{&right_, right}}) {
        volume->target = target;
        volume->step = std::fabs(target - volume->now) / frames;
        if (ramp_ms <= 0) {
            volume->now = target;
        }
    }
}

const std::int16_t *GainStage::apply(const std::int16_t *frames, int count, int channels,
                                     std::vector<std::int16_t> &scratch) {
    if (fade_.now == 1.0f && fade_.target == 1.0f && left_.now == 1.0f && left_.target == 1.0f &&
        right_.now == 1.0f && right_.target == 1.0f) {
        return frames;
    }
    scratch.resize(static_cast<std::size_t>(count) * channels);
    for (int f = 0; f < count; ++f) {
        fade_.move();
        left_.move();
        right_.move();
        for (int c = 0; c < channels; ++c) {
            const std::size_t i = static_cast<std::size_t>(f) * channels + c;
            const float gain = fade_.now * (channels == 2 && c == 1 ? right_.now : left_.now);
            const float s = std::round(static_cast<float>(frames[i]) * gain);
            scratch[i] = static_cast<std::int16_t>(std::clamp(s, -32768.0f, 32767.0f));
        }
    }
    return scratch.data();
}

}  // namespace orv
