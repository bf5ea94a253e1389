// Sine tone -> AAC (ADTS) or MP3 bytes, muxed into a growing memory buffer.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>
#include <string>
#include <string_view>

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

// Adds the packets' durations (in the encoder's time base) to `coded`.
void write_packets(AVCodecContext *enc, AVFormatContext *mux, AVStream *st, AVPacket *pkt,
                   std::int64_t &coded) {
    for (;;) {
        int rc = avcodec_receive_packet(enc, pkt);
        if (rc == AVERROR(EAGAIN) || rc == AVERROR_EOF) {
            return;
        }
        check(rc, "encode");
        coded += pkt->duration;
        av_packet_rescale_ts(pkt, enc->time_base, st->time_base);
        pkt->stream_index = st->index;
        check(av_interleaved_write_frame(mux, pkt), "write frame");
    }
}

std::uint32_t be32(const std::vector<std::uint8_t> &b, std::size_t at) {
    return static_cast<std::uint32_t>(b[at]) << 24 | static_cast<std::uint32_t>(b[at + 1]) << 16 |
           static_cast<std::uint32_t>(b[at + 2]) << 8 | b[at + 3];
}

std::string box(const char *type, const std::string &payload) {
    const auto size = static_cast<std::uint32_t>(payload.size() + 8);
    std::string out{static_cast<char>(size >> 24), static_cast<char>(size >> 16),
                    static_cast<char>(size >> 8), static_cast<char>(size)};
    return out + type + payload;
}

// Puts an iTunes "----" atom (com.apple.iTunes, `name`) into moov/udta/meta/ilst of an MP4
// whose moov is its last box, so that no chunk offset moves.
void add_itunes_tag(std::vector<std::uint8_t> &file, const char *name, const std::string &value) {
    const std::string zero(4, '\0');
    const std::string atom =
        box("----", box("mean", zero + "com.apple.iTunes") + box("name", zero + name) +
                        box("data", std::string{0, 0, 0, 1} + zero + value));  // type 1: UTF-8
    constexpr const char *kPath[] = {"moov", "udta", "meta", "ilst"};
    std::size_t boxes[4] = {};
    std::size_t from = 0;
    std::size_t to = file.size();
    for (int level = 0; level < 4; ++level) {
        std::size_t at = from;
        while (at + 8 <= to &&
               std::string_view(reinterpret_cast<const char *>(&file[at + 4]), 4) != kPath[level]) {
            at += std::max<std::uint32_t>(be32(file, at), 8);
        }
        if (at + 8 > to || at + be32(file, at) > to) {
            throw std::runtime_error("rv_tone: no moov/udta/meta/ilst to tag");
        }
        boxes[level] = at;
        to = at + be32(file, at);
        from = at + (level == 2 ? 12 : 8);  // meta is a full box
    }
    if (boxes[0] + be32(file, boxes[0]) != file.size()) {
        throw std::runtime_error("rv_tone: moov is not the last box");
    }
    file.insert(file.begin() + static_cast<std::ptrdiff_t>(to), atom.begin(), atom.end());
    for (std::size_t at : boxes) {
        const std::uint32_t size = be32(file, at) + static_cast<std::uint32_t>(atom.size());
        for (int i = 0; i < 4; ++i) {
            file[at + i] = static_cast<std::uint8_t>(size >> (24 - 8 * i));
        }
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
    const bool smpb = codec == Codec::Mp4Aac && tone.itunes_smpb;
    if (smpb) {
        av_dict_set(&opts, "use_editlist", "0", 0);
    }
    const int header_rc = avformat_write_header(mux.get(), &opts);
    av_dict_free(&opts);
    check(header_rc, "header");

    FramePtr frame(need(av_frame_alloc(), "frame"));
    PacketPtr pkt(need(av_packet_alloc(), "packet"));
    const int frame_size = enc->frame_size > 0 ? enc->frame_size : 1024;
    const auto total = static_cast<std::int64_t>(std::llround(tone.duration_s * tone.sample_rate));
    const double step = 2.0 * std::numbers::pi * tone.frequency_hz / tone.sample_rate;
    std::int64_t coded = 0;

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
        write_packets(enc.get(), mux.get(), st, pkt.get(), coded);
        done += left;
    }
    check(avcodec_send_frame(enc.get(), nullptr), "flush encoder");
    write_packets(enc.get(), mux.get(), st, pkt.get(), coded);
    check(av_write_trailer(mux.get()), "trailer");
    std::vector<std::uint8_t> bytes = mux.take_bytes();
    if (smpb) {
        const std::int64_t delay = enc->initial_padding;
        if (coded < delay + total) {
            throw std::runtime_error("rv_tone: packets without durations");
        }
        char value[128];
        snprintf(value, sizeof value,
                 " 00000000 %08llX %08llX %016llX 00000000 00000000 00000000 00000000 00000000 "
                 "00000000 00000000 00000000",
                 static_cast<unsigned long long>(delay),
                 static_cast<unsigned long long>(coded - delay - total),
                 static_cast<unsigned long long>(total));
        add_itunes_tag(bytes, "iTunSMPB", value);
    }
    return bytes;
}

}  // namespace rvtone
