// Real-time accounting of the frames handed to the output.
#ifndef ORV_PACE_CLOCK_H
#define ORV_PACE_CLOCK_H

#include <algorithm>
#include <chrono>
#include <cstdint>

namespace orv {

// Frames count as played as wall time passes while the clock runs, never beyond what was
// written. When the writer falls behind (the output ran dry), the next write starts a new
// anchor, so time spent starved is not counted as played.
class PaceClock {
  public:
    using Clock = std::chrono::steady_clock;
    using us = std::chrono::microseconds;

    explicit PaceClock(int rate = 1) : rate_(rate) {}

    void restart(Clock::time_point now) {
        written_ = 0;
        anchor_frames_ = 0;
        anchor_ = now;
    }
    void pause(Clock::time_point now) {
        if (running_) {
            anchor_frames_ = played(now);
            running_ = false;
        }
    }
    void resume(Clock::time_point now) {
        if (!running_) {
            anchor_ = now;
            running_ = true;
        }
    }
    bool running() const { return running_; }

    std::int64_t played(Clock::time_point now) const {
        if (!running_) {
            return anchor_frames_;
        }
        const auto elapsed = std::chrono::duration_cast<us>(now - anchor_).count();
        return std::min(written_, anchor_frames_ + elapsed * rate_ / 1'000'000);
    }

    void wrote(Clock::time_point now, std::int64_t frames) {
        if (running_ && played(now) >= written_) {
            anchor_frames_ = written_;
            anchor_ = now;
        }
        written_ += frames;
    }

    // Frames written but not yet played.
    std::int64_t ahead(Clock::time_point now) const { return written_ - played(now); }

    // How long until `frames` more may be written without running more than
    // `margin_frames` ahead.
    us until_room(Clock::time_point now, std::int64_t frames, std::int64_t margin_frames) const {
        const std::int64_t excess = written_ - played(now) + frames - margin_frames;
        return us(excess <= 0 ? 0 : excess * 1'000'000 / rate_ + 1);
    }

    // How long the output has had nothing left to play (0 while it still has).
    us dry_for(Clock::time_point now) const {
        if (!running_ || written_ == 0) {
            return us(0);
        }
        const auto due = anchor_ + us((written_ - anchor_frames_) * 1'000'000 / rate_);
        return now > due ? std::chrono::duration_cast<us>(now - due) : us(0);
    }

  private:
    int rate_;
    std::int64_t written_ = 0;
    std::int64_t anchor_frames_ = 0;  // frames played at anchor_
    Clock::time_point anchor_{};
    bool running_ = false;
};

}  // namespace orv

#endif
