// What the engine must play: every row is a real encoder's file (the ffmpeg command line)
// behind one behaviour of a host (the link server). Each row is prepared and heard whole
// and once at its pitch, with its duration and positions where the length is known; a live
// one plays on without an end; a host that gives nothing ends in an error in time.
// CTest runs each row as a test of its own.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>

#include "link_server.h"
#include "orvellaplayer.h"
#include "player_harness.h"

namespace rvtest {
namespace {

namespace fs = std::filesystem;
using Body = LinkServer::Body;
using Resume = LinkServer::Resume;

constexpr int kRate = 48000;  // every file is encoded at it, mono
constexpr double kToneS = 2.5;
constexpr double kGiveUpS = 30;  // docs/behaviour.md: a source without progress this long

// PartThenError: what came before the cut is heard at once, then one error.
enum class Expect { Whole, Unsized, Live, Error, PartThenError };

struct Codec {
    const char *args;  // ffmpeg's output options
    const char *ext;
    const char *mime;
};

const Codec kMp3{"-c:a libmp3lame -b:a 64k", "mp3", "audio/mpeg"};
// Bare frames of 192 bytes (64 kbit/s at 48 kHz), as a station sends them.
const Codec kMp3Live{"-c:a libmp3lame -b:a 64k -id3v2_version 0 -write_xing 0", "mp3",
                     "audio/mpeg"};
constexpr std::int64_t kMp3LiveFrame = 192;
const Codec kAdts{"-c:a aac -b:a 64k -f adts", "aac", "audio/aac"};
const Codec kM4a{"-c:a aac -b:a 64k -f mp4", "m4a", "audio/mp4"};  // the index at the end
const Codec kVorbis{"-c:a libvorbis -q:a 3", "ogg", "audio/ogg"};
const Codec kOpus{"-c:a libopus -b:a 64k -f ogg", "opus", "audio/ogg"};
const Codec kFlac{"-c:a flac", "flac", "audio/flac"};
const Codec kWav{"-c:a pcm_s16le", "wav", "audio/wav"};
// 384 KB/s: a station's metadata interval of more than 1 MiB is reached within seconds.
const Codec kWavWide{"-c:a pcm_f64le", "wav", "audio/wav"};
// AES-128 HLS: ffmpeg's muxer with a key info file; the playlist names the key by its URL.
const Codec kHlsAes{
    "-c:a aac -b:a 64k -f hls -hls_time 1 -hls_playlist_type vod "
    "-hls_key_info_file keyinfo -hls_segment_filename seg%d.ts",
    "m3u8", "application/vnd.apple.mpegurl"};

const Codec kHls{
    "-c:a aac -b:a 64k -f hls -hls_time 1 -hls_playlist_type vod "
    "-hls_segment_filename seg%d.ts",
    "m3u8", "application/vnd.apple.mpegurl"};

struct Row {
    const char *label;
    Codec codec;
    Body body;
    Expect expect;
    double cut_first_at = -1;  // the first answer breaks off at this share of the file
    bool refuse_after_first = false;
    double speed = 4;     // the link's rate in times the file's byte rate
    double reread_s = 0;  // > 0: after the cut, what was had takes this long to come again
    Resume resume = Resume::AsAsked;
    bool redirected_variant = false;  // a master whose variant is redirected elsewhere
    const char *scheme = "http";      // as the play URL spells it
    std::int64_t icy_metaint = 0;     // Icy: its metadata interval
    bool concat_list = false;         // played through an ffconcat list that names the file
    bool local_fifo = false;          // the play URL is the path of a FIFO no one writes to
    double prefetched_s = 0;          // > 0: prefetched this long before it is prepared
    bool deaf_dns = false;            // its host named, through a DNS server that never answers
};

void PrintTo(const Row &row, std::ostream *os) {
    *os << row.label;
}

const Row kRows[] = {
    {"mp3_ranged", kMp3, Body::Ranged, Expect::Whole},
    {"adts_ranged", kAdts, Body::Ranged, Expect::Whole},
    {"m4a_index_at_end_ranged", kM4a, Body::Ranged, Expect::Whole},
    {"vorbis_ranged", kVorbis, Body::Ranged, Expect::Whole},
    {"opus_ranged", kOpus, Body::Ranged, Expect::Whole},
    {"flac_ranged", kFlac, Body::Ranged, Expect::Whole},
    {"wav_ranged", kWav, Body::Ranged, Expect::Whole},
    {"mp3_without_ranges", kMp3, Body::NoRanges, Expect::Whole},
    {"adts_without_ranges", kAdts, Body::NoRanges, Expect::Whole},
    {"m4a_index_at_end_without_ranges", kM4a, Body::NoRanges, Expect::Whole},
    {"vorbis_without_ranges", kVorbis, Body::NoRanges, Expect::Whole},
    {"flac_without_ranges", kFlac, Body::NoRanges, Expect::Whole},
    {"wav_without_ranges", kWav, Body::NoRanges, Expect::Whole},
    {"mp3_chunked", kMp3, Body::Chunked, Expect::Unsized},
    // A file without a length from a host with ranges resumes at the byte, not from 0.
    {"mp3_chunked_with_ranges_cut", kMp3, Body::ChunkedRanged, Expect::Unsized, 0.5},
    {"mp3_scheme_in_capitals", kMp3, Body::Ranged, Expect::Whole, -1, false, 4, 0, Resume::AsAsked,
     false, "HTTP"},
    {"mp3_cut_resumed", kMp3, Body::Ranged, Expect::Whole, 0.5},
    {"mp3_cut_host_ignores_range", kMp3, Body::NoRanges, Expect::Whole, 0.5, false, 1.5},
    // The output runs dry for longer than the give-up time while the bytes it had come
    // again: still progress, so the file is heard to its end.
    {"mp3_cut_host_ignores_range_slow_reread", kMp3, Body::NoRanges, Expect::Whole, 0.75, false, 4,
     36},
    {"mp3_resume_206_earlier_start", kMp3, Body::Ranged, Expect::Whole, 0.5, false, 4, 0,
     Resume::EarlierStart},
    {"mp3_resume_206_without_content_range", kMp3, Body::Ranged, Expect::Whole, 0.5, false, 4, 0,
     Resume::NoContentRange},
    // Another file of the same length behind the same URL after the cut: not spliced on.
    {"mp3_resume_file_changed", kMp3, Body::Ranged, Expect::Error, 0.5, false, 4, 0,
     Resume::FileChanged},
    {"hls_aes128", kHlsAes, Body::Ranged, Expect::Whole},
    // Its segments are relative to where the variant really is.
    {"hls_redirected_variant", kHls, Body::Ranged, Expect::Whole, -1, false, 4, 0, Resume::AsAsked,
     true},
    {"mp3_shoutcast_icy_200", kMp3Live, Body::Icy, Expect::Live},
    // A metadata block misread as audio shifts every later sample: noise to the end.
    {"wav_icy_metaint_above_1mib", kWavWide, Body::Icy, Expect::Live, -1, false, 4, 0,
     Resume::AsAsked, false, "http", (1 << 20) + 8},
    {"mp3_relay_fake_length_cut", kMp3Live, Body::FakeLength, Expect::Live, 0.15},
    // Every connection after the first is refused: the demuxer's look at the file's end
    // while the body still comes, then the resume.
    {"adts_cut_then_refused", kAdts, Body::Ranged, Expect::PartThenError, 0.4, true},
    // A demuxer found by probing opens its entries itself: none may reach the network
    // past our fetcher, whose TLS, proxy and resolver settings it would skip.
    {"mp3_behind_concat_list", kMp3, Body::Ranged, Expect::Error, -1, false, 4, 0, Resume::AsAsked,
     false, "http", 0, true},
    // A prefetched file is played from what was fetched; a station's prefetch holds the
    // past and is not used: the station is asked again.
    {"mp3_prefetched", kMp3, Body::Ranged, Expect::Whole, -1, false, 4, 0, Resume::AsAsked, false,
     "http", 0, false, false, 3},
    {"mp3_shoutcast_prefetched", kMp3Live, Body::Icy, Expect::Live, -1, false, 4, 0,
     Resume::AsAsked, false, "http", 0, false, false, 3},
    // The user's DNS server is asked once per source, not again on every resume (each
    // ask of a deaf one costs its two seconds).
    {"mp3_cut_resumed_deaf_dns", kMp3, Body::Ranged, Expect::Whole, 0.5, false, 4, 0,
     Resume::AsAsked, false, "http", 0, false, false, 0, true},
    // Opening a FIFO waits for a writer, uninterruptibly: stop would wait for ever.
    {"local_fifo", kMp3, Body::Ranged, Expect::Error, -1, false, 4, 0, Resume::AsAsked, false,
     "http", 0, false, true},
};

// Each row's own pitch, so that no row is heard in another's capture.
double pitch(const Row &row) {
    const auto at = std::find_if(std::begin(kRows), std::end(kRows), [&](const Row &r) {
        return std::string_view(r.label) == row.label;
    });
    return 400 + 50.0 * static_cast<double>(at - std::begin(kRows));
}

std::vector<std::uint8_t> slurp(const fs::path &path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

using Files = std::map<std::string, std::vector<std::uint8_t>>;

// The row's tone as the encoder writes it, by file name: the file itself, or a playlist
// with its segments and key (named relative to the playlist).
Files encode(const Row &row, double seconds, double hz) {
    const fs::path dir =
        fs::temp_directory_path() / ("orv-conf-" + std::to_string(getpid()) + "-" + row.label);
    fs::create_directories(dir);
    std::ofstream(dir / "key.bin", std::ios::binary) << "0123456789abcdef";
    std::ofstream(dir / "keyinfo") << "key.bin\n" << (dir / "key.bin").string() << "\n";
    char command[1024];
    std::snprintf(command, sizeof command,
                  "cd '%s' && '%s' -nostdin -hide_banner -loglevel error -y -f lavfi -i "
                  "sine=frequency=%g:duration=%g:sample_rate=%d -ac 1 %s tone.%s",
                  dir.c_str(), FFMPEG_PATH, hz, seconds, kRate, row.codec.args, row.codec.ext);
    EXPECT_EQ(std::system(command), 0) << command;
    Files files;
    for (const auto &entry : fs::directory_iterator(dir)) {
        if (entry.path().filename() != "keyinfo") {
            files[entry.path().filename()] = slurp(entry.path());
        }
    }
    fs::remove_all(dir);
    return files;
}

class Conformance : public PlayerTest, public ::testing::WithParamInterface<Row> {};

TEST_P(Conformance, PreparedHeardWholeOnceAndReported) {
    const Row &row = GetParam();
    const bool live = row.expect == Expect::Live;
    // A station's audio outlasts what the row listens to.
    const double seconds = live ? 6 * kToneS : kToneS;
    Files files = encode(row, seconds, pitch(row));
    const std::string name = std::string("tone.") + row.codec.ext;
    if (row.resume == Resume::FileChanged) {
        files[name + "~2"] = encode(row, seconds, pitch(row) + 1000)[name];
    }
    ASSERT_TRUE(files.contains(name));
    double bytes = 0;
    for (const auto &[file, data] : files) {
        bytes += file.ends_with("~2") ? 0 : static_cast<double>(data.size());
    }
    LinkServer::Link link;
    if (row.redirected_variant) {
        Files moved;
        for (auto &[file, data] : files) {
            moved[(file == name ? "sub/v.m3u8" : "sub/" + file)] = std::move(data);
        }
        const std::string master = "#EXTM3U\n#EXT-X-STREAM-INF:BANDWIDTH=64000\nv.m3u8\n";
        moved[name] = {master.begin(), master.end()};
        files = std::move(moved);
        link.redirects["v.m3u8"] = "/sub/v.m3u8";
    }
    link.body = row.body;
    link.rate = row.speed * bytes / seconds;
    link.live_rate = bytes / seconds;
    link.frame_bytes = live ? kMp3LiveFrame : 1;
    link.icy_metaint = row.icy_metaint;
    link.refuse_after_first = row.refuse_after_first;
    link.resume = row.resume;
    if (row.cut_first_at >= 0) {  // at least past the head and the first frames
        link.cut_first_after = std::max<std::int64_t>(
            8192, static_cast<std::int64_t>(row.cut_first_at * static_cast<double>(bytes)));
    }
    if (row.reread_s > 0) {
        link.rate_after_cut = static_cast<double>(link.cut_first_after) / row.reread_s;
    }
    LinkServer server(link);
    for (const auto &[file, data] : files) {
        const bool segment = fs::path(file).extension() == ".ts";
        server.add(file, data,
                   file == name ? row.codec.mime
                   : segment    ? "video/mp2t"
                                : "application/octet-stream");
    }
    if (row.concat_list) {
        const std::string list = "ffconcat version 1.0\nfile " + name + "\n";
        server.add("list", {list.begin(), list.end()}, "application/octet-stream");
    }
    Capture capture(row.label);
    std::string url = row.scheme + server.url(row.concat_list ? "list" : name).substr(4);
    if (row.local_fifo) {
        url = (fs::temp_directory_path() / ("orv-fifo-" + std::to_string(getpid()))).string();
        ASSERT_EQ(mkfifo(url.c_str(), 0600), 0);
    }
    const struct Unlink {
        std::string path;
        ~Unlink() { ::unlink(path.c_str()); }
    } fifo{row.local_fifo ? url : std::string()};
    DeafDns dns;
    if (row.deaf_dns) {
        url.replace(url.find("127.0.0.1"), 9, "localhost");
        IJKMediaPlayer_setDns_Address(dns.address().c_str());
    }
    if (row.prefetched_s > 0) {
        IjkMediaPlayer_prefetch(url.c_str());
        std::this_thread::sleep_for(std::chrono::duration<double>(row.prefetched_s));
    }
    IjkMediaPlayer_setDataSourceAndHeaders(url.c_str());
    ASSERT_EQ(IjkMediaPlayer_prepareAsync(0, 4), 0);
    if (row.expect == Expect::Error) {
        EXPECT_TRUE(Events::get().wait_for(ORV_EVENT_ERROR, -1,
                                           std::chrono::seconds(static_cast<int>(kGiveUpS) + 10)))
            << "no error from a host that gives nothing";
        stop_heard_out();
        return;
    }
    if (row.expect == Expect::PartThenError) {
        ASSERT_TRUE(Events::get().wait_for(ORV_EVENT_ERROR, -1,
                                           std::chrono::seconds(static_cast<int>(kGiveUpS) + 10)));
        stop_heard_out();
        const auto events = Events::get().snapshot();
        const auto at = [&](int what) {
            const auto e = std::find_if(events.begin(), events.end(),
                                        [&](const Event &e) { return e.what == what; });
            return e == events.end() ? Clock::time_point::max() : e->at;
        };
        // Prepared on what came, not after waiting out the refusals.
        EXPECT_LT(at(ORV_EVENT_PREPARED), at(ORV_EVENT_ERROR) - std::chrono::seconds(15));
        EXPECT_EQ(Events::get().count(ORV_EVENT_ERROR), 1);
        EXPECT_EQ(Events::get().count(ORV_EVENT_COMPLETED), 0) << "a break told as the end";
        const double heard = rvtone::tone_seconds(capture.read(kRate, 1).mono(), kRate, pitch(row));
        EXPECT_GT(heard, 0.2 * seconds);
        EXPECT_LT(heard, 0.6 * seconds);
        return;
    }
    if (live) {
        std::this_thread::sleep_for(std::chrono::duration<double>(3 * kToneS));
    } else {
        const auto deadline = Clock::now() + 40s + std::chrono::duration<double>(row.reread_s);
        while (Events::get().count(ORV_EVENT_COMPLETED) == 0 &&
               Events::get().count(ORV_EVENT_ERROR) == 0 && Clock::now() < deadline) {
            std::this_thread::sleep_for(50ms);
        }
        std::this_thread::sleep_for(500ms);  // a replay or a second end would show now
    }
    stop_heard_out();
    EXPECT_EQ(Events::get().count(ORV_EVENT_ERROR), 0);
    EXPECT_EQ(Events::get().count(ORV_EVENT_COMPLETED), live ? 0 : 1);
    int positions = 0;
    int last = -1;
    for (const Event &e : Events::get().snapshot()) {
        if (e.what == ORV_EVENT_POSITION) {
            ++positions;
            EXPECT_NEAR(e.arg2, seconds * 1000, 300) << "duration";
            EXPECT_GE(e.arg1, last);
            last = e.arg1;
        }
    }
    if (row.expect == Expect::Whole) {
        EXPECT_GE(positions, static_cast<int>(seconds * 2) - 2) << "no position reports";
        EXPECT_GT(last, (seconds - 1) * 1000);
    } else {
        EXPECT_EQ(positions, 0);
    }
    const auto mono = capture.read(kRate, 1).mono();
    const double heard = rvtone::tone_seconds(mono, kRate, pitch(row));
    if (live) {
        // Stalls may cost a station some seconds; noise costs the rest of what is heard.
        EXPECT_GT(heard, row.icy_metaint > 0 ? 2 * kToneS : kToneS)
            << Events::get().count(ORV_EVENT_INFO, ORV_INFO_BUFFERING_START) << " stalls, "
            << server.requests().size() << " requests";
    } else {
        EXPECT_NEAR(heard, seconds, 0.15);
        EXPECT_NEAR(static_cast<double>(mono.size()) / kRate, seconds, 0.25) << "not once";
    }
    if (row.prefetched_s > 0) {
        EXPECT_EQ(server.requests().size(), live ? 2U : 1U) << "prefetch used or not";
    }
    if (row.deaf_dns) {
        IjkMediaPlayer_clearDns_Address();
        EXPECT_EQ(dns.queries(), 1) << server.requests().size() << " requests";
    }
    // A live answer is never asked for by the byte: a relay would send the present anyway.
    for (const auto &r : server.requests()) {
        if (live) {
            EXPECT_EQ(r.range_from, -1) << r.path;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Rows, Conformance, ::testing::ValuesIn(kRows),
                         [](const auto &info) { return std::string(info.param.label); });

}  // namespace
}  // namespace rvtest
