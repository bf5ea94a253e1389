// Media decode (with FFmpeg) to the documented tone; lengths, ranges, the
// demo's long file, live streams, HLS and back-play files.
#include <tone.h>

#include "mock_test_support.h"

namespace rvmock_test {
namespace {

class Media : public MockServiceTest {
  protected:
    static rvtone::Pcm decode(const std::string &bytes) {
        return rvtone::decode(std::span<const std::uint8_t>(
            reinterpret_cast<const std::uint8_t *>(bytes.data()), bytes.size()));
    }
    // The tone fills the middle of the signal (edges hold encoder ramps).
    static void expect_tone(const rvtone::Pcm &pcm, double hz) {
        std::vector<std::int16_t> mono = pcm.mono();
        ASSERT_GT(mono.size(), static_cast<size_t>(pcm.sample_rate / 2));
        std::span<const std::int16_t> middle(mono.data() + mono.size() / 4, mono.size() / 2);
        EXPECT_NEAR(rvtone::dominant_frequency(middle, pcm.sample_rate), hz, 10.0);
        EXPECT_GT(rvtone::tone_fraction(middle, pcm.sample_rate, hz), 0.8);
    }
};

TEST_F(Media, AudioFilesDecodeToTheirAudioIdsTone) {
    for (const char *format : {"aac_64.aac", "aac_32.aac", "mp3_64.mp3", "mp3_32.mp3"}) {
        SCOPED_TRACE(format);
        Response file = fetch(http(std::string("/media/audio/3000000101/") + format));
        ASSERT_EQ(file.status, 200);
        EXPECT_EQ(file.content_length, static_cast<long long>(file.body.size()));
        rvtone::Pcm pcm = decode(file.body);
        EXPECT_NEAR(pcm.duration_s(), 2.0, 0.2);  // the audio's "duration" is 2000 ms
        expect_tone(pcm, rvtone::frequency_for_audio_id(3000000101));
    }
    Response other = fetch(http("/media/audio/3000000102/aac_64.aac"));
    expect_tone(decode(other.body), rvtone::frequency_for_audio_id(3000000102));
    EXPECT_EQ(fetch(http("/media/audio/3000000102/mp3_64.aac")).status, 404);
    EXPECT_EQ(fetch(http("/media/audio/42/aac_64.aac")).status, 404);
}

TEST_F(Media, ByteRangesReturnExactlyThoseBytes) {
    Response whole = fetch(http("/media/audio/3000000402/aac_128.aac"));
    ASSERT_GT(whole.body.size(), 5000u);
    Options range;
    range.range = "1000-4999";
    Response part = fetch(http("/media/audio/3000000402/aac_128.aac"), range);
    EXPECT_EQ(part.status, 206);
    EXPECT_EQ(part.body, whole.body.substr(1000, 4000));
    Options head;
    head.method = "HEAD";
    Response headers = fetch(http("/media/audio/3000000402/aac_128.aac"), head);
    EXPECT_EQ(headers.content_length, static_cast<long long>(whole.body.size()));
    EXPECT_TRUE(headers.body.empty());
}

TEST_F(Media, TheDemoStreamIsALong64kAacFile) {
    Response file = fetch(http("/mz/aac_64/201403/5c565be6-e38e-416f-8347-a81a31f5f864.aac"));
    ASSERT_EQ(file.status, 200);
    EXPECT_EQ(file.content_type, "audio/aac");
    rvtone::Pcm pcm = decode(file.body);
    EXPECT_GE(pcm.duration_s(), 310.0);
    double kbps = static_cast<double>(file.body.size()) * 8 / pcm.duration_s() / 1000;
    EXPECT_NEAR(kbps, 64, 12);
    std::vector<std::int16_t> mono = pcm.mono();
    std::span<const std::int16_t> later(mono.data() + 300 * pcm.sample_rate, pcm.sample_rate);
    EXPECT_NEAR(rvtone::dominant_frequency(later, pcm.sample_rate), 1000, 10);
}

TEST_F(Media, LiveStreamsAreEndlessChunkedTonesPerBroadcast) {
    Options some;
    some.max_bytes = 48000;  // about six seconds at 64 kbit/s
    Response live = fetch(http("/live/1002.aac"), some);
    EXPECT_EQ(live.code, CURLE_WRITE_ERROR);  // we hung up; the stream had not ended
    EXPECT_TRUE(live.chunked);
    EXPECT_EQ(live.body.size(), 48000u);
    expect_tone(decode(live.body), rvtone::frequency_for_audio_id(1002));
    EXPECT_EQ(fetch(http("/live/1004.aac")).status, 404);  // off the air
}

// prepare_media comes back from an endless stream too, and what one service
// encoded another in the process serves as its own.
TEST_F(Media, PreparedMediaAreServedByEveryServiceOfTheProcess) {
    const std::string file = "/media/audio/3000000105/aac_32.aac";
    for (const auto &[path, exists] : {std::pair<std::string, bool>{file, true},
                                       {"/live/1001.aac", true},
                                       {"/media/audio/42/aac_64.aac", false},
                                       {"/live/1004.aac", false}}) {
        EXPECT_EQ(service().prepare_media(path), exists) << path;
    }
    rvmock::Service other;
    ASSERT_TRUE(other.start());
    EXPECT_EQ(fetch(other.http_url() + file).body, fetch(http(file)).body);
    expect_tone(decode(fetch(other.http_url() + file).body),
                rvtone::frequency_for_audio_id(3000000105));
}

TEST_F(Media, LiveStreamsArePacedInRealTime) {
    Options brief;
    brief.timeout_ms = 3000;
    Response live = fetch(http("/live/1001.aac"), brief);
    EXPECT_EQ(live.code, CURLE_OPERATION_TIMEDOUT);
    // Two seconds of lead plus three of real time, at 64 kbit/s: nowhere near a burst.
    EXPECT_GT(live.body.size(), 16000u);
    EXPECT_LT(live.body.size(), 8000u * 8);
}

TEST_F(Media, HlsVariantListsRecentSegmentsOfTheTone) {
    Response playlist = fetch(http("/live/1003/index.m3u8"));
    ASSERT_EQ(playlist.status, 200);
    EXPECT_EQ(playlist.body.rfind("#EXTM3U\n", 0), 0u);
    size_t last = playlist.body.rfind(".aac");
    ASSERT_NE(last, std::string::npos);
    size_t start = playlist.body.rfind('\n', last) + 1;
    std::string segment = playlist.body.substr(start, last + 4 - start);
    Response bytes = fetch(http("/live/1003/" + segment));
    ASSERT_EQ(bytes.status, 200);
    expect_tone(decode(bytes.body), rvtone::frequency_for_audio_id(1003));
}

TEST_F(Media, PastProgrammesPlayBackAFiniteFileOfTheirTone) {
    Json guide = api("/v2/broadcast/programlist", "bid=1001&date=2026-01-15&");
    const cJSON *programme = cJSON_GetArrayItem(result_of(guide), 3);
    ASSERT_EQ(int_of(programme, "status"), 2);
    Response file = fetch(str_of(programme, "backLiveUrl"));
    ASSERT_EQ(file.status, 200);
    EXPECT_EQ(file.content_length, static_cast<long long>(file.body.size()));
    rvtone::Pcm pcm = decode(file.body);
    EXPECT_GT(pcm.duration_s(), 5);
    expect_tone(pcm, rvtone::frequency_for_audio_id(int_of(programme, "programId")));
}

}  // namespace
}  // namespace rvmock_test
