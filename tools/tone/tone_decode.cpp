// Media (memory or file) -> interleaved s16 PCM at the stream's own rate and channel count.
#include <cstdio>
#include <cstring>
#include <fstream>

#include "tone.h"
#include "tone_ff.h"

namespace rvtone {
namespace {

using namespace detail;

struct MemoryReader {
    std::span<const std::uint8_t> bytes;
    std::size_t pos = 0;

    static int read(void *opaque, std::uint8_t *buf, int size) {
        auto *self = static_cast<MemoryReader *>(opaque);
        const std::size_t n = std::min<std::size_t>(size, self->bytes.size() - self->pos);
        if (n == 0) {
            return AVERROR_EOF;
        }
        std::memcpy(buf, self->bytes.data() + self->pos, n);
        self->pos += n;
        return static_cast<int>(n);
    }
};

struct AvioFree {
    void operator()(AVIOContext *io) const {
        av_freep(&io->buffer);
        avio_context_free(&io);
    }
};
struct InputClose {
    void operator()(AVFormatContext *c) const { avformat_close_input(&c); }
};
using AvioPtr = std::unique_ptr<AVIOContext, AvioFree>;
using InputPtr = std::unique_ptr<AVFormatContext, InputClose>;

void append(Pcm &out, SwrContext *swr, const AVFrame *frame) {
    const int room = swr_get_out_samples(swr, frame != nullptr ? frame->nb_samples : 0);
    if (room <= 0) {
        return;
    }
    const std::size_t at = out.samples.size();
    out.samples.resize(at + static_cast<std::size_t>(room) * out.channels);
    std::uint8_t *dst = reinterpret_cast<std::uint8_t *>(out.samples.data() + at);
    const int got = swr_convert(
        swr, &dst, room,
        frame != nullptr ? const_cast<const std::uint8_t **>(frame->extended_data) : nullptr,
        frame != nullptr ? frame->nb_samples : 0);
    check(got, "resample");
    out.samples.resize(at + static_cast<std::size_t>(got) * out.channels);
}

Pcm decode_input(AVFormatContext *fmt) {
    check(avformat_find_stream_info(fmt, nullptr), "stream info");
    const AVCodec *decoder = nullptr;
    const int index = av_find_best_stream(fmt, AVMEDIA_TYPE_AUDIO, -1, -1, &decoder, 0);
    check(index, "no audio stream");
    CodecCtxPtr dec(need(avcodec_alloc_context3(decoder), "decoder context"));
    check(avcodec_parameters_to_context(dec.get(), fmt->streams[index]->codecpar), "parameters");
    check(avcodec_open2(dec.get(), decoder, nullptr), "open decoder");

    Pcm out;
    out.sample_rate = dec->sample_rate;
    out.channels = dec->ch_layout.nb_channels;
    SwrContext *raw = nullptr;
    check(swr_alloc_set_opts2(&raw, &dec->ch_layout, AV_SAMPLE_FMT_S16, dec->sample_rate,
                              &dec->ch_layout, dec->sample_fmt, dec->sample_rate, 0, nullptr),
          "resampler");
    SwrPtr swr(raw);
    check(swr_init(swr.get()), "resampler init");

    PacketPtr pkt(need(av_packet_alloc(), "packet"));
    FramePtr frame(need(av_frame_alloc(), "frame"));
    auto drain = [&] {
        while (avcodec_receive_frame(dec.get(), frame.get()) >= 0) {
            append(out, swr.get(), frame.get());
            av_frame_unref(frame.get());
        }
    };
    while (av_read_frame(fmt, pkt.get()) >= 0) {
        if (pkt->stream_index == index) {
            // A damaged packet is skipped, as a player would.
            if (avcodec_send_packet(dec.get(), pkt.get()) >= 0) {
                drain();
            }
        }
        av_packet_unref(pkt.get());
    }
    avcodec_send_packet(dec.get(), nullptr);
    drain();
    append(out, swr.get(), nullptr);
    return out;
}

}  // namespace

std::vector<std::int16_t> Pcm::mono() const {
    std::vector<std::int16_t> m(frames());
    for (std::size_t i = 0; i < m.size(); ++i) {
        m[i] = samples[i * channels];
    }
    return m;
}

Pcm decode(std::span<const std::uint8_t> bytes) {
    MemoryReader reader{bytes};
    constexpr int kBufSize = 4096;
    auto *buf = static_cast<std::uint8_t *>(need(av_malloc(kBufSize), "avio buffer"));
    AVIOContext *io_raw =
        avio_alloc_context(buf, kBufSize, 0, &reader, &MemoryReader::read, nullptr, nullptr);
    if (io_raw == nullptr) {
        av_free(buf);
        throw std::runtime_error("rv_tone: avio context");
    }
    AvioPtr io(io_raw);
    AVFormatContext *fmt = need(avformat_alloc_context(), "format context");
    fmt->pb = io.get();
    fmt->flags |= AVFMT_FLAG_CUSTOM_IO;
    check(avformat_open_input(&fmt, nullptr, nullptr, nullptr), "open memory input");
    InputPtr input(fmt);
    return decode_input(input.get());
}

Pcm decode_file(const std::string &path) {
    AVFormatContext *fmt = nullptr;
    check(avformat_open_input(&fmt, path.c_str(), nullptr, nullptr), "open file");
    InputPtr input(fmt);
    return decode_input(input.get());
}

Pcm read_raw_s16(const std::string &path, int sample_rate, int channels) {
    Pcm out;
    out.sample_rate = sample_rate;
    out.channels = channels;
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return out;  // nothing captured yet
    }
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::size_t frames = bytes.size() / (2 * static_cast<std::size_t>(channels));
    out.samples.resize(frames * channels);
    std::memcpy(out.samples.data(), bytes.data(), out.samples.size() * 2);
    return out;
}

}  // namespace rvtone
