// One opened source: demuxing, decoding and conversion to s16 interleaved PCM.
#ifndef ORV_MEDIA_INPUT_H
#define ORV_MEDIA_INPUT_H

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswresample/swresample.h>
}

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace orv {

struct InputOptions {
    std::string url;
    std::string proxy;        // "http://host:port" or empty
    std::string host_header;  // "Host: name\r\n" when the URL's host was resolved by us
};

class MediaInput {
  public:
    enum class Read { Data, End, Failed };

    // Interrupt callback polled by FFmpeg while it waits; non-zero aborts the wait.
    MediaInput(int (*interrupt)(void *), void *opaque);
    ~MediaInput();
    MediaInput(const MediaInput &) = delete;
    MediaInput &operator=(const MediaInput &) = delete;

    // 0, or an ORV_ERROR_* detail with the FFmpeg code in *av_error.
    int open(const InputOptions &options, int *av_error);

    // Appends decoded PCM to `out` (at least one frame when Data). Failed sets *av_error
    // and *detail (ORV_ERROR_DECODE or ORV_ERROR_NETWORK).
    Read read(std::vector<std::int16_t> &out, int *detail, int *av_error);

    // Repositions so that the next PCM starts at `ms`. False when the source cannot seek.
    bool seek(std::int64_t ms);

    int sample_rate() const { return out_rate_; }
    int channels() const { return out_channels_; }
    std::int64_t duration_ms() const;  // -1 when unknown
    bool seekable() const;
    bool is_network() const;
    // Bytes fetched from the source so far (up to the read position's buffer end) and its
    // size; the size is -1 when unknown (live and chunked streams).
    std::int64_t bytes_fetched() const;
    std::int64_t size_bytes() const;

  private:
    struct InputClose {
        void operator()(AVFormatContext *c) const { avformat_close_input(&c); }
    };
    struct CodecFree {
        void operator()(AVCodecContext *c) const { avcodec_free_context(&c); }
    };
    struct SwrFree {
        void operator()(SwrContext *s) const { swr_free(&s); }
    };
    struct FrameFree {
        void operator()(AVFrame *f) const { av_frame_free(&f); }
    };
    struct PacketFree {
        void operator()(AVPacket *p) const { av_packet_free(&p); }
    };

    int open_decoder(int *av_error);
    bool make_resampler();
    void convert(const AVFrame *frame, std::vector<std::int16_t> &out);
    void drain_decoder(std::vector<std::int16_t> &out);

    AVIOInterruptCB interrupt_;
    std::unique_ptr<AVFormatContext, InputClose> fmt_;
    std::unique_ptr<AVCodecContext, CodecFree> dec_;
    std::unique_ptr<SwrContext, SwrFree> swr_;
    std::unique_ptr<AVFrame, FrameFree> frame_;
    std::unique_ptr<AVPacket, PacketFree> pkt_;
    int stream_ = -1;
    int out_rate_ = 0;
    int out_channels_ = 0;
    bool eof_ = false;
    int bad_packets_ = 0;           // consecutive packets the decoder refused
    std::int64_t skip_until_ = -1;  // after a seek: output frames before this position dropped
    std::string url_;
};

}  // namespace orv

#endif
