#include "media_input.h"

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <optional>
#include <string_view>
#include <utility>

extern "C" {
#include <libavutil/opt.h>
}

#include "itunes_smpb.h"
#include "log.h"
#include "orvellaplayer.h"

namespace orv {
namespace {

constexpr int kMaxBadPackets = 50;
// A live source arrives in real time: a probe must not wait for seconds of it.
constexpr int kLiveProbeBytes = 32 * 1024;
// FFmpeg's MP4 demuxer takes an AAC stream's delay from an iTunSMPB tag below this.
constexpr std::int64_t kTaggedDelayLimit = 16384;

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

// The gap an iTunSMPB tag declares, where FFmpeg took the delay from it (an AAC stream).
std::optional<EncoderGap> itunes_gap(const AVFormatContext *fmt, const AVStream *st) {
    const AVDictionaryEntry *tag = av_dict_get(st->metadata, "iTunSMPB", nullptr, 0);
    if (tag == nullptr) {
        tag = av_dict_get(fmt->metadata, "iTunSMPB", nullptr, 0);
    }
    if (tag == nullptr || st->codecpar->codec_id != AV_CODEC_ID_AAC ||
        st->codecpar->sample_rate <= 0) {
        return std::nullopt;
    }
    const auto gap = parse_itunes_smpb(tag->value);
    return gap && gap->delay < kTaggedDelayLimit ? gap : std::nullopt;
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

// Types a station's stream is sent as, and a file for download never is.
constexpr std::string_view kStreamTypes[] = {
    "audio/aacp",    "audio/x-mpegurl",          "audio/mpegurl", "application/x-mpegurl",
    "audio/x-scpls", "application/octet-stream",
};

bool is_stream_type(const std::string &mime) {
    const std::string_view type = trimmed(std::string_view(mime).substr(0, mime.find(';')));
    return std::any_of(std::begin(kStreamTypes), std::end(kStreamTypes),
                       [type](std::string_view t) { return same_text(t, type); });
}

// "scheme:..." (file:, pipe:, ftp://, ...) rather than a path.
bool names_scheme(std::string_view url) {
    const std::size_t colon = url.find(':');
    return colon != std::string_view::npos && colon > 0 &&
           std::all_of(url.begin(), url.begin() + static_cast<std::ptrdiff_t>(colon), [](char c) {
               return std::isalnum(static_cast<unsigned char>(c)) || c == '+' || c == '-' ||
                      c == '.';
           });
}

}  // namespace

bool looks_like_playlist(std::string_view head, std::size_t enough) {
    if (head.substr(0, 3) == "\xEF\xBB\xBF") {  // a byte-order mark
        head.remove_prefix(3);
    }
    const std::size_t first = head.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos) {
        return head.size() < enough;
    }
    head.remove_prefix(first);
    if (head[0] == '#') {
        return true;
    }
    // A bare list starts with a URL: a line of text. Media has binary bytes within it.
    const std::string_view line = head.substr(0, std::min(head.find('\n'), enough));
    return std::all_of(line.begin(), line.end(), [](char c) {
        const auto u = static_cast<unsigned char>(c);
        return u == '\r' || u == '\t' || (u >= 0x20 && u < 0x7F);
    });
}

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

std::unique_ptr<Fetcher> start_fetch(const InputOptions &options, const std::string &url) {
    FetchOptions o;
    o.url = url;
    o.proxy = options.proxy;
    o.ca_file = options.ca_file;
    o.dns_server = options.dns_server;
    o.max_bytes = options.read_ahead_bytes;
    return std::make_unique<Fetcher>(std::move(o));
}

int MediaInput::open_request(AVFormatContext *s, AVIOContext **pb, const char *url, int flags,
                             AVDictionary **options) {
    int rc = AVERROR(ENOMEM);  // FFmpeg is C: nothing may be thrown through it
    guarded("open", [&] { rc = open_fetch(s, pb, url, flags, options); });
    return rc;
}

int MediaInput::open_fetch(AVFormatContext *s, AVIOContext **pb, const char *url, int,
                           AVDictionary **options) {
    auto *self = static_cast<MediaInput *>(s->opaque);
    std::string_view name(url);
    // An AES-128 segment: FFmpeg's HLS demuxer names it "crypto+<URL>" and passes the key
    // it fetched (through here) and the IV; the segment itself is fetched as any other.
    const bool encrypted = name.rfind("crypto+", 0) == 0;
    AesBlock key{};
    AesBlock iv{};
    if (encrypted) {
        name.remove_prefix(7);
        const AVDictionaryEntry *k = av_dict_get(options ? *options : nullptr, "key", nullptr, 0);
        const AVDictionaryEntry *v = av_dict_get(options ? *options : nullptr, "iv", nullptr, 0);
        if (k == nullptr || v == nullptr || !parse_aes_block(k->value, key) ||
            !parse_aes_block(v->value, iv)) {
            error("refused to open %s: no usable key", loggable_url(url).c_str());
            return AVERROR(EINVAL);
        }
    }
    if (!fetchable_url(name)) {
        // Only the network a radio needs: no local files, pipes or other protocols named
        // by a playlist or a redirect.
        error("refused to open %s: not http or https", loggable_url(url).c_str());
        return AVERROR(EPERM);
    }
    int rc = 0;
    std::string why;
    auto io = FetchIo::open(start_fetch(self->options_, std::string(name)), s->interrupt_callback,
                            &rc, &why);
    if (!io) {
        if (rc != AVERROR_EXIT) {
            av_log(s, AV_LOG_ERROR, "%s: %s\n", loggable_url(url).c_str(), why.c_str());
        }
        return rc;
    }
    if (encrypted) {
        auto plain = DecryptIo::open(std::move(io), key, iv);
        if (!plain) {
            return AVERROR(ENOMEM);
        }
        *pb = plain->get();
        self->decrypted_.push_back(std::move(plain));
        return 0;
    }
    *pb = io->get();
    self->requests_.push_back(std::move(io));
    return 0;
}

int MediaInput::close_request(AVFormatContext *s, AVIOContext *pb) {
    auto *self = static_cast<MediaInput *>(s->opaque);
    std::erase_if(self->requests_, [pb](const auto &io) { return io->get() == pb; });
    std::erase_if(self->decrypted_, [pb](const auto &io) { return io->get() == pb; });
    return 0;
}

int MediaInput::refuse_request(AVFormatContext *, AVIOContext **, const char *, int,
                               AVDictionary **) {
    return AVERROR(EPERM);
}

int MediaInput::open(const InputOptions &options, int *av_error,
                     std::unique_ptr<Fetcher> prefetched) {
    options_ = options;
    options_.io = nullptr;
    url_ = options.url;
    caller_io_ = options.io;
    fixed_rate_ = options.out_rate;
    fixed_channels_ = options.out_channels;
    max_bitrate_ = options.max_bitrate;
    prefetched_ = std::move(prefetched);

    FfmpegErrors errors;
    int detail = open_demuxer(true, av_error);
    // The server answered, but the demuxer its type or URL named could not read it: a
    // wrong label, so the content decides after all.
    if (detail != 0 && named_ && !interrupted() && *av_error != AVERROR(ETIMEDOUT)) {
        detail = open_demuxer(false, av_error);
    }
    if (detail != 0) {
        char text[AV_ERROR_MAX_STRING_SIZE] = {};
        av_strerror(*av_error, text, sizeof text);
        reason_ = !errors.first().empty() ? errors.first() : !reason_.empty() ? reason_ : text;
    }
    return detail;
}

int MediaInput::open_demuxer(bool by_name, int *av_error) {
    fmt_.reset();
    requests_.clear();
    decrypted_.clear();
    fetch_.reset();
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
    raw->probesize = kLiveProbeBytes;
    raw->max_analyze_duration = AV_TIME_BASE / 2;
    AVDictionary *demuxer_options = nullptr;
    std::unique_ptr<AVDictionary, DictFree> demuxer_options_owner;

    const AVInputFormat *format = nullptr;
    bool live = false;
    std::string open_url = url_;
    if (caller_io_ != nullptr) {
        raw->pb = caller_io_;
        raw->io_open = &MediaInput::refuse_request;
    } else if (is_network()) {
        raw->io_open = &MediaInput::open_request;
        raw->io_close2 = &MediaInput::close_request;
        // Our own first request, so that its Content-Type can name the demuxer; the
        // demuxer then reads from it.
        std::unique_ptr<Fetcher> fetcher =
            prefetched_ ? std::move(prefetched_) : start_fetch(options_, url_);
        fetch_ = FetchIo::open(std::move(fetcher), interrupt_, av_error, &reason_);
        if (!fetch_) {
            avformat_free_context(raw);
            return ORV_ERROR_OPEN;
        }
        raw->pb = fetch_->get();
        const FetchHead head = fetch_->fetcher().head();
        // Without a length the answer is a live stream, which arrives in real time.
        live = !has_end();
        if (live) {
            raw->format_probesize = kLiveProbeBytes;
        }
        if (by_name) {
            format = demuxer_for(head.mime_type.c_str(), url_);
        }
        if (format != nullptr && std::string_view(format->name) == "hls") {
            const int rc = take_playlist(raw, open_url);
            if (rc < 0) {
                avformat_free_context(raw);
                *av_error = rc;
                return ORV_ERROR_OPEN;
            }
            if (rc > 0) {
                format = nullptr;
            }
        }
        if (format != nullptr && std::string_view(format->name) == "hls") {
            // Each segment is a fetch of its own: the demuxer must not try to reuse one.
            av_dict_set(&demuxer_options, "http_persistent", "0", 0);
            av_dict_set(&demuxer_options, "http_multiple", "0", 0);
            demuxer_options_owner.reset(demuxer_options);
        }
    } else if (names_scheme(url_)) {
        reason_ = "only http and https sources and local paths are opened";
        avformat_free_context(raw);
        *av_error = AVERROR_PROTOCOL_NOT_FOUND;
        return ORV_ERROR_OPEN;
    } else if (struct stat st{}; ::stat(url_.c_str(), &st) == 0 && !S_ISREG(st.st_mode)) {
        // Opening a FIFO or a device can wait for ever, beyond any interrupt: only
        // files are read.
        reason_ = "not a regular file";
        avformat_free_context(raw);
        *av_error = AVERROR(EINVAL);
        return ORV_ERROR_OPEN;
    }
    named_ = format != nullptr;
    if (fetch_ && named_ && std::string_view(format->name) == "ogg") {
        // The Ogg demuxer keeps its page checksums over FFmpeg's buffer, which a seek
        // that bypasses it breaks: every Vorbis or Opus file failed with "CRC mismatch".
        fetch_->get()->direct = 0;
    }
    AVDictionary *opts = demuxer_options_owner.release();
    if (caller_io_ == nullptr && !is_network()) {
        av_dict_set(&opts, "protocol_whitelist", "file", 0);
    } else {
        // Every open of ours goes through io_open; a demuxer that opens entries itself
        // (concat, found by probing) inherits an empty list, so FFmpeg's own network,
        // which knows nothing of our TLS, proxy and resolver settings, is never used.
        av_dict_set(&opts, "protocol_whitelist", "", 0);
    }
    int rc = avformat_open_input(&raw, open_url.c_str(), format, &opts);
    av_dict_free(&opts);
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
    constexpr std::size_t kFirstLine = 256;
    playlist_.clear();
    char buf[4096];
    int n = 0;
    while (playlist_.size() < kMaxPlaylistBytes &&
           (n = avio_read(fetch_->get(), reinterpret_cast<unsigned char *>(buf), sizeof buf)) > 0) {
        playlist_.append(buf, static_cast<std::size_t>(n));
        if (!looks_like_playlist(playlist_, kFirstLine)) {
            // Not a playlist: the stream itself, read again from its first byte (still in
            // the fetch buffer).
            return avio_seek(fetch_->get(), 0, SEEK_SET) < 0 ? AVERROR(EIO) : 1;
        }
    }
    if (n < 0 && n != AVERROR_EOF) {
        return n;
    }
    // Segments are relative to where the playlist really came from, after redirects.
    open_url = fetch_->fetcher().head().location;
    fetch_.reset();
    if (const auto variant = choose_variant(playlist_, max_bitrate_)) {
        open_url = resolve_url(open_url, *variant);
        int rc = 0;
        fetch_ = FetchIo::open(start_fetch(options_, open_url), interrupt_, &rc, &reason_);
        if (!fetch_) {
            return rc;
        }
        open_url = fetch_->fetcher().head().location;  // the variant's own redirects, too
        raw->pb = fetch_->get();
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
    declared_end_ = find_declared_end();
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
    if (frame != nullptr) {
        trim(frame, out, at);
    }
}

std::int64_t MediaInput::origin_ts() const {
    const std::int64_t start = fmt_->streams[stream_]->start_time;
    return start != AV_NOPTS_VALUE ? start : 0;
}

// The decoders take the delay off the start (and MP3's padding off the end) as the demuxer
// declares it; an MP4 ends the item before the last frame's padding only by the stream's
// length: its edit list's, or the length its iTunSMPB tag gives where FFmpeg took the
// delay from the tag.
std::int64_t MediaInput::find_declared_end() const {
    const AVStream *st = fmt_->streams[stream_];
    if (std::string_view(fmt_->iformat->name).find("mp4") == std::string_view::npos) {
        return -1;
    }
    const int rate = st->codecpar->sample_rate;
    const bool has_length = st->duration != AV_NOPTS_VALUE && st->duration > 0;
    if (const auto gap = itunes_gap(fmt_.get(), st)) {
        // An edit list makes the stream shorter than all that was coded, and wins.
        const std::int64_t coded =
            has_length ? av_rescale_q(st->duration, st->time_base, AVRational{1, rate}) : -1;
        if (coded < 0 || coded >= gap->delay + gap->samples + gap->padding) {
            return av_rescale(gap->samples, out_rate_, rate);
        }
    }
    return has_length ? av_rescale_q(st->duration, st->time_base, AVRational{1, out_rate_}) : -1;
}

void MediaInput::trim(const AVFrame *frame, std::vector<std::int16_t> &out, std::size_t at) {
    const std::int64_t ts = frame->best_effort_timestamp;
    const std::int64_t end = declared_end_;
    if (ts == AV_NOPTS_VALUE) {
        skip_until_ = -1;
        return;
    }
    if (skip_until_ < 0 && end < 0) {
        return;
    }
    const AVRational tb = fmt_->streams[stream_]->time_base;
    const std::int64_t start = av_rescale_q(ts - origin_ts(), tb, AVRational{1, out_rate_});
    std::int64_t frames = static_cast<std::int64_t>(out.size() - at) / out_channels_;
    if (end >= 0) {
        frames = std::clamp<std::int64_t>(end - start, 0, frames);
        out.resize(at + static_cast<std::size_t>(frames) * out_channels_);
    }
    if (skip_until_ < 0) {
        return;
    }
    // After a seek: drop what lies before the target, judged by the frame's time stamp.
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
    if (fetch_) {
        const std::int64_t at = packet->pos >= 0 ? packet->pos : avio_tell(fmt_->pb);
        for (NowPlaying &now : fetch_->fetcher().take_now_playing(at)) {
            now_playing_.push_back(std::move(now));
        }
    }
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
    const std::int64_t ts = origin_ts() + av_rescale_q(ms, AVRational{1, 1000}, tb);
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
    if (is_hls()) {
        return duration_ms() > 0;
    }
    if (!fetch_) {
        return false;
    }
    const FetchHead head = fetch_->fetcher().head();
    return head.size > 0 && (head.ranges || !(head.icy || is_stream_type(head.mime_type)));
}

bool MediaInput::ended_cleanly() const {
    return fetch_ && !is_hls() && fetch_->fetcher().ended_cleanly() &&
           !fetch_->fetcher().head().icy;
}

bool MediaInput::is_network() const {
    return caller_io_ == nullptr && fetchable_url(url_);
}

std::chrono::steady_clock::time_point MediaInput::progress_at() const {
    std::chrono::steady_clock::time_point at{};
    if (fetch_) {
        at = fetch_->fetcher().progress_at();
    }
    for (const auto &io : requests_) {
        at = std::max(at, io->fetcher().progress_at());
    }
    for (const auto &io : decrypted_) {
        at = std::max(at, io->fetcher().progress_at());
    }
    return at;
}

std::int64_t MediaInput::bytes_fetched() const {
    return fetch_ && !is_hls()           ? fetch_->fetcher().fetched()
           : fmt_ && fmt_->pb != nullptr ? std::max<std::int64_t>(fmt_->pb->pos, 0)
                                         : 0;
}

std::int64_t MediaInput::size_bytes() const {
    if (!fmt_ || fmt_->pb == nullptr || is_hls() || !has_end()) {
        return -1;
    }
    const std::int64_t size = fetch_ ? fetch_->fetcher().head().size : avio_size(fmt_->pb);
    return size > 0 ? size : -1;
}

}  // namespace orv
