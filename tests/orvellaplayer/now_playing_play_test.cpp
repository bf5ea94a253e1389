// Now playing of live streams, from our own servers, as the listener hears it.
extern "C" {
#include <libavformat/avformat.h>
}

#include <algorithm>
#include <atomic>
#include <cctype>
#include <memory>

#include "live_servers.h"
#include "media_server.h"
#include "orvellaplayer.h"
#include "player_harness.h"

namespace rvtest {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes syncsafe(std::size_t n) {
    return {static_cast<std::uint8_t>(n >> 21 & 0x7F), static_cast<std::uint8_t>(n >> 14 & 0x7F),
            static_cast<std::uint8_t>(n >> 7 & 0x7F), static_cast<std::uint8_t>(n & 0x7F)};
}

// An ID3v2.4 tag with TIT2 and TPE1 in the given text encoding (0 Latin-1, 3 UTF-8).
Bytes id3_tag(std::uint8_t encoding, const std::string &title, const std::string &artist) {
    Bytes body;
    for (const auto &[id, text] : {std::pair{"TIT2", title}, std::pair{"TPE1", artist}}) {
        const Bytes size = syncsafe(text.size() + 1);
        body.insert(body.end(), id, id + 4);
        body.insert(body.end(), size.begin(), size.end());
        body.insert(body.end(), {0, 0, encoding});
        body.insert(body.end(), text.begin(), text.end());
    }
    Bytes tag{'I', 'D', '3', 4, 0, 0};
    const Bytes size = syncsafe(body.size());
    tag.insert(tag.end(), size.begin(), size.end());
    tag.insert(tag.end(), body.begin(), body.end());
    return tag;
}

// MPEG-TS of ADTS frames [first, first + count) with a timed ID3 tag at its start, as HLS
// stations send their song titles. The tag goes in a metadata access-unit cell (5 bytes:
// service, sequence, flags, length), which FFmpeg's TS muxer does not add but its demuxer
// takes off.
Bytes ts_segment(const std::vector<Bytes> &frames, std::size_t first, std::size_t count,
                 const Bytes &tag) {
    constexpr std::int64_t kFrameTicks = 1024LL * 90000 / 44100;
    AVFormatContext *raw = nullptr;
    if (avformat_alloc_output_context2(&raw, nullptr, "mpegts", nullptr) < 0) {
        throw std::runtime_error("mpegts muxer");
    }
    std::unique_ptr<AVFormatContext, void (*)(AVFormatContext *)> oc(
        raw, [](AVFormatContext *c) { avformat_free_context(c); });
    AVStream *audio = avformat_new_stream(oc.get(), nullptr);
    audio->codecpar->codec_type = AVMEDIA_TYPE_AUDIO;
    audio->codecpar->codec_id = AV_CODEC_ID_AAC;
    audio->codecpar->sample_rate = 44100;
    av_channel_layout_default(&audio->codecpar->ch_layout, 1);
    audio->time_base = {1, 90000};
    AVStream *data = avformat_new_stream(oc.get(), nullptr);
    data->codecpar->codec_type = AVMEDIA_TYPE_DATA;
    data->codecpar->codec_id = AV_CODEC_ID_TIMED_ID3;
    data->time_base = {1, 90000};
    if (avio_open_dyn_buf(&oc->pb) < 0 || avformat_write_header(oc.get(), nullptr) < 0) {
        throw std::runtime_error("mpegts header");
    }
    auto write = [&](int stream, const Bytes &bytes, std::int64_t pts) {
        AVPacket *pkt = av_packet_alloc();
        av_new_packet(pkt, static_cast<int>(bytes.size()));
        std::copy(bytes.begin(), bytes.end(), pkt->data);
        pkt->stream_index = stream;
        pkt->pts = pkt->dts = pts;
        av_interleaved_write_frame(oc.get(), pkt);
        av_packet_free(&pkt);
    };
    Bytes cell{0, 0, 0xDF, static_cast<std::uint8_t>(tag.size() >> 8),
               static_cast<std::uint8_t>(tag.size())};
    cell.insert(cell.end(), tag.begin(), tag.end());
    write(1, cell, static_cast<std::int64_t>(first) * kFrameTicks);
    for (std::size_t i = first; i < first + count && i < frames.size(); ++i) {
        write(0, frames[i], static_cast<std::int64_t>(i) * kFrameTicks);
    }
    av_write_trailer(oc.get());
    std::uint8_t *buffer = nullptr;
    const int size = avio_close_dyn_buf(oc->pb, &buffer);
    oc->pb = nullptr;
    Bytes out(buffer, buffer + size);
    av_free(buffer);
    return out;
}

// One change of what is playing: the bytes the station sends and what the listener gets.
struct Change {
    double at_s;                // media time it belongs to
    std::uint8_t encoding;      // of an ID3 tag
    std::string title, artist;  // as sent (ICY: the title only, "Artist - Song")
    std::string expect_title;   // as heard ("": the same as sent)
};

enum class Source { HlsId3, Icy, Icecast };

struct Row {
    const char *name;
    Source source;
    // Bounds of when a change is told against when it is heard: the heard position from
    // reports (HLS), from the start alone (live), or only when it was made (Icecast).
    double early_ms, late_ms;
    std::vector<Change> changes;  // one each kSegment seconds; a repeat is no change
};

#ifdef ORV_HAVE_ICECAST
constexpr bool kHaveIcecast = true;
#else
constexpr bool kHaveIcecast = false;
#endif
void PrintTo(const Row &row, std::ostream *os) {
    *os << row.name;
}

constexpr double kSegment = 2.0;
constexpr double kFrameS = 1024 / 44100.0;

// A live station with ICY metadata: the whole body at once (the player reads it ahead),
// then an open connection without more, so that the stream neither ends nor reconnects.
// The current title goes in every block, as SHOUTcast sends it.
class IcyStation {
  public:
    static constexpr std::size_t kMetaint = 1000;

