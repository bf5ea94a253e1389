#include "tempo.h"

extern "C" {
#include <libavfilter/avfilter.h>
#include <libavfilter/buffersink.h>
#include <libavfilter/buffersrc.h>
#include <libavutil/channel_layout.h>
#include <libavutil/frame.h>
#include <libavutil/opt.h>
}

#include <cstdio>
#include <cstring>

#include "log.h"

namespace orv {

void Tempo::GraphFree::operator()(AVFilterGraph *g) const {
    avfilter_graph_free(&g);
}

void Tempo::FrameFree::operator()(AVFrame *f) const {
    av_frame_free(&f);
}

Tempo::Tempo(int rate, int channels) : rate_(rate), channels_(channels), frame_(av_frame_alloc()) {}

Tempo::~Tempo() = default;

bool Tempo::set_speed(float speed, std::vector<std::int16_t> &out) {
    if (speed == speed_) {
        return true;
    }
    if (speed == 1.0f) {
        drain(out);
        graph_.reset();
        speed_ = speed;
        return true;
    }
    if (graph_) {
        char value[32];
        std::snprintf(value, sizeof value, "%.4f", static_cast<double>(speed));
        if (avfilter_graph_send_command(graph_.get(), "tempo", "tempo", value, nullptr, 0, 0) < 0) {
            return false;
        }
        speed_ = speed;
        return true;
    }
    if (!build(speed)) {
        return false;
    }
    speed_ = speed;
    return true;
}

// abuffer -> atempo -> abuffersink, all in the output's own format, so nothing is converted.
bool Tempo::build(float speed) {
    std::unique_ptr<AVFilterGraph, GraphFree> graph(avfilter_graph_alloc());
    if (!graph || !frame_) {
        return false;
    }
    char args[160];
    std::snprintf(args, sizeof args,
                  "sample_rate=%d:sample_fmt=s16:channel_layout=%s:time_base=1/%d", rate_,
                  channels_ == 1 ? "mono" : "stereo", rate_);
    char tempo_args[32];
    std::snprintf(tempo_args, sizeof tempo_args, "tempo=%.4f", static_cast<double>(speed));
    AVFilterContext *source = nullptr;
    AVFilterContext *tempo = nullptr;
    AVFilterContext *sink = nullptr;
    const AVSampleFormat formats[] = {AV_SAMPLE_FMT_S16, AV_SAMPLE_FMT_NONE};
    if (avfilter_graph_create_filter(&source, avfilter_get_by_name("abuffer"), "in", args, nullptr,
                                     graph.get()) < 0 ||
        avfilter_graph_create_filter(&tempo, avfilter_get_by_name("atempo"), "tempo", tempo_args,
                                     nullptr, graph.get()) < 0 ||
        avfilter_graph_create_filter(&sink, avfilter_get_by_name("abuffersink"), "out", nullptr,
                                     nullptr, graph.get()) < 0 ||
        av_opt_set_int_list(sink, "sample_fmts", formats, AV_SAMPLE_FMT_NONE,
                            AV_OPT_SEARCH_CHILDREN) < 0 ||
        avfilter_link(source, 0, tempo, 0) < 0 || avfilter_link(tempo, 0, sink, 0) < 0 ||
        avfilter_graph_config(graph.get(), nullptr) < 0) {
        warn("cannot set up the speed filter (%d Hz, %d channels)", rate_, channels_);
        return false;
    }
    graph_ = std::move(graph);
    source_ = source;
    sink_ = sink;
    pts_ = 0;
    return true;
}

void Tempo::process(const std::int16_t *pcm, int frames, std::vector<std::int16_t> &out) {
    AVFrame *f = frame_.get();
    av_frame_unref(f);
    f->format = AV_SAMPLE_FMT_S16;
    f->sample_rate = rate_;
    f->nb_samples = frames;
    av_channel_layout_default(&f->ch_layout, channels_);
    f->pts = pts_;
    if (av_frame_get_buffer(f, 0) < 0) {
        return;
    }
    std::memcpy(f->data[0], pcm,
                sizeof(std::int16_t) * static_cast<std::size_t>(frames) * channels_);
    pts_ += frames;
    if (av_buffersrc_add_frame(source_, f) >= 0) {
        pull(out);
    }
}

void Tempo::drain(std::vector<std::int16_t> &out) {
    if (graph_ && av_buffersrc_add_frame(source_, nullptr) >= 0) {
        pull(out);
    }
}

void Tempo::clear() {
    if (graph_) {
        graph_.reset();
        if (!build(speed_)) {
            speed_ = 1.0f;
        }
    }
}

void Tempo::pull(std::vector<std::int16_t> &out) {
    AVFrame *f = frame_.get();
    for (;;) {
        av_frame_unref(f);
        if (av_buffersink_get_frame(sink_, f) < 0) {
            return;
        }
        const auto *samples = reinterpret_cast<const std::int16_t *>(f->data[0]);
        out.insert(out.end(), samples,
                   samples + static_cast<std::size_t>(f->nb_samples) * channels_);
    }
}

}  // namespace orv
