#include "media_input.h"

#include <algorithm>
#include <cctype>
#include <string_view>
#include <utility>

extern "C" {
#include <libavutil/opt.h>
}

#include "log.h"
#include "orvellaplayer.h"

namespace orv {
namespace {

constexpr int kMaxBadPackets = 50;
constexpr const char *kUserAgent = "orvellaplayer/0.1";
// A live source arrives in real time: a probe must not wait for seconds of it.
constexpr int kLiveProbeBytes = 32 * 1024;

struct Named {
    std::string_view key;
    const char *demuxer;
};

constexpr Named kByContentType[] = {
    {"audio/mpeg", "mp3"},
    {"audio/mp3", "mp3"},
    {"audio/mpeg3", "mp3"},
    {"audio/x-mpeg", "mp3"},
    {"audio/aac", "aac"},
    {"audio/aacp", "aac"},
    {"audio/x-aac", "aac"},
    {"audio/ogg", "ogg"},
    {"application/ogg", "ogg"},
    {"audio/x-ogg", "ogg"},
    {"audio/opus", "ogg"},
    {"audio/x-mpegurl", "hls"},
    {"audio/mpegurl", "hls"},
    {"application/vnd.apple.mpegurl", "hls"},
    {"application/x-mpegurl", "hls"},
    {"audio/flac", "flac"},
    {"audio/x-flac", "flac"},
    {"audio/wav", "wav"},
    {"audio/x-wav", "wav"},
};

constexpr Named kByExtension[] = {
    {"mp3", "mp3"},  {"aac", "aac"},  {"ogg", "ogg"},   {"oga", "ogg"},
    {"opus", "ogg"}, {"m3u8", "hls"}, {"flac", "flac"}, {"wav", "wav"},
};

bool same_text(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

template <std::size_t N>
const AVInputFormat *lookup(const Named (&table)[N], std::string_view key) {
    for (const Named &row : table) {
        if (same_text(row.key, key)) {
            return av_find_input_format(row.demuxer);
        }
    }
    return nullptr;
}

std::string_view trimmed(std::string_view s) {
    const auto first = s.find_first_not_of(" \t");
    if (first == std::string_view::npos) {
        return {};
    }
    return s.substr(first, s.find_last_not_of(" \t") - first + 1);
}

// Beyond any real recording's rate: a header claiming more is damaged, and converting
// from it would take the resampler minutes to set up.
constexpr int kMaxInputRate = 384000;

bool rate_ok(int rate) {
    return rate >= 4000 && rate <= 48000;
}

}  // namespace

const AVInputFormat *demuxer_for(const char *content_type, const std::string &url) {
    if (content_type != nullptr) {
        const std::string_view type(content_type);
        if (const AVInputFormat *named =
                lookup(kByContentType, trimmed(type.substr(0, type.find(';'))))) {
            return named;
        }
    }
    std::string_view path(url);
    if (const auto scheme = path.find("://"); scheme != std::string_view::npos) {
        path.remove_prefix(scheme + 3);
        const auto slash = path.find('/');
        path = slash == std::string_view::npos ? std::string_view{} : path.substr(slash);
    }
    path = path.substr(0, path.find_first_of("?#"));
    const auto dot = path.rfind('.');
    if (dot == std::string_view::npos || path.find('/', dot) != std::string_view::npos) {
        return nullptr;
    }
    return lookup(kByExtension, path.substr(dot + 1));
}

MediaInput::MediaInput(int (*interrupt)(void *), void *opaque) : interrupt_{interrupt, opaque} {}

MediaInput::~MediaInput() {
    av_channel_layout_uninit(&in_layout_);
}

int MediaInput::open_request(AVFormatContext *s, AVIOContext **pb, const char *url, int flags,
                             AVDictionary **options) {
    const auto *self = static_cast<const MediaInput *>(s->opaque);
    AVDictionary *opts = nullptr;
    if (options != nullptr) {
        av_dict_copy(&opts, *options, 0);
    }
    // Ours last: a demuxer's options for its own requests never turn the checks off.
    av_dict_copy(&opts, self->request_options_.get(), 0);
    if (s->protocol_whitelist != nullptr) {
        av_dict_set(&opts, "protocol_whitelist", s->protocol_whitelist, 0);
    }
    const int rc = avio_open2(pb, url, flags, &s->interrupt_callback, &opts);
    av_dict_free(&opts);
    return rc;
}

int MediaInput::refuse_request(AVFormatContext *, AVIOContext **, const char *, int,
                               AVDictionary **) {
    return AVERROR(EPERM);
}

int MediaInput::open(const InputOptions &options, int *av_error) {
    url_ = options.url;
    caller_io_ = options.io;
    fixed_rate_ = options.out_rate;
    fixed_channels_ = options.out_channels;
    max_bitrate_ = options.max_bitrate;
    AVDictionary *opts = nullptr;
    av_dict_set(&opts, "user_agent", kUserAgent, 0);
    // Dropped connections are picked up again where they broke off (with Range on files).
    av_dict_set(&opts, "reconnect", "1", 0);
    av_dict_set(&opts, "reconnect_streamed", "1", 0);
    av_dict_set(&opts, "reconnect_on_network_error", "1", 0);
    av_dict_set(&opts, "reconnect_delay_max", "2", 0);
    av_dict_set(&opts, "rw_timeout", "10000000", 0);  // a silent server counts as a drop
    // HTTPS servers prove who they are, on every request: certificate chain and host name.
    av_dict_set(&opts, "tls_verify", "1", 0);
    // The handshake's small writes go out at once: with Nagle each waited for the peer's
    // delayed ACK, which made an HTTPS start over ten times slower than HTTP.
    av_dict_set(&opts, "tcp_nodelay", "1", 0);
    if (!options.ca_file.empty()) {
        av_dict_set(&opts, "ca_file", options.ca_file.c_str(), 0);
    }
    if (!options.proxy.empty()) {
        av_dict_set(&opts, "http_proxy", options.proxy.c_str(), 0);
    }
    if (!options.host_header.empty()) {
        av_dict_set(&opts, "headers", options.host_header.c_str(), 0);
    }
    request_options_.reset(opts);

    FfmpegErrors errors;
    int detail = open_demuxer(true, av_error);
    // The server answered, but the demuxer its type or URL named could not read it: a
    // wrong label, so the content decides after all.
    if (detail != 0 && named_ && !interrupted()) {
        detail = open_demuxer(false, av_error);
    }
    if (detail != 0) {
        char text[AV_ERROR_MAX_STRING_SIZE] = {};
        av_strerror(*av_error, text, sizeof text);
        reason_ = errors.first().empty() ? text : errors.first();
    }
    return detail;
}

int MediaInput::open_demuxer(bool by_name, int *av_error) {
    fmt_.reset();
    io_.reset();
    playlist_io_.reset();
    dec_.reset();
    named_ = false;
    eof_ = false;
    bad_packets_ = 0;
    primed_.clear();
    AVFormatContext *raw = avformat_alloc_context();
    if (raw == nullptr) {
        *av_error = AVERROR(ENOMEM);
        return ORV_ERROR_OPEN;
    }
    raw->interrupt_callback = interrupt_;
    raw->opaque = this;
    raw->io_open = &MediaInput::open_request;
    raw->probesize = kLiveProbeBytes;
    raw->max_analyze_duration = AV_TIME_BASE / 2;

    const AVInputFormat *format = nullptr;
    bool live = false;
    std::string open_url = url_;
    if (caller_io_ != nullptr) {
        raw->pb = caller_io_;
        raw->io_open = &MediaInput::refuse_request;
    } else if (is_network()) {
        // Our own first request, so that its Content-Type can name the demuxer; the
        // demuxer then reads from it.
        AVIOContext *pb = nullptr;
        const int rc = open_request(raw, &pb, url_.c_str(), AVIO_FLAG_READ, nullptr);
        if (rc < 0) {
            avformat_free_context(raw);
            *av_error = rc;
            return ORV_ERROR_OPEN;
        }
        io_.reset(pb);
        raw->pb = pb;
        // Without a length the answer is a live stream, which arrives in real time.
        live = avio_size(pb) <= 0;
        if (live) {
            raw->format_probesize = kLiveProbeBytes;
        } else if ((pb->seekable & AVIO_SEEKABLE_NORMAL) == 0) {
            // A server without byte ranges answers a resume with the whole body again,
            // which FFmpeg would splice on as the rest: such a file is not resumed.
            av_opt_set_int(pb, "reconnect", 0, AV_OPT_SEARCH_CHILDREN);
        }
        if (by_name) {
            std::uint8_t *type = nullptr;
            av_opt_get(pb, "mime_type", AV_OPT_SEARCH_CHILDREN, &type);
            format = demuxer_for(reinterpret_cast<const char *>(type), url_);
            av_free(type);
        }
        if (format != nullptr && std::string_view(format->name) == "hls") {
            if (const int rc = take_playlist(raw, open_url); rc < 0) {
                avformat_free_context(raw);
                *av_error = rc;
                return ORV_ERROR_OPEN;
            }
        }
    }
    named_ = format != nullptr;
    int rc = avformat_open_input(&raw, open_url.c_str(), format, nullptr);
    if (rc < 0) {  // avformat_open_input freed the context
        *av_error = rc;
        return ORV_ERROR_OPEN;
    }
    fmt_.reset(raw);
    // A named live stream starts with its first decodable frame; everything else is
    // analysed as before, which also gives files their duration.
    const bool analyse = !(named_ && live) || std::string_view(format->name) == "hls";
    if (analyse && (rc = avformat_find_stream_info(fmt_.get(), nullptr)) < 0) {
        *av_error = rc;
        return ORV_ERROR_OPEN;
    }
    const int detail = open_decoder(av_error);
    return detail != 0 ? detail : first_frame(av_error);
}

int MediaInput::take_playlist(AVFormatContext *raw, std::string &open_url) {
    constexpr std::size_t kMaxPlaylistBytes = 4 << 20;
    playlist_.clear();
    char buf[4096];
    int n = 0;
    while (playlist_.size() < kMaxPlaylistBytes &&
           (n = avio_read(io_.get(), reinterpret_cast<unsigned char *>(buf), sizeof buf)) > 0) {
        playlist_.append(buf, static_cast<std::size_t>(n));
    }
    if (n < 0 && n != AVERROR_EOF) {
        return n;
    }
    // Segments are relative to where the playlist really came from, after redirects.
    std::uint8_t *location = nullptr;
    if (av_opt_get(io_.get(), "location", AV_OPT_SEARCH_CHILDREN, &location) >= 0 &&
        location != nullptr) {
        open_url = reinterpret_cast<const char *>(location);
    }
    av_free(location);
    io_.reset();
    if (const auto variant = choose_variant(playlist_, max_bitrate_)) {
        open_url = resolve_url(open_url, *variant);
        AVIOContext *pb = nullptr;
        const int rc = open_request(raw, &pb, open_url.c_str(), AVIO_FLAG_READ, nullptr);
        if (rc < 0) {
            return rc;
        }
        io_.reset(pb);
        raw->pb = pb;
        return 0;
    }
    playlist_io_ = std::make_unique<MemoryIo>(std::span<const std::uint8_t>(
        reinterpret_cast<const std::uint8_t *>(playlist_.data()), playlist_.size()));
    raw->pb = playlist_io_->get();
    return raw->pb != nullptr ? 0 : AVERROR(ENOMEM);
}

int MediaInput::open_decoder(int *av_error) {
    const AVCodec *decoder = nullptr;
    stream_ = av_find_best_stream(fmt_.get(), AVMEDIA_TYPE_AUDIO, -1, -1, &decoder, 0);
    // Unanalysed streams (a named live stream) have no format yet, which the choice above
    // requires: the first audio stream is taken, its decoder tells the format.
    for (unsigned i = 0; stream_ < 0 && i < fmt_->nb_streams; ++i) {
        const AVCodecParameters *par = fmt_->streams[i]->codecpar;
        if (par->codec_type == AVMEDIA_TYPE_AUDIO &&
            (decoder = avcodec_find_decoder(par->codec_id)) != nullptr) {
            stream_ = static_cast<int>(i);
        }
    }
    if (stream_ < 0 || decoder == nullptr) {
        *av_error = stream_ < 0 ? stream_ : AVERROR_DECODER_NOT_FOUND;
        return ORV_ERROR_NO_AUDIO;
    }
    for (unsigned i = 0; i < fmt_->nb_streams; ++i) {
        const bool kept = static_cast<int>(i) == stream_ ||
                          fmt_->streams[i]->codecpar->codec_id == AV_CODEC_ID_TIMED_ID3;
        fmt_->streams[i]->discard = kept ? AVDISCARD_DEFAULT : AVDISCARD_ALL;
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
    if (rc < 0) {
        *av_error = rc;
        return ORV_ERROR_NO_AUDIO;
    }
    return 0;
}

// Decodes up to the first audio frame, whose format then fixes the output's.
int MediaInput::first_frame(int *av_error) {
    for (;;) {
        int rc = avcodec_receive_frame(dec_.get(), frame_.get());
        if (rc >= 0) {
            break;
        }
        if (rc != AVERROR(EAGAIN)) {
            *av_error = rc == AVERROR_EOF ? AVERROR_INVALIDDATA : rc;
            return ORV_ERROR_DECODE;
        }
        rc = av_read_frame(fmt_.get(), pkt_.get());
        if (rc == AVERROR_EOF) {
            avcodec_send_packet(dec_.get(), nullptr);
            eof_ = true;
            continue;
        }
        if (rc < 0) {
            *av_error = rc;
            return ORV_ERROR_NETWORK;
        }
        take_metadata_packet(pkt_.get());
        const bool refused = pkt_->stream_index == stream_ &&
                             avcodec_send_packet(dec_.get(), pkt_.get()) < 0 &&
                             ++bad_packets_ > kMaxBadPackets;
        av_packet_unref(pkt_.get());
        if (refused) {
            *av_error = AVERROR_INVALIDDATA;
            return ORV_ERROR_DECODE;
        }
    }
    const AVFrame *frame = frame_.get();
    bad_packets_ = 0;
    out_rate_ = fixed_rate_ > 0               ? fixed_rate_
                : rate_ok(frame->sample_rate) ? frame->sample_rate
                                              : 48000;
    out_channels_ = fixed_channels_ > 0                 ? fixed_channels_
                    : frame->ch_layout.nb_channels >= 2 ? 2
                                                        : 1;
    if (!adopt_format(frame)) {
        *av_error = AVERROR_INVALIDDATA;
        return ORV_ERROR_NO_AUDIO;
    }
    convert(frame, primed_);
    av_frame_unref(frame_.get());
    drain_decoder(primed_);
    return 0;
}

bool MediaInput::adopt_format(const AVFrame *frame) {
    if (frame->sample_rate <= 0 || frame->sample_rate > kMaxInputRate ||
        frame->ch_layout.nb_channels <= 0) {
        return false;
    }
    in_rate_ = frame->sample_rate;
    in_format_ = frame->format;
    av_channel_layout_uninit(&in_layout_);
    return av_channel_layout_copy(&in_layout_, &frame->ch_layout) >= 0 && make_resampler();
}

bool MediaInput::make_resampler() {
    AVChannelLayout out_layout{};
    av_channel_layout_default(&out_layout, out_channels_);
    SwrContext *raw = nullptr;
    int rc = swr_alloc_set_opts2(&raw, &out_layout, AV_SAMPLE_FMT_S16, out_rate_, &in_layout_,
                                 static_cast<AVSampleFormat>(in_format_), in_rate_, 0, nullptr);
    av_channel_layout_uninit(&out_layout);
    swr_.reset(raw);
    return rc >= 0 && swr_init(swr_.get()) >= 0;
}

void MediaInput::convert(const AVFrame *frame, std::vector<std::int16_t> &out) {
    if (frame != nullptr &&
        (!swr_ || frame->format != in_format_ || frame->sample_rate != in_rate_ ||
         av_channel_layout_compare(&frame->ch_layout, &in_layout_) != 0)) {
        // The format changed within the source: what the old resampler still holds goes
        // out first, then a new one converts to the same output. Frames of an unusable
        // format are skipped.
        convert(nullptr, out);
        if (!adopt_format(frame)) {
            swr_.reset();
            return;
        }
    }
    if (!swr_) {
        return;
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
    if (!primed_.empty()) {
        out.insert(out.end(), primed_.begin(), primed_.end());
        primed_.clear();
        return Read::Data;
    }
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
        if (take_metadata_packet(pkt_.get())) {
            av_packet_unref(pkt_.get());
            continue;
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

bool MediaInput::take_metadata_packet(const AVPacket *packet) {
    // HLS adds a segment's streams as it reads them: the stream may be newer than open().
    if (fmt_->streams[packet->stream_index]->codecpar->codec_id != AV_CODEC_ID_TIMED_ID3) {
        return false;
    }
    if (auto now = parse_id3v2({packet->data, static_cast<std::size_t>(packet->size)})) {
        now_playing_.push_back(std::move(*now));
    }
    return true;
}

std::vector<NowPlaying> MediaInput::take_now_playing() {
    return std::exchange(now_playing_, {});
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
    primed_.clear();
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
           (is_hls() && duration_ms() > 0);
}

bool MediaInput::is_hls() const {
    return fmt_ && std::string_view(fmt_->iformat->name) == "hls";
}

bool MediaInput::has_end() const {
    if (!is_network()) {
        return true;
    }
    return is_hls() ? duration_ms() > 0 : size_bytes() > 0;
}

bool MediaInput::cut_short() const {
    const std::int64_t size = size_bytes();
    // The read failed short of the length; a demuxer that stops early by itself (at the
    // end of its audio, before trailing tags) leaves no error behind.
    return is_network() && size > 0 && fmt_->pb->error < 0 && bytes_fetched() < size;
}

bool MediaInput::is_network() const {
    return caller_io_ == nullptr && url_.find("://") != std::string::npos &&
           url_.rfind("file:", 0) != 0;
}

std::int64_t MediaInput::bytes_fetched() const {
    return fmt_ && fmt_->pb != nullptr ? std::max<std::int64_t>(fmt_->pb->pos, 0) : 0;
}

std::int64_t MediaInput::size_bytes() const {
    if (!fmt_ || fmt_->pb == nullptr || is_hls()) {
        return -1;
    }
    const std::int64_t size = avio_size(fmt_->pb);
    return size > 0 ? size : -1;
}

}  // namespace orv
