// Media: audio files, programme back-play files, the player demo's stream, the
// endless live streams with their HLS variant, and placeholder pictures.
//
// Every file is a sine tone encoded with FFmpeg on first request and cached.
// Tone frequencies follow rvtone::frequency_for_audio_id: an audio plays the
// tone of its audio id, a live broadcast the tone of its broadcast id, a
// back-play file the tone of its programme id; the demo stream is 1000 Hz.
#include <tone.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <regex>

#include "adts.h"
#include "endpoints.h"
#include "media_store.h"
#include "programme_guide.h"

namespace rvmock {

namespace {

constexpr const char *kDemoPath = "/mz/aac_64/201403/5c565be6-e38e-416f-8347-a81a31f5f864.aac";
constexpr double kDemoSeconds = 320;  // one pass of the demo needs 305 s
constexpr double kDemoHz = 1000;
constexpr double kLoopSeconds = 10;     // the live stream repeats this much audio
constexpr double kLiveLeadSeconds = 2;  // sent at once, so players start quickly
constexpr double kHlsSegmentSeconds = 4;
constexpr int kHlsWindow = 3;
constexpr double kBackPlayMaxSeconds = 20;
constexpr double kContinuousHz = 440;

MediaStore::Bytes tone(rvtone::Codec codec, double hz, double seconds, int bitrate) {
    char key[96];
    snprintf(key, sizeof key, "tone %s %.17g Hz %.17g s %d b/s", rvtone::mime_type(codec), hz,
             seconds, bitrate);
    return MediaStore::shared().get(key, [=]() -> std::string {
        rvtone::ToneSpec sine;
        sine.frequency_hz = hz;
        sine.duration_s = seconds;
        sine.bitrate = bitrate;
        try {
            std::vector<std::uint8_t> bytes = rvtone::encode_tone(codec, sine);
            return std::string(bytes.begin(), bytes.end());
        } catch (const std::exception &error) {
            fprintf(stderr, "rv-mock-service: encoding failed: %s\n", error.what());
            return {};
        }
    });
}

// A part of the continuous 440 Hz tone: in MP3 with its LAME header, or AAC in MP4 with
// its edit list (or, `itunes_smpb`, with iTunes's tag instead), so players see the
// encoder's delay and padding declared.
MediaStore::Bytes tone_part(rvtone::Codec codec, bool itunes_smpb, int64_t start_ms,
                            double seconds) {
    char key[96];
    snprintf(key, sizeof key, "part %s%s %lld ms %.17g s", rvtone::mime_type(codec),
             itunes_smpb ? " iTunSMPB" : "", static_cast<long long>(start_ms), seconds);
    return MediaStore::shared().get(key, [=]() -> std::string {
        rvtone::ToneSpec sine;
        sine.frequency_hz = kContinuousHz;
        sine.duration_s = seconds;
        sine.bitrate = 128000;
        sine.first_sample = start_ms * sine.sample_rate / 1000;
        sine.lame_header = true;
        sine.itunes_smpb = itunes_smpb;
        try {
            std::vector<std::uint8_t> bytes = rvtone::encode_tone(codec, sine);
            return std::string(bytes.begin(), bytes.end());
        } catch (const std::exception &error) {
            fprintf(stderr, "rv-mock-service: encoding failed: %s\n", error.what());
            return {};
        }
    });
}

// Long files are whole loops of a short encode: the same bytes a long encode
// would give, at a fraction of the start-up cost.
std::string looped(const std::string &segment, double segment_seconds, double total_seconds) {
    AdtsStream stream = split_adts(segment);
    if (stream.frames.empty() || stream.sample_rate <= 0) {
        return {};
    }
    size_t frames_needed = static_cast<size_t>(total_seconds * stream.sample_rate / 1024) + 1;
    std::string out;
    out.reserve(static_cast<size_t>(segment.size() * (total_seconds / segment_seconds + 1)));
    for (size_t i = 0; i < frames_needed; ++i) {
        const AdtsFrame &frame = stream.frames[i % stream.frames.size()];
        out.append(segment, frame.offset, frame.size);
    }
    return out;
}

void not_found(httplib::Response &res) {
    res.status = 404;
    res.set_content("not found\n", "text/plain");
}

void send_media(httplib::Response &res, const MediaStore::Bytes &bytes, rvtone::Codec codec,
                size_t cut_after) {
    if (bytes->empty()) {
        res.status = 500;
        res.set_content("encoding failed\n", "text/plain");
        return;
    }
    send_file(res, bytes, rvtone::mime_type(codec), cut_after);
}

int64_t match_int(const httplib::Request &req, size_t index) {
    return parse_int(req.matches[index].str()).value_or(-1);
}

// Writes the looped tone at the pace of real time (after a short lead) until
// the client leaves, the cut is reached or the service stops.
struct LiveCursor {
    MediaStore::Bytes bytes;
    AdtsStream stream;
    std::chrono::steady_clock::time_point start = std::chrono::steady_clock::now();
    size_t frames_sent = 0;
    size_t bytes_sent = 0;
};

class MediaApi {
  public:
    explicit MediaApi(Context &context)
        : context_(context), guide_(context.fixtures, context.config.short_programmes) {}

