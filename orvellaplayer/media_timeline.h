// Which source frames the frames played out stand for: at a speed other than 1 they differ.
#ifndef ORV_MEDIA_TIMELINE_H
#define ORV_MEDIA_TIMELINE_H

#include <cstdint>
#include <deque>

namespace orv {

class MediaTimeline {
  public:
    void restart() {
        marks_.clear();
        base_ = {};
        end_ = {};
    }
    // `out` frames were written, made of `media` frames of the source.
    void wrote(std::int64_t out, std::int64_t media) {
        end_.out += out;
        end_.media += media;
        marks_.push_back(end_);
    }
    // Source frames behind the first `played` frames written (interpolated within a write).
    std::int64_t media_at(std::int64_t played) const {
        Mark prev = base_;
        for (const Mark &m : marks_) {
            if (m.out >= played) {
                return m.out == prev.out
                           ? m.media
                           : prev.media +
                                 (played - prev.out) * (m.media - prev.media) / (m.out - prev.out);
            }
            prev = m;
        }
        return end_.media;
    }
    // Source frames written so far.
    std::int64_t written_media() const { return end_.media; }
    // Drops what lies before `played` (it only grows until the next restart).
    void forget_before(std::int64_t played) {
        while (!marks_.empty() && marks_.front().out <= played) {
            base_ = marks_.front();
            marks_.pop_front();
        }
    }

  private:
    struct Mark {
        std::int64_t out = 0;
        std::int64_t media = 0;
    };
    std::deque<Mark> marks_;
    Mark base_;  // the last mark dropped
    Mark end_;   // everything written
};

}  // namespace orv

#endif
