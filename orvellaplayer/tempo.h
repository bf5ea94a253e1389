// Playback speed with the pitch kept: FFmpeg's atempo over s16 interleaved PCM.
#ifndef ORV_TEMPO_H
#define ORV_TEMPO_H

#include <cstdint>
#include <memory>
#include <vector>

struct AVFilterGraph;
struct AVFilterContext;
struct AVFrame;

namespace orv {

class Tempo {
  public:
    Tempo(int rate, int channels);
    ~Tempo();
    Tempo(const Tempo &) = delete;
    Tempo &operator=(const Tempo &) = delete;

    // At 1.0 PCM passes untouched (no filter, no delay). Entering or leaving 1.0 drains the
    // filter into `out`, so nothing pushed is lost; between other speeds the filter keeps its
    // state. False when the filter cannot be made (the speed stays as it was).
    bool set_speed(float speed, std::vector<std::int16_t> &out);
    float speed() const { return speed_; }
    bool passthrough() const { return graph_ == nullptr; }

    // Appends to `out` what `frames` of PCM become at the speed (none yet while the filter
    // fills its window). Only when !passthrough().
    void process(const std::int16_t *pcm, int frames, std::vector<std::int16_t> &out);
    // End of input: appends what the filter still holds.
    void drain(std::vector<std::int16_t> &out);
    // Forgets what the filter holds (a seek): the next PCM starts afresh.
    void clear();

  private:
    struct GraphFree {
        void operator()(AVFilterGraph *g) const;
    };
    struct FrameFree {
        void operator()(AVFrame *f) const;
    };

    bool build(float speed);
    void pull(std::vector<std::int16_t> &out);

    int rate_;
    int channels_;
    float speed_ = 1.0f;
    std::int64_t pts_ = 0;
    std::unique_ptr<AVFilterGraph, GraphFree> graph_;
    AVFilterContext *source_ = nullptr;  // owned by graph_
    AVFilterContext *sink_ = nullptr;
    std::unique_ptr<AVFrame, FrameFree> frame_;
};

}  // namespace orv

#endif
