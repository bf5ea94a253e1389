// Which demuxer a network source gets: its Content-Type first, else its URL's extension;
// and what an input read from the caller's own reader does.
#include <gtest/gtest.h>
#include <tone.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "media_input.h"
#include "memory_io.h"
#include "orvellaplayer.h"

namespace {

std::string named(const char *content_type, const std::string &url) {
    const AVInputFormat *format = orv::demuxer_for(content_type, url);
    return format != nullptr ? format->name : "probe";
}

TEST(DemuxerChoice, ContentTypeNamesItWhateverTheUrlSays) {
    const std::string url = "http://radio.example/stream.ogg";
    EXPECT_EQ(named("audio/mpeg", url), "mp3");
    EXPECT_EQ(named("audio/aac", url), "aac");
    EXPECT_EQ(named("audio/aacp", url), "aac");
    EXPECT_EQ(named("application/ogg", "http://radio.example/a.mp3"), "ogg");
    EXPECT_EQ(named("audio/ogg", "http://radio.example/a.mp3"), "ogg");
    EXPECT_EQ(named("audio/x-mpegurl", url), "hls");
    EXPECT_EQ(named("application/vnd.apple.mpegurl", url), "hls");
    // Parameters, case and spaces do not matter.
    EXPECT_EQ(named(" Audio/MPEG ; charset=binary", url), "mp3");
}

TEST(DemuxerChoice, ExtensionOfThePathNamesItWhenTheTypeDoesNot) {
    EXPECT_EQ(named("application/octet-stream", "http://h/live/radio.mp3?token=a.b"), "mp3");
    EXPECT_EQ(named(nullptr, "https://h/live.AAC#x.ogg"), "aac");
    EXPECT_EQ(named("text/plain", "http://h/hls/index.m3u8"), "hls");
    EXPECT_EQ(named("", "http://h/a.oga"), "ogg");
}

TEST(DemuxerChoice, NeitherNamingOneMeansProbing) {
    EXPECT_EQ(named("application/octet-stream", "http://h/stream"), "probe");
    EXPECT_EQ(named(nullptr, "http://radio.example.com"), "probe");  // a dot in the host
    EXPECT_EQ(named(nullptr, "http://radio.example.com/"), "probe");
    EXPECT_EQ(named(nullptr, "http://h/v1.2/stream"), "probe");          // a dot in a folder
    EXPECT_EQ(named(nullptr, "http://h/stream?format=a.mp3"), "probe");  // in the query only
    EXPECT_EQ(named("audio/x-unknown", "http://h/a.xyz"), "probe");
}

// The variant of a master playlist: the highest bandwidth under the cap, else the lowest;
// its URI read against the playlist's own URL.
TEST(HlsVariant, HighestUnderTheCapElseTheLowestResolvedAgainstThePlaylist) {
    const std::string master =
        "#EXTM3U\r\n#EXT-X-STREAM-INF:CODECS=\"mp4a.40.2,BANDWIDTH=1\",BANDWIDTH=256000\r\n"
        "hi.m3u8\r\n#EXT-X-STREAM-INF:AVERAGE-BANDWIDTH=9,BANDWIDTH=64000\nlo.m3u8\n"
        "#EXT-X-STREAM-INF:BANDWIDTH=128000\n/abs/mid.m3u8\n";
    EXPECT_EQ(orv::choose_variant(master, 192000), "/abs/mid.m3u8");
    EXPECT_EQ(orv::choose_variant(master, 1000000), "hi.m3u8");
    EXPECT_EQ(orv::choose_variant(master, 32000), "lo.m3u8");
    EXPECT_EQ(orv::choose_variant("#EXTM3U\n#EXTINF:1,\nseg.aac\n", 192000), std::nullopt);

    const std::string base = "https://cdn.example:8443/radio/hls/master.m3u8?token=a/b";
    EXPECT_EQ(orv::resolve_url(base, "lo.m3u8"), "https://cdn.example:8443/radio/hls/lo.m3u8");
    EXPECT_EQ(orv::resolve_url(base, "/abs/mid.m3u8"), "https://cdn.example:8443/abs/mid.m3u8");
    EXPECT_EQ(orv::resolve_url(base, "//other/x.m3u8"), "https://other/x.m3u8");
    EXPECT_EQ(orv::resolve_url(base, "http://h/x.m3u8"), "http://h/x.m3u8");
    EXPECT_EQ(orv::resolve_url("http://h", "x.m3u8"), "http://h/x.m3u8");
}

int never(void *) {
    return 0;
}

struct Opened {
    int detail;
    int av_error;
};

Opened open_from(orv::MediaInput &input, const orv::MemoryIo &io, const char *name) {
    orv::InputOptions options;
    options.url = name;
    options.io = io.get();
    Opened got{};
    got.detail = input.open(options, &got.av_error);
    return got;
}

std::vector<std::uint8_t> tone(rvtone::Codec codec, double seconds) {
    rvtone::ToneSpec wanted;
    wanted.duration_s = seconds;
    return rvtone::encode_tone(codec, wanted);
}

TEST(MemoryInput, DecodesEncodedMediaFromTheCallersReaderAndSeeksInIt) {
    for (rvtone::Codec codec : {rvtone::Codec::Aac, rvtone::Codec::Mp3}) {
        const std::vector<std::uint8_t> bytes = tone(codec, 1.0);
        orv::MemoryIo io(bytes);
        ASSERT_NE(io.get(), nullptr);
        orv::MediaInput input(&never, nullptr);
        ASSERT_EQ(open_from(input, io, "tone").detail, 0);
        EXPECT_EQ(input.sample_rate(), 44100);
        EXPECT_EQ(input.channels(), 1);
        EXPECT_FALSE(input.is_network());
        ASSERT_TRUE(input.seekable());

        auto frames_to_end = [&input] {
            std::vector<std::int16_t> pcm;
            int detail = 0;
            int av_error = 0;
            while (input.read(pcm, &detail, &av_error) == orv::MediaInput::Read::Data) {
            }
            return static_cast<long>(pcm.size());
        };
        // A second of audio, give or take the codec's padding (one or two frames).
        EXPECT_NEAR(frames_to_end(), 44100, 2 * 1152);
        ASSERT_TRUE(input.seek(500));
        EXPECT_NEAR(frames_to_end(), 22050, 2 * 1152);
    }
}

// Files that declare their encoder delay and padding play exactly their samples, and a
// seek counts from the first sample heard, not from the encoder's first.
TEST(MemoryInput, DeclaredDelayAndPaddingAreNotHeardAndSeeksCountWithoutThem) {
    for (rvtone::Codec codec : {rvtone::Codec::Mp3, rvtone::Codec::Mp4Aac}) {
        SCOPED_TRACE(rvtone::mime_type(codec));
        rvtone::ToneSpec wanted;
        wanted.lame_header = true;
        const std::vector<std::uint8_t> bytes = rvtone::encode_tone(codec, wanted);
        orv::MemoryIo io(bytes);
        orv::MediaInput input(&never, nullptr);
        ASSERT_EQ(open_from(input, io, "tone").detail, 0);
        auto frames_to_end = [&input] {
            std::vector<std::int16_t> pcm;
            int detail = 0;
            int av_error = 0;
            while (input.read(pcm, &detail, &av_error) == orv::MediaInput::Read::Data) {
            }
            return pcm.size();
        };
        EXPECT_EQ(frames_to_end(), 44100u);
        ASSERT_TRUE(input.seek(500));
        EXPECT_EQ(frames_to_end(), 22050u);
    }
}

// A playlist read from memory names a real, playable file: it must stay unopened.
TEST(MemoryInput, OpensNothingThatTheBytesReferTo) {
    char path[] = "/tmp/orv_memory_input_XXXXXX.aac";
    const int fd = mkstemps(path, 4);
    ASSERT_GE(fd, 0);
    const std::vector<std::uint8_t> media = tone(rvtone::Codec::Aac, 1.0);
    ASSERT_EQ(write(fd, media.data(), media.size()), static_cast<ssize_t>(media.size()));
    close(fd);
    const std::string text = std::string("#EXTM3U\n#EXT-X-TARGETDURATION:1\n#EXTINF:1.0,\nfile:") +
                             path + "\n#EXT-X-ENDLIST\n";
    const std::vector<std::uint8_t> playlist(text.begin(), text.end());

    orv::MemoryIo io(playlist);
    orv::MediaInput input(&never, nullptr);
    const Opened got = open_from(input, io, "index.m3u8");
    unlink(path);
    EXPECT_NE(got.detail, 0);
    EXPECT_LT(got.av_error, 0);
}

// Found by fuzzing: a header claiming a sample rate of over a gigahertz made the
// resampler's set-up run for minutes, holding the player's session thread.
TEST(MemoryInput, RefusesADamagedHeaderClaimingAnAbsurdSampleRate) {
    const std::string header = "CRYO_APC[" + std::string(24, 'J');
    const std::vector<std::uint8_t> bytes(header.begin(), header.end());
    orv::MemoryIo io(bytes);
    orv::MediaInput input(&never, nullptr);
    const Opened got = open_from(input, io, "damaged");
    EXPECT_EQ(got.detail, ORV_ERROR_NO_AUDIO);
    EXPECT_EQ(got.av_error, AVERROR_INVALIDDATA);
}

}  // namespace