    void add(Router &router);

  private:
    MediaStore::Bytes live_loop(int64_t broadcast_id) {
        return tone(rvtone::Codec::Aac, rvtone::frequency_for_audio_id(broadcast_id), kLoopSeconds,
                    64000);
    }

    const cJSON *on_air(int64_t broadcast_id) const {
        const cJSON *broadcast = context_.fixtures.broadcast(broadcast_id);
        return broadcast && get_bool(broadcast, "onAir", false) ? broadcast : nullptr;
    }

    void serve_audio(const httplib::Request &req, httplib::Response &res, size_t cut_after);
    void serve_live(int64_t broadcast_id, httplib::Response &res, size_t cut_after);
    void serve_hls_playlist(int64_t broadcast_id, httplib::Response &res, size_t cut_after);

    Context &context_;
    ProgrammeGuide guide_;
};

void MediaApi::serve_audio(const httplib::Request &req, httplib::Response &res, size_t cut_after) {
    int64_t id = match_int(req, 1);
    std::string format = req.matches[2].str();
    const cJSON *audio = context_.fixtures.audio(id);
    const std::string continuous = audio ? get_str(audio, "continuous") : "";
    if (!continuous.empty()) {
        // Every format of a continuous part is its one file.
        const bool itunes_smpb = continuous == "mp4_itunes";
        const rvtone::Codec codec =
            continuous == "mp4" || itunes_smpb ? rvtone::Codec::Mp4Aac : rvtone::Codec::Mp3;
        send_media(res,
                   tone_part(codec, itunes_smpb, get_int(audio, "startMs"),
                             static_cast<double>(get_int(audio, "duration")) / 1000.0),
                   codec, cut_after);
        return;
    }
    bool mp3 = format.rfind("mp3", 0) == 0;
    if (!audio || format == "part" || req.matches[3].str() != (mp3 ? "mp3" : "aac")) {
        not_found(res);
        return;
    }
    int bitrate = std::stoi(format.substr(4)) * 1000;
    double seconds = static_cast<double>(get_int(audio, "duration")) / 1000.0;
    rvtone::Codec codec = mp3 ? rvtone::Codec::Mp3 : rvtone::Codec::Aac;
    send_media(res, tone(codec, rvtone::frequency_for_audio_id(id), seconds, bitrate), codec,
               cut_after);
}

void MediaApi::serve_live(int64_t broadcast_id, httplib::Response &res, size_t cut_after) {
    if (!on_air(broadcast_id)) {
        not_found(res);
        return;
    }
    auto cursor = std::make_shared<LiveCursor>();
    cursor->bytes = live_loop(broadcast_id);
    cursor->stream = split_adts(*cursor->bytes);
    if (cursor->stream.frames.empty() || cursor->stream.sample_rate <= 0) {
        res.status = 500;
        res.set_content("encoding failed\n", "text/plain");
        return;
    }
    StopSignal &stop = context_.stop;
    res.set_chunked_content_provider(
        rvtone::mime_type(rvtone::Codec::Aac),
        [cursor, cut_after, &stop](size_t, httplib::DataSink &sink) {
            double elapsed =
                std::chrono::duration<double>(std::chrono::steady_clock::now() - cursor->start)
                    .count();
            auto due = static_cast<size_t>((elapsed + kLiveLeadSeconds) *
                                           cursor->stream.sample_rate / 1024);
            while (cursor->frames_sent < due) {
                const AdtsFrame &frame =
                    cursor->stream.frames[cursor->frames_sent % cursor->stream.frames.size()];
                size_t size = frame.size;
                if (cut_after != SIZE_MAX) {
                    if (cursor->bytes_sent >= cut_after) {
                        return false;
                    }
                    size = std::min(size, cut_after - cursor->bytes_sent);
                }
                if (!sink.write(cursor->bytes->data() + frame.offset, size)) {
                    return false;
                }
                cursor->bytes_sent += size;
                ++cursor->frames_sent;
            }
            return sink.is_writable() && stop.sleep_for(std::chrono::milliseconds(50));
        });
}

void MediaApi::serve_hls_playlist(int64_t broadcast_id, httplib::Response &res, size_t cut_after) {
    if (!on_air(broadcast_id)) {
        not_found(res);
        return;
    }
    auto segment_ms = static_cast<int64_t>(kHlsSegmentSeconds * 1000);
    int64_t newest = now_ms() / segment_ms;
    std::string text = "#EXTM3U\n#EXT-X-VERSION:3\n#EXT-X-TARGETDURATION:" +
                       std::to_string(static_cast<int>(kHlsSegmentSeconds)) +
                       "\n#EXT-X-MEDIA-SEQUENCE:" + std::to_string(newest - kHlsWindow + 1) + "\n";
    for (int64_t sequence = newest - kHlsWindow + 1; sequence <= newest; ++sequence) {
        text += "#EXTINF:" + std::to_string(kHlsSegmentSeconds) + ",\n" + std::to_string(sequence) +
                ".aac\n";
    }
    send_bytes(res, std::make_shared<const std::string>(std::move(text)),
               "application/vnd.apple.mpegurl", cut_after);
}

void MediaApi::add(Router &router) {
    router.raw(R"(/media/audio/(\d+)/(aac_32|aac_64|aac_128|mp3_32|mp3_64|part)\.(aac|mp3|m4a))",
               Method::Get,
               [this](const httplib::Request &req, httplib::Response &res, size_t cut_after) {
                   serve_audio(req, res, cut_after);
               });

    router.raw(
        R"(/media/programme/(\d+)\.aac)", Method::Get,
        [this](const httplib::Request &req, httplib::Response &res, size_t cut_after) {
            int64_t id = match_int(req, 1);
            std::optional<Programme> programme = guide_.by_id(id, now_ms());
            if (!programme) {
                not_found(res);
                return;
            }
            double seconds =
                std::min(kBackPlayMaxSeconds, static_cast<double>(guide_.slot_ms()) / 1000.0);
            send_media(res,
                       tone(rvtone::Codec::Aac, rvtone::frequency_for_audio_id(id), seconds, 64000),
                       rvtone::Codec::Aac, cut_after);
        });

    router.raw(std::regex_replace(kDemoPath, std::regex(R"(\.)"), R"(\.)"), Method::Get,
               [this](const httplib::Request &, httplib::Response &res, size_t cut_after) {
                   MediaStore::Bytes bytes = MediaStore::shared().get(kDemoPath, [] {
                       return looped(*tone(rvtone::Codec::Aac, kDemoHz, kLoopSeconds, 64000),
                                     kLoopSeconds, kDemoSeconds);
                   });
                   send_media(res, bytes, rvtone::Codec::Aac, cut_after);
               });

    router.raw(R"(/live/(\d+)\.aac)", Method::Get,
               [this](const httplib::Request &req, httplib::Response &res, size_t cut_after) {
                   serve_live(match_int(req, 1), res, cut_after);
               });

    router.raw(R"(/live/(\d+)/index\.m3u8)", Method::Get,
               [this](const httplib::Request &req, httplib::Response &res, size_t cut_after) {
                   serve_hls_playlist(match_int(req, 1), res, cut_after);
               });

    // Every segment of a broadcast carries the same seconds of its tone.
    router.raw(R"(/live/(\d+)/(\d+)\.aac)", Method::Get,
               [this](const httplib::Request &req, httplib::Response &res, size_t cut_after) {
                   int64_t id = match_int(req, 1);
                   if (!on_air(id)) {
                       not_found(res);
                       return;
                   }
                   send_media(res,
                              tone(rvtone::Codec::Aac, rvtone::frequency_for_audio_id(id),
                                   kHlsSegmentSeconds, 64000),
                              rvtone::Codec::Aac, cut_after);
               });

    router.raw(R"(/img/.*)", Method::Get,
               [](const httplib::Request &, httplib::Response &res, size_t cut_after) {
                   send_bytes(res, pixel_gif(), "image/gif", cut_after);
               });
}

}  // namespace

void add_media_endpoints(Router &router, Context &context) {
    auto api = std::make_shared<MediaApi>(context);
    router.keep(api);
    api->add(router);
}

}  // namespace rvmock
