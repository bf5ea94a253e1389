// One opened source: demuxing, decoding and conversion to s16 interleaved PCM.
#ifndef ORV_MEDIA_INPUT_H
#define ORV_MEDIA_INPUT_H

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libswresample/swresample.h>
}

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "decrypt_io.h"
#include "fetcher.h"
#include "hls_variant.h"
#include "memory_io.h"
#include "now_playing.h"

namespace orv {

struct InputOptions {
    std::string url;
    std::string proxy;       // "http://host:port" or empty
    std::string dns_server;  // asked for the hosts of http(s) URLs; empty: the system resolver
    std::string ca_file;     // PEM bundle that HTTPS servers are checked against; empty: system
    std::int64_t read_ahead_bytes = kDefaultReadAheadBytes;  // the fetch buffer's bound
    // When set, the bytes come from this reader instead (kept by the caller, who keeps it
    // until the input is gone); `url` is then only a name, and the input opens nothing
    // else: a playlist or reference inside it is refused.
    AVIOContext *io = nullptr;
    // Output format; 0: the first audio frame's. Later frames in another format (an HLS
    // discontinuity, a chained Ogg stream) are resampled to it.
    int out_rate = 0;
    int out_channels = 0;
    // Of an HLS master playlist, the variant with the highest bandwidth not above this
    // (bits per second) is played, else the lowest; the others are never fetched.
    std::int64_t max_bitrate = kDefaultMaxBitrate;
};

// The demuxer named by a Content-Type (parameters and case ignored) or, failing that, by
// the extension of the URL's path; null when neither names one and the input is probed.
const AVInputFormat *demuxer_for(const char *content_type, const std::string &url);

// Whether the first bytes of an answer labelled as a playlist may be one: "#EXTM3U" (or
// any comment) or a line of text, a URL. Undecided (true) until a line or `enough` bytes.
bool looks_like_playlist(std::string_view head, std::size_t enough);

// A fetch of `url` (the source or one of its requests) with the source's options.
std::unique_ptr<Fetcher> start_fetch(const InputOptions &options, const std::string &url);

class MediaInput {
  public:
    enum class Read { Data, End, Failed };

    // Interrupt callback polled by FFmpeg while it waits; non-zero aborts the wait.
    MediaInput(int (*interrupt)(void *), void *opaque);
    ~MediaInput();
    MediaInput(const MediaInput &) = delete;
    MediaInput &operator=(const MediaInput &) = delete;

    // 0, or an ORV_ERROR_* detail with the FFmpeg code in *av_error; reason() then says why.
    // Returns once the first audio frame is decoded (it is the first PCM read() gives).
    // `prefetched`, when given, is a fetch of options.url already under way.
    int open(const InputOptions &options, int *av_error,
             std::unique_ptr<Fetcher> prefetched = nullptr);

    // FFmpeg's own words for the last failure of open(), or its error text.
    const std::string &reason() const { return reason_; }

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
    // size; the size is -1 when unknown (live and chunked streams, HLS).
    std::int64_t bytes_fetched() const;
    std::int64_t size_bytes() const;
    // Whether the source ends: a local file, an answer with a length (Content-Length or a
    // Content-Range total) or a finished HLS playlist. Any other source is live; so is an
    // answer with a length that cannot be ranged and comes from a station (icy- headers, or
    // a type only streams are sent as): relays send large fake lengths.
    bool has_end() const;
    // A source without a length whose server ended the body itself (a chunked or
    // close-delimited file), rather than breaking it off.
    bool ended_cleanly() const;
    // The fetch of the source (null for local files and HLS): its buffer, its bound.
    Fetcher *fetcher() const { return fetch_ ? &fetch_->fetcher() : nullptr; }
    // When the latest byte came from the network (the source's fetch or a request of its
    // demuxer); the clock's epoch for a source read from a file or the caller.
    std::chrono::steady_clock::time_point progress_at() const;
    // Now-playing tags read since the last call (an HLS stream's ID3 timed metadata, a
    // station's ICY titles once the demuxer reaches their byte), in the order read: each
    // belongs to the PCM that read() gives after it was read.
    std::vector<NowPlaying> take_now_playing();

  private:
    struct DictFree {
        void operator()(AVDictionary *d) const { av_dict_free(&d); }
    };
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