    // Sets each change's at_s to the media time its block really starts (the block after
    // the frame that begins the segment).
    IcyStation(const std::vector<Bytes> &frames, std::vector<Change> &changes) {
        const std::size_t per = static_cast<std::size_t>(kSegment / kFrameS);
        Bytes audio;
        std::vector<std::size_t> starts;  // byte offset of each frame
        for (const Bytes &f : frames) {
            starts.push_back(audio.size());
            audio.insert(audio.end(), f.begin(), f.end());
        }
        std::size_t change = 0;
        std::string title;
        for (std::size_t at = 0; at < audio.size(); at += kMetaint) {
            body_.insert(
                body_.end(), audio.begin() + static_cast<std::ptrdiff_t>(at),
                audio.begin() + static_cast<std::ptrdiff_t>(std::min(at + kMetaint, audio.size())));
            const std::size_t next = at + kMetaint;  // the block's audio starts here
            if (change < changes.size() && change * per < starts.size() &&
                starts[change * per] < next) {
                title = changes[change].title;
                const std::size_t frame =
                    std::lower_bound(starts.begin(), starts.end(), next) - starts.begin();
                changes[change++].at_s = static_cast<double>(frame) * kFrameS;
            }
            std::string block = "StreamTitle='" + title + "';StreamUrl='http://station.test/';";
            block.resize((block.size() + 15) / 16 * 16, '\0');
            body_.push_back(static_cast<std::uint8_t>(block.size() / 16));
            body_.insert(body_.end(), block.begin(), block.end());
        }
        server_.Get("/icy", [this](const httplib::Request &req, httplib::Response &res) {
            if (req.get_header_value("Icy-MetaData") != "1") {
                res.status = 400;  // this station only serves clients that take its blocks
                return;
            }
            res.set_header("icy-name", "Test Station");
            res.set_header("icy-metaint", std::to_string(kMetaint));
            res.set_chunked_content_provider(
                "audio/aac", [this, sent = false](std::size_t, httplib::DataSink &sink) mutable {
                    if (!sent) {
                        sent = true;
                        return sink.write(reinterpret_cast<const char *>(body_.data()),
                                          body_.size());
                    }
                    std::this_thread::sleep_for(20ms);
                    return !done_.load();
                });
        });
        port_ = server_.bind_to_any_port("127.0.0.1");
        thread_ = std::thread([this] { server_.listen_after_bind(); });
        while (!server_.is_running()) {
            std::this_thread::sleep_for(5ms);
        }
    }
    ~IcyStation() {
        done_ = true;
        server_.stop();
        thread_.join();
    }
    std::string url() const { return "http://127.0.0.1:" + std::to_string(port_) + "/icy"; }

