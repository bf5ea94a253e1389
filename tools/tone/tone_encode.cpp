// Sine tone -> AAC (ADTS) or MP3 bytes, muxed into a growing memory buffer.
#include <algorithm>
#include <cmath>
#include <numbers>

#include "tone.h"
#include "tone_ff.h"

namespace rvtone {
namespace {

using namespace detail;

// Output context writing into memory it can seek in, so muxers that go back to fill in a
// header (MP3's Xing frame, MP4's sizes and edit list) can.
class MemoryMuxer {
  public:
    explicit MemoryMuxer(const char *format) {
        check(avformat_alloc_output_context2(&ctx_, nullptr, format, nullptr), "muxer");
        constexpr int kBufferSize = 4096;
        auto *buffer = static_cast<unsigned char *>(need(av_malloc(kBufferSize), "buffer"));
        ctx_->pb = avio_alloc_context(buffer, kBufferSize, 1, this, nullptr, &MemoryMuxer::write,
                                      &MemoryMuxer::seek);
        if (ctx_->pb == nullptr) {
            av_free(buffer);
            avformat_free_context(ctx_);
            throw std::runtime_error("rv_tone: memory output");
        }
    }
    ~MemoryMuxer() {
        av_freep(&ctx_->pb->buffer);
        avio_context_free(&ctx_->pb);
        avformat_free_context(ctx_);
    }
    MemoryMuxer(const MemoryMuxer &) = delete;
    MemoryMuxer &operator=(const MemoryMuxer &) = delete;

    AVFormatContext *get() const { return ctx_; }

    std::vector<std::uint8_t> take_bytes() {
        avio_flush(ctx_->pb);
        return std::move(bytes_);
    }

  private:
    static int write(void *opaque, std::uint8_t *data, int size) {
        auto *self = static_cast<MemoryMuxer *>(opaque);
        const auto end = self->at_ + static_cast<std::size_t>(size);
        if (self->bytes_.size() < end) {
            self->bytes_.resize(end);
        }
        std::copy(data, data + size, self->bytes_.begin() + static_cast<std::ptrdiff_t>(self->at_));
        self->at_ = end;
        return size;
    }
    static std::int64_t seek(void *opaque, std::int64_t offset, int whence) {
        auto *self = static_cast<MemoryMuxer *>(opaque);
        const auto size = static_cast<std::int64_t>(self->bytes_.size());
        if (whence == AVSEEK_SIZE) {
            return size;
        }
        const std::int64_t base = whence == SEEK_CUR   ? static_cast<std::int64_t>(self->at_)
                                  : whence == SEEK_END ? size
                                                       : 0;
        if (base + offset < 0) {
            return AVERROR(EINVAL);
        }
        self->at_ = static_cast<std::size_t>(base + offset);
        return base + offset;
    }

