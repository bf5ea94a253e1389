// Owners of the FFmpeg handles used by rv_tone, and its error helper.
#ifndef RV_TONE_FF_H
#define RV_TONE_FF_H

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswresample/swresample.h>
}

#include <memory>
#include <stdexcept>
#include <string>

namespace rvtone::detail {

struct CodecCtxFree {
    void operator()(AVCodecContext *c) const { avcodec_free_context(&c); }
};
struct FrameFree {
    void operator()(AVFrame *f) const { av_frame_free(&f); }
};
struct PacketFree {
    void operator()(AVPacket *p) const { av_packet_free(&p); }
};
struct SwrFree {
    void operator()(SwrContext *s) const { swr_free(&s); }
};
using CodecCtxPtr = std::unique_ptr<AVCodecContext, CodecCtxFree>;
using FramePtr = std::unique_ptr<AVFrame, FrameFree>;
using PacketPtr = std::unique_ptr<AVPacket, PacketFree>;
using SwrPtr = std::unique_ptr<SwrContext, SwrFree>;

inline void check(int rc, const char *what) {
    if (rc < 0) {
        char text[AV_ERROR_MAX_STRING_SIZE] = {};
        av_strerror(rc, text, sizeof text);
        throw std::runtime_error(std::string("rv_tone: ") + what + ": " + text);
    }
}

template <typename T>
T *need(T *p, const char *what) {
    if (p == nullptr) {
        throw std::runtime_error(std::string("rv_tone: ") + what);
    }
    return p;
}

}  // namespace rvtone::detail

#endif