  private:
    Bytes body_;
    std::atomic<bool> done_{false};
    httplib::Server server_;
    int port_ = 0;
    std::thread thread_;
};

// An HLS stream of one segment per change, each with its timed ID3 tag, played to its end.
void play_hls(const std::vector<Bytes> &frames, const std::vector<Change> &changes) {
    const std::size_t segments = changes.size();
    const std::size_t per = static_cast<std::size_t>(kSegment / kFrameS);
    MediaServer server;
    std::string list = "#EXTM3U\n#EXT-X-VERSION:3\n#EXT-X-TARGETDURATION:3\n";
    for (std::size_t i = 0; i < segments; ++i) {
        const Change &c = changes[i];
        const std::string name = "id3/" + std::to_string(i) + ".ts";
        server.add(name, ts_segment(frames, i * per, per, id3_tag(c.encoding, c.title, c.artist)),
                   "video/mp2t");
        list +=
            "#EXTINF:" + std::to_string(per * 1024 / 44100.0) + ",\n" + std::to_string(i) + ".ts\n";
    }
    list += "#EXT-X-ENDLIST\n";
    server.add("id3/list.m3u8", Bytes(list.begin(), list.end()), "application/vnd.apple.mpegurl");
    IjkMediaPlayer_setDataSourceAndHeaders(server.url("file", "id3/list.m3u8").c_str());
    IjkMediaPlayer_prepareAsync(0, 4);
    ASSERT_TRUE(Events::get().wait_for(ORV_EVENT_COMPLETED, -1, 40s));
    stop_heard_out();
}

// A live Icecast mount (MP3, fed by ffmpeg) whose song is changed through Icecast's admin
// interface each kSegment seconds. Each change's at_s becomes the time of the change after
// the start: when it is heard cannot be seen from here (the rows of our own station check
// that), so the change is due within the row's bound of being made.
void play_icecast(double hz, std::vector<Change> &changes) {
    if (!kHaveIcecast) {
        GTEST_SKIP() << "icecast2 or ffmpeg missing (scripts/install-deps)";
    }
    const std::string mount = "/song.mp3";
    IcecastServer server;
    IcecastSource source(server, mount, LiveCodec::Mp3, hz);
    ASSERT_TRUE(server.wait_on_air(mount, 30s));
    IjkMediaPlayer_setDataSourceAndHeaders(server.url(mount).c_str());
    IjkMediaPlayer_prepareAsync(0, 4);
    ASSERT_TRUE(Events::get().wait_for(ORV_EVENT_PREPARED, -1, 20s));
    const Clock::time_point start = Clock::now();
    httplib::Client admin("127.0.0.1", server.port());
    admin.set_basic_auth("admin", "rv-admin");
    for (std::size_t i = 0; i < changes.size(); ++i) {
        std::this_thread::sleep_until(start + std::chrono::duration<double>(0.5 + kSegment * i));
        std::string song;
        for (const unsigned char c : changes[i].title) {
            static constexpr char kHex[] = "0123456789ABCDEF";
            song += std::isalnum(c) ? std::string(1, static_cast<char>(c))
                                    : std::string{'%', kHex[c >> 4], kHex[c & 15]};
        }
        const auto res = admin.Get("/admin/metadata?mount=" + mount +
                                   "&mode=updinfo&charset=UTF-8&song=" + song);
        ASSERT_TRUE(res && res->status == 200) << "admin metadata " << i;
        changes[i].at_s = std::chrono::duration<double>(Clock::now() - start).count();
    }
    std::this_thread::sleep_for(2500ms);
    stop_heard_out();
}

class NowPlayingHeard : public PlayerTest, public ::testing::WithParamInterface<Row> {};

// Each change reaches the listener once, with its text in UTF-8, when its audio is heard
// (not when it was read ahead), in order.
TEST_P(NowPlayingHeard, OncePerChangeWhenItsAudioIsHeard) {
    Row row = GetParam();
    const std::size_t segments = row.changes.size();
    const double hz = rvtone::frequency_for_audio_id(17);
    const auto frames = adts_frames(tone_file(rvtone::Codec::Aac, hz, kSegment * segments));
    Capture capture(row.name);
    if (row.source == Source::Icecast) {
        play_icecast(hz, row.changes);
    } else if (row.source == Source::Icy) {
        IcyStation station(frames, row.changes);
        IjkMediaPlayer_setDataSourceAndHeaders(station.url().c_str());
        IjkMediaPlayer_prepareAsync(0, 4);
        ASSERT_TRUE(Events::get().wait_for(ORV_EVENT_PREPARED, -1, 20s));
        std::this_thread::sleep_for(std::chrono::duration<double>(kSegment * segments - 0.5));
        stop_heard_out();
    } else {
        play_hls(frames, row.changes);
    }
    if (IsSkipped() || HasFatalFailure()) {
        return;
    }

    std::vector<Change> expected;
    for (const Change &c : row.changes) {
        if (expected.empty() || expected.back().title != c.title ||
            expected.back().artist != c.artist) {
            expected.push_back(c);
        }
    }
    // Heard position at each change: the last position report before it, moved on by the
    // time since.
    std::vector<Event> heard;
    double position_ms = 0;
    Clock::time_point position_at{};
    std::vector<double> heard_at_ms;
    for (const Event &e : Events::get().snapshot()) {
        if (e.what == ORV_EVENT_PREPARED) {
            position_at = e.at;
        } else if (e.what == ORV_EVENT_POSITION) {
            position_ms = e.arg1;
            position_at = e.at;
        } else if (e.what == kNowPlaying) {
            heard.push_back(e);
            heard_at_ms.push_back(
                position_ms +
                std::chrono::duration<double, std::milli>(e.at - position_at).count());
        }
    }
    ASSERT_EQ(heard.size(), expected.size());
    for (std::size_t i = 0; i < heard.size(); ++i) {
        const Change &c = expected[i];
        EXPECT_EQ(heard[i].title, c.expect_title.empty() ? c.title : c.expect_title) << i;
        EXPECT_EQ(heard[i].artist, c.artist) << i;
        // Read ahead it would come about 300 ms early (the output's lead and what is decoded).
        EXPECT_GT(heard_at_ms[i] - c.at_s * 1000, row.early_ms) << "change " << i << " came early";
        EXPECT_LT(heard_at_ms[i] - c.at_s * 1000, row.late_ms) << "change " << i << " came late";
    }
}

const Row kRows[] = {
    Row{"HlsId3",
        Source::HlsId3,
        -150,
        500,
        {{0.0, 3, "Caf\xc3\xa9 Noir", "Quartet", ""},
         {2.0, 3, "Caf\xc3\xa9 Noir", "Quartet", ""},
         {4.0, 0, "M\xfcller Song", "Band", "M\xc3\xbcller Song"},
         {6.0, 3, "\xd0\x9d\xd0\xbe\xd1\x87\xd1\x8c", "Artist", ""}}},
    Row{"IcyLatin1",
        Source::Icy,
        -150,
        2000,
        {{0.0, 0, "M\xfcller - Sommerlied", "", "M\xc3\xbcller - Sommerlied"},
         {2.0, 0, "M\xfcller - Sommerlied", "", "M\xc3\xbcller - Sommerlied"},
         {4.0, 0, "Band - Caf\xe9", "", "Band - Caf\xc3\xa9"}}},
    Row{"IcyUtf8",
        Source::Icy,
        -150,
        2000,
        {{0.0, 0, "\xd0\x9d\xd0\xbe\xd1\x87\xd1\x8c - Song", "", ""},
         {2.0, 0, "Rock 'n' Roll; Live", "", ""},
         {4.0, 0, "Caf\xc3\xa9 - Noir", "", ""}}},
    // Icecast may send an MP3 mount's titles in Latin-1.
    Row{"Icecast",
        Source::Icecast,
        0,
        2000,
        {{0.0, 0, "M\xc3\xbcller - Caf\xc3\xa9", "", ""},
         {2.0, 0, "Band - Stra\u00dfe", "", ""},
         {4.0, 0, "Band - Stra\u00dfe", "", ""},
         {6.0, 0, "Trio - Rock 'n' Roll", "", ""}}},
};

INSTANTIATE_TEST_SUITE_P(Rows, NowPlayingHeard, ::testing::ValuesIn(kRows),
                         [](const auto &info) { return std::string(info.param.name); });

}  // namespace
}  // namespace rvtest