    AVFormatContext *ctx_ = nullptr;
    std::vector<std::uint8_t> bytes_;
    std::size_t at_ = 0;
};

void write_packets(AVCodecContext *enc, AVFormatContext *mux, AVStream *st, AVPacket *pkt) {
    for (;;) {
        int rc = avcodec_receive_packet(enc, pkt);
        if (rc == AVERROR(EAGAIN) || rc == AVERROR_EOF) {
            return;
        }
        check(rc, "encode");
        av_packet_rescale_ts(pkt, enc->time_base, st->time_base);
        pkt->stream_index = st->index;
        check(av_interleaved_write_frame(mux, pkt), "write frame");
    }
}

}  // namespace

double frequency_for_audio_id(std::int64_t audio_id) {
    std::int64_t slot = audio_id % 40;
    if (slot < 0) {
        slot += 40;
    }
    return 300.0 + static_cast<double>(slot) * 50.0;
}

const char *mime_type(Codec codec) {
    switch (codec) {
        case Codec::Aac:
            return "audio/aac";
        case Codec::Mp3:
            return "audio/mpeg";
        case Codec::Mp4Aac:
            return "audio/mp4";
    }
    return "application/octet-stream";
}

std::vector<std::uint8_t> encode_tone(Codec codec, const ToneSpec &tone) {
    if (tone.channels < 1 || tone.channels > 2 || tone.sample_rate <= 0 || tone.duration_s < 0) {
        throw std::runtime_error("rv_tone: bad tone settings");
    }
    const char *encoder_name = codec == Codec::Mp3 ? "libmp3lame" : "aac";
    const AVCodec *encoder = need(avcodec_find_encoder_by_name(encoder_name), "no encoder");
    MemoryMuxer mux(codec == Codec::Aac ? "adts" : codec == Codec::Mp3 ? "mp3" : "mp4");

    CodecCtxPtr enc(need(avcodec_alloc_context3(encoder), "encoder context"));
    enc->sample_fmt = AV_SAMPLE_FMT_FLTP;
    enc->sample_rate = tone.sample_rate;
    enc->bit_rate = tone.bitrate;
    enc->time_base = AVRational{1, tone.sample_rate};
    av_channel_layout_default(&enc->ch_layout, tone.channels);
    if (mux.get()->oformat->flags & AVFMT_GLOBALHEADER) {
        enc->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    }
    check(avcodec_open2(enc.get(), encoder, nullptr), "open encoder");

    AVStream *st = need(avformat_new_stream(mux.get(), nullptr), "stream");
    check(avcodec_parameters_from_context(st->codecpar, enc.get()), "stream parameters");
    st->time_base = enc->time_base;
    // Plain MP3 files carry no Xing frame, as many files in the wild.
    AVDictionary *opts = nullptr;
    if (codec == Codec::Mp3 && !tone.lame_header) {
        av_dict_set(&opts, "write_xing", "0", 0);
    }
    const int header_rc = avformat_write_header(mux.get(), &opts);
    av_dict_free(&opts);
    check(header_rc, "header");

    FramePtr frame(need(av_frame_alloc(), "frame"));
    PacketPtr pkt(need(av_packet_alloc(), "packet"));
    const int frame_size = enc->frame_size > 0 ? enc->frame_size : 1024;
    const auto total = static_cast<std::int64_t>(std::llround(tone.duration_s * tone.sample_rate));
    const double step = 2.0 * std::numbers::pi * tone.frequency_hz / tone.sample_rate;

    for (std::int64_t done = 0; done < total;) {
        const int left = static_cast<int>(std::min<std::int64_t>(frame_size, total - done));
        // Encoders without a short last frame get it padded with silence.
        const bool pad = (encoder->capabilities & AV_CODEC_CAP_SMALL_LAST_FRAME) == 0;
        const int n = pad ? frame_size : left;
        frame->nb_samples = n;
        frame->format = enc->sample_fmt;
        frame->sample_rate = enc->sample_rate;
        check(av_channel_layout_copy(&frame->ch_layout, &enc->ch_layout), "layout");
        check(av_frame_get_buffer(frame.get(), 0), "frame buffer");
        for (int i = 0; i < n; ++i) {
            const float v =
                i < left ? static_cast<float>(
                               tone.amplitude *
                               std::sin(step * static_cast<double>(tone.first_sample + done + i)))
                         : 0.0f;
            for (int c = 0; c < tone.channels; ++c) {
                reinterpret_cast<float *>(frame->data[c])[i] = v;
            }
        }
        frame->pts = done;
        check(avcodec_send_frame(enc.get(), frame.get()), "send frame");
        av_frame_unref(frame.get());
        write_packets(enc.get(), mux.get(), st, pkt.get());
        done += left;
    }
    check(avcodec_send_frame(enc.get(), nullptr), "flush encoder");
    write_packets(enc.get(), mux.get(), st, pkt.get());
    check(av_write_trailer(mux.get()), "trailer");
    return mux.take_bytes();
}

}  // namespace rvtone