    // Every request of the input (playlists, segments, keys) goes through here: each is a
    // fetch of ours with the same options (TLS checks, proxy, resolver, read-ahead).
    static int open_request(AVFormatContext *s, AVIOContext **pb, const char *url, int flags,
                            AVDictionary **options);
    static int open_fetch(AVFormatContext *s, AVIOContext **pb, const char *url, int flags,
                          AVDictionary **options);
    static int close_request(AVFormatContext *s, AVIOContext *pb);
    // One attempt: by_name lets the Content-Type or extension pick the demuxer.
    int open_demuxer(bool by_name, int *av_error);
    // io_open of an input read from the caller's reader: nothing further is opened.
    static int refuse_request(AVFormatContext *s, AVIOContext **pb, const char *url, int flags,
                              AVDictionary **options);
    bool interrupted() const { return interrupt_.callback(interrupt_.opaque) != 0; }
    // Reads an HLS playlist from fetch_ and sets what the demuxer opens: the chosen variant of a
    // master playlist, else the playlist as read. 0 or an FFmpeg error.
    // 1 when the first bytes are no playlist after all (a station labelling its stream so):
    // the stream is then probed, from its first byte.
    int take_playlist(AVFormatContext *raw, std::string &open_url);
    bool is_hls() const;
    int open_decoder(int *av_error);
    int first_frame(int *av_error);
    // Takes the frame's format as the resampler's input; false when it is unusable.
    bool adopt_format(const AVFrame *frame);
    bool make_resampler();
    void convert(const AVFrame *frame, std::vector<std::int16_t> &out);
    void drain_decoder(std::vector<std::int16_t> &out);
    // Takes the ICY titles up to the packet's byte, and the packet itself when it is of a
    // timed ID3 stream; false for any other packet.
    bool take_metadata_packet(const AVPacket *packet);

    AVIOInterruptCB interrupt_;
    InputOptions options_;
    std::unique_ptr<FetchIo> fetch_;  // the source itself (or an HLS variant's playlist)
    std::vector<std::unique_ptr<FetchIo>> requests_;     // opened by the demuxer, until it closes
    std::vector<std::unique_ptr<DecryptIo>> decrypted_;  // as requests_, its AES-128 segments
    std::unique_ptr<Fetcher> prefetched_;
    std::string playlist_;  // an HLS playlist as read, for the demuxer
    std::unique_ptr<MemoryIo> playlist_io_;
    AVIOContext *caller_io_ = nullptr;  // InputOptions::io
    std::unique_ptr<AVFormatContext, InputClose> fmt_;
    std::unique_ptr<AVCodecContext, CodecFree> dec_;
    std::unique_ptr<SwrContext, SwrFree> swr_;
    std::unique_ptr<AVFrame, FrameFree> frame_;
    std::unique_ptr<AVPacket, PacketFree> pkt_;
    // The stream's time of its first sample to be heard (after the encoder's delay).
    std::int64_t origin_ts() const;
    // Output frames of the item, beyond which is the encoder's padding; -1: no end declared.
    std::int64_t find_declared_end() const;
    // Drops what lies before a seek's target and after the declared end from the `frames`
    // just converted from `frame` at `at` of `out`.
    void trim(const AVFrame *frame, std::vector<std::int16_t> &out, std::size_t at);
    int stream_ = -1;
    std::vector<NowPlaying> now_playing_;  // from timed ID3 beside the audio (HLS over MPEG-TS)
    int out_rate_ = 0;
    int out_channels_ = 0;
    int fixed_rate_ = 0;  // InputOptions::out_rate, out_channels
    int fixed_channels_ = 0;
    std::int64_t max_bitrate_ = kDefaultMaxBitrate;
    // Format the resampler takes in; a frame in another one gets a new resampler.
    int in_rate_ = 0;
    int in_format_ = -1;
    AVChannelLayout in_layout_{};
    std::vector<std::int16_t> primed_;  // PCM of the first frame, decoded by open()
    bool named_ = false;                // the demuxer was named, not probed
    bool eof_ = false;
    int bad_packets_ = 0;             // consecutive packets the decoder refused
    std::int64_t skip_until_ = -1;    // after a seek: output frames before this position dropped
    std::int64_t declared_end_ = -1;  // find_declared_end(), once the output rate is known
    std::string url_;
    std::string reason_;
};

}  // namespace orv

#endif
