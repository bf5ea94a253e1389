#include "media_input.h"

#include <algorithm>
#include <string_view>

#include "orvellaplayer.h"

namespace orv {
namespace {

constexpr int kMaxBadPackets = 50;
constexpr const char *kUserAgent = "orvellaplayer/0.1";

bool rate_ok(int rate) {
    return rate >= 4000 && rate <= 48000;
}

}  // namespace

MediaInput::MediaInput(int (*interrupt)(void *), void *opaque) : interrupt_{interrupt, opaque} {}

MediaInput::~MediaInput() = default;

int MediaInput::open(const InputOptions &options, int *av_error) {
    url_ = options.url;
    AVFormatContext *raw = avformat_alloc_context();
    if (raw == nullptr) {
        *av_error = AVERROR(ENOMEM);
        return ORV_ERROR_OPEN;
    }
    raw->interrupt_callback = interrupt_;
    // Live streams are sent in real time: probing must not wait for seconds of them.
    raw->probesize = 32 * 1024;
    raw->max_analyze_duration = AV_TIME_BASE / 2;

    AVDictionary *opts = nullptr;
    av_dict_set(&opts, "user_agent", kUserAgent, 0);
    // Dropped connections are picked up again where they broke off (with Range on files).
    av_dict_set(&opts, "reconnect", "1", 0);
    av_dict_set(&opts, "reconnect_streamed", "1", 0);
    av_dict_set(&opts, "reconnect_on_network_error", "1", 0);
    av_dict_set(&opts, "reconnect_delay_max", "2", 0);
    av_dict_set(&opts, "rw_timeout", "10000000", 0);  // a silent server counts as a drop
    if (!options.proxy.empty()) {
        av_dict_set(&opts, "http_proxy", options.proxy.c_str(), 0);
    }
    if (!options.host_header.empty()) {
        av_dict_set(&opts, "headers", options.host_header.c_str(), 0);
    }
    int rc = avformat_open_input(&raw, url_.c_str(), nullptr, &opts);
    av_dict_free(&opts);
    if (rc < 0) {  // avformat_open_input freed the context
        *av_error = rc;
        return ORV_ERROR_OPEN;
    }
    fmt_.reset(raw);
    rc = avformat_find_stream_info(fmt_.get(), nullptr);
    if (rc < 0) {
        *av_error = rc;
        return ORV_ERROR_OPEN;
    }
    return open_decoder(av_error);
}

int MediaInput::open_decoder(int *av_error) {
    const AVCodec *decoder = nullptr;
    stream_ = av_find_best_stream(fmt_.get(), AVMEDIA_TYPE_AUDIO, -1, -1, &decoder, 0);
    if (stream_ < 0 || decoder == nullptr) {
        *av_error = stream_ < 0 ? stream_ : AVERROR_DECODER_NOT_FOUND;
        return ORV_ERROR_NO_AUDIO;
    }
    for (unsigned i = 0; i < fmt_->nb_streams; ++i) {
        fmt_->streams[i]->discard =
            static_cast<int>(i) == stream_ ? AVDISCARD_DEFAULT : AVDISCARD_ALL;
    }
    dec_.reset(avcodec_alloc_context3(decoder));
    frame_.reset(av_frame_alloc());
    pkt_.reset(av_packet_alloc());
    if (!dec_ || !frame_ || !pkt_) {
        *av_error = AVERROR(ENOMEM);
        return ORV_ERROR_NO_AUDIO;
    }
    int rc = avcodec_parameters_to_context(dec_.get(), fmt_->streams[stream_]->codecpar);
    if (rc >= 0) {
        dec_->pkt_timebase = fmt_->streams[stream_]->time_base;
        rc = avcodec_open2(dec_.get(), decoder, nullptr);
    }
    if (rc < 0 || dec_->sample_rate <= 0 || dec_->ch_layout.nb_channels <= 0) {
        *av_error = rc < 0 ? rc : AVERROR_INVALIDDATA;
        return ORV_ERROR_NO_AUDIO;
    }
    out_rate_ = rate_ok(dec_->sample_rate) ? dec_->sample_rate : 48000;
    out_channels_ = dec_->ch_layout.nb_channels >= 2 ? 2 : 1;
    if (!make_resampler()) {
        *av_error = AVERROR(ENOMEM);
        return ORV_ERROR_NO_AUDIO;
    }
    return 0;
}

bool MediaInput::make_resampler() {
    AVChannelLayout out_layout{};
    av_channel_layout_default(&out_layout, out_channels_);
    SwrContext *raw = nullptr;
    int rc = swr_alloc_set_opts2(&raw, &out_layout, AV_SAMPLE_FMT_S16, out_rate_, &dec_->ch_layout,
                                 dec_->sample_fmt, dec_->sample_rate, 0, nullptr);
    av_channel_layout_uninit(&out_layout);
    swr_.reset(raw);
    return rc >= 0 && swr_init(swr_.get()) >= 0;
}

void MediaInput::convert(const AVFrame *frame, std::vector<std::int16_t> &out) {
    if (frame != nullptr &&
        (frame->format != dec_->sample_fmt || frame->sample_rate != dec_->sample_rate)) {
        return;  // a mid-stream format change; such frames are skipped
    }
    const int in = frame != nullptr ? frame->nb_samples : 0;
    const int room = swr_get_out_samples(swr_.get(), in);
    if (room <= 0) {
        return;
    }
    const std::size_t at = out.size();
    out.resize(at + static_cast<std::size_t>(room) * out_channels_);
    auto *dst = reinterpret_cast<std::uint8_t *>(out.data() + at);
    const int got = swr_convert(
        swr_.get(), &dst, room,
        frame != nullptr ? const_cast<const std::uint8_t **>(frame->extended_data) : nullptr, in);
    out.resize(at + static_cast<std::size_t>(got > 0 ? got : 0) * out_channels_);
    if (skip_until_ < 0 || frame == nullptr) {
        return;
    }
    // After a seek: drop what lies before the target, judged by the frame's time stamp.
    const AVRational tb = fmt_->streams[stream_]->time_base;
    const std::int64_t ts = frame->best_effort_timestamp;
    if (ts == AV_NOPTS_VALUE) {
        skip_until_ = -1;
        return;
    }
    const std::int64_t start = av_rescale_q(ts, tb, AVRational{1, out_rate_});
    const std::int64_t frames = static_cast<std::int64_t>(out.size() - at) / out_channels_;
    const std::int64_t drop = std::clamp<std::int64_t>(skip_until_ - start, 0, frames);
    out.erase(out.begin() + static_cast<std::ptrdiff_t>(at),
              out.begin() + static_cast<std::ptrdiff_t>(at + drop * out_channels_));
    if (drop < frames) {
        skip_until_ = -1;
    }
}

void MediaInput::drain_decoder(std::vector<std::int16_t> &out) {
    while (avcodec_receive_frame(dec_.get(), frame_.get()) >= 0) {
        convert(frame_.get(), out);
        av_frame_unref(frame_.get());
    }
}

MediaInput::Read MediaInput::read(std::vector<std::int16_t> &out, int *detail, int *av_error) {
    const std::size_t before = out.size();
    while (out.size() == before) {
        if (eof_) {
            return Read::End;
        }
        const int rc = av_read_frame(fmt_.get(), pkt_.get());
        if (rc == AVERROR_EOF) {
            eof_ = true;
            avcodec_send_packet(dec_.get(), nullptr);
            drain_decoder(out);
            convert(nullptr, out);
            continue;
        }
        if (rc < 0) {
            *detail = ORV_ERROR_NETWORK;
            *av_error = rc;
            return Read::Failed;
        }
        if (pkt_->stream_index == stream_) {
            if (avcodec_send_packet(dec_.get(), pkt_.get()) < 0) {
                // Damaged packets are skipped until too many come in a row.
                if (++bad_packets_ > kMaxBadPackets) {
                    av_packet_unref(pkt_.get());
                    *detail = ORV_ERROR_DECODE;
                    *av_error = AVERROR_INVALIDDATA;
                    return Read::Failed;
                }
            } else {
                bad_packets_ = 0;
                drain_decoder(out);
            }
        }
        av_packet_unref(pkt_.get());
    }
    return Read::Data;
}

bool MediaInput::seek(std::int64_t ms) {
    if (!seekable()) {
        return false;
    }
    const AVRational tb = fmt_->streams[stream_]->time_base;
    const std::int64_t ts = av_rescale_q(ms, AVRational{1, 1000}, tb);
    if (av_seek_frame(fmt_.get(), stream_, ts, AVSEEK_FLAG_BACKWARD) < 0 &&
        av_seek_frame(fmt_.get(), stream_, ts, AVSEEK_FLAG_ANY) < 0) {
        return false;
    }
    avcodec_flush_buffers(dec_.get());
    make_resampler();
    eof_ = false;
    skip_until_ = av_rescale(ms, out_rate_, 1000);
    return true;
}

std::int64_t MediaInput::duration_ms() const {
    if (fmt_ && fmt_->duration != AV_NOPTS_VALUE && fmt_->duration > 0) {
        return av_rescale(fmt_->duration, 1000, AV_TIME_BASE);
    }
    return -1;
}

bool MediaInput::seekable() const {
    if (!fmt_) {
        return false;
    }
    // Byte-seekable input, or a demuxer of its own (HLS) that knows the length.
    return (fmt_->pb != nullptr && (fmt_->pb->seekable & AVIO_SEEKABLE_NORMAL) != 0) ||
           (std::string_view(fmt_->iformat->name) == "hls" && duration_ms() > 0);
}

bool MediaInput::is_network() const {
    return url_.find("://") != std::string::npos && url_.rfind("file:", 0) != 0;
}

std::int64_t MediaInput::bytes_fetched() const {
    return fmt_ && fmt_->pb != nullptr ? std::max<std::int64_t>(fmt_->pb->pos, 0) : 0;
}

std::int64_t MediaInput::size_bytes() const {
    if (!fmt_ || fmt_->pb == nullptr) {
        return -1;
    }
    const std::int64_t size = avio_size(fmt_->pb);
    return size > 0 ? size : -1;
}

}  // namespace orv
