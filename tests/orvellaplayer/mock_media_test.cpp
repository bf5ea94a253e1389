// The engine against the bundled local service: its AAC and MP3 files play to the end.
#include <httplib.h>

#include "mock_service.h"
#include "orvellaplayer.h"
#include "player_harness.h"

namespace rvtest {
namespace {

class MockMedia : public PlayerTest, public ::testing::WithParamInterface<const char *> {
  protected:
    rvmock::Service service_;
};

TEST_P(MockMedia, FilePlaysToTheEndWithItsToneThroughout) {
    constexpr std::int64_t kAudioId = 3000000103;
    ASSERT_TRUE(service_.start());
    const std::string path =
        "/media/audio/" + std::to_string(kAudioId) + "/" + std::string(GetParam());
    // What the service sends, decoded by FFmpeg alone: the format the device will get.
    httplib::Client client(service_.http_url());
    const auto res = client.Get(path.c_str());
    ASSERT_TRUE(res && res->status == 200);
    const rvtone::Pcm reference = rvtone::decode(
        std::span(reinterpret_cast<const std::uint8_t *>(res->body.data()), res->body.size()));
    const double hz = rvtone::frequency_for_audio_id(kAudioId);
    Capture capture("mock");

    IjkMediaPlayer_setDataSourceAndHeaders((service_.http_url() + path).c_str());
    IjkMediaPlayer_prepareAsync(0, 4);
    ASSERT_TRUE(Events::get().wait_for(ORV_EVENT_COMPLETED, -1, 30s));
    const std::int64_t duration_ms = IjkMediaPlayer_getDuration();
    stop_heard_out();

    const auto events = Events::get().snapshot();
    ASSERT_GE(events.size(), 3u);
    EXPECT_EQ(events.front().what, ORV_EVENT_PREPARED);
    EXPECT_EQ(events.back().what, ORV_EVENT_COMPLETED);
    for (std::size_t i = 1; i + 1 < events.size(); ++i) {
        EXPECT_TRUE(events[i].what == ORV_EVENT_POSITION ||
                    events[i].what == ORV_EVENT_DOWNLOAD_PROGRESS);
        EXPECT_LE(events[i].arg1, events[i].arg2);
    }
    EXPECT_GE(Events::get().count(ORV_EVENT_DOWNLOAD_PROGRESS), 1);
    const double seconds = reference.duration_s();
    EXPECT_NEAR(static_cast<double>(duration_ms) / 1000, seconds, seconds * 0.05);
    const auto mono = capture.read(reference.sample_rate, reference.channels).mono();
    EXPECT_NEAR(rvtone::tone_seconds(mono, reference.sample_rate, hz), seconds, seconds * 0.05);
}

INSTANTIATE_TEST_SUITE_P(Codecs, MockMedia, ::testing::Values("aac_64.aac", "mp3_64.mp3"),
                         [](const auto &info) { return std::string(info.param).substr(0, 3); });

// An endless live broadcast: sound for as long as it plays, no position and no end; a
// connection cut mid-play stalls (701), reconnects and resumes (702).
class MockLive : public PlayerTest {
  protected:
    static constexpr std::int64_t kBroadcastId = 1003;
    rvmock::Service service_;
    std::string url() const {
        return service_.http_url() + "/live/" + std::to_string(kBroadcastId) + ".aac";
    }
};

TEST_F(MockLive, PlaysTenSecondsWithoutPositionOrEnd) {
    ASSERT_TRUE(service_.start());
    expect_plays_as_live(url(), rvtone::frequency_for_audio_id(kBroadcastId), "mocklive");
}

TEST_F(MockLive, CutMidPlayBuffersReconnectsAndResumes) {
    ASSERT_TRUE(service_.start());
    // The first connection is cut after some seconds of audio; the reconnection is
    // answered late enough for the output to run dry.
    service_.set_fault("/live/" + std::to_string(kBroadcastId) + ".aac",
                       {.kind = rvmock::Fault::Kind::Cut, .bytes = 30000, .times = 1});
    service_.set_fault("/live/*",
                       {.kind = rvmock::Fault::Kind::None, .delay_ms = 2000, .times = 1});
    Capture capture("mockcut");
    IjkMediaPlayer_setDataSourceAndHeaders(url().c_str());
    IjkMediaPlayer_prepareAsync(0, 4);
    ASSERT_TRUE(Events::get().wait_for(ORV_EVENT_INFO, ORV_INFO_BUFFERING_START, 20s));
    const auto at_stall = capture.size();
    ASSERT_TRUE(Events::get().wait_for(ORV_EVENT_INFO, ORV_INFO_BUFFERING_END, 20s));
    std::this_thread::sleep_for(2s);
    stop_heard_out();
    EXPECT_EQ(Events::get().count(ORV_EVENT_ERROR), 0);
    const auto mono = capture.read(44100, 1).mono();
    const std::size_t stall = at_stall / 2;
    ASSERT_LT(stall, mono.size());
    EXPECT_GT(rvtone::tone_seconds(std::span(mono).subspan(stall), 44100,
                                   rvtone::frequency_for_audio_id(kBroadcastId)),
              1.5);
}

}  // namespace
}  // namespace rvtest
