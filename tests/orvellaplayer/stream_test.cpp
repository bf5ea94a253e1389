// Endless live streams: no position, no end, and stalls reported around a reconnect.
#include "media_server.h"
#include "orvellaplayer.h"
#include "player_harness.h"

namespace rvtest {
namespace {

TEST_F(PlayerTest, LiveStreamPlaysWithoutPositionOrEnd) {
    const double hz = rvtone::frequency_for_audio_id(17);
    MediaServer server;
    server.add("live.aac", tone_file(rvtone::Codec::Aac, hz, 10.0), "audio/aac");
    expect_plays_as_live(server.url("live", "live.aac"), hz, "live");
    EXPECT_EQ(IjkMediaPlayer_getDuration(), 0);
}

TEST_F(PlayerTest, CutStreamBuffersReconnectsAndResumes) {
    const double hz = rvtone::frequency_for_audio_id(23);
    MediaServer server;
    server.cut_after_s = 3.0;
    server.reconnect_delay_s = 2.0;
    server.add("cut.aac", tone_file(rvtone::Codec::Aac, hz, 10.0), "audio/aac");
    Capture capture("cut");
    IjkMediaPlayer_setDataSourceAndHeaders(server.url("cut", "cut.aac").c_str());
    IjkMediaPlayer_prepareAsync(0, 4);
    ASSERT_TRUE(Events::get().wait_for(ORV_EVENT_INFO, ORV_INFO_BUFFERING_START, 15s));
    const auto at_stall = capture.size();
    ASSERT_TRUE(Events::get().wait_for(ORV_EVENT_INFO, ORV_INFO_BUFFERING_END, 15s));
    std::this_thread::sleep_for(2s);
    stop_heard_out();

    EXPECT_GE(server.connections_of("/cut/"), 2);
    EXPECT_EQ(Events::get().count(ORV_EVENT_ERROR), 0);
    // 701 before 702, each once.
    const auto events = Events::get().snapshot();
    std::vector<int> infos;
    for (const Event &e : events) {
        if (e.what == ORV_EVENT_INFO) {
            infos.push_back(e.arg1);
        }
    }
    EXPECT_EQ(infos, (std::vector<int>{ORV_INFO_BUFFERING_START, ORV_INFO_BUFFERING_END}));
    // Audio resumed after the stall, and the tone is what came out on both sides.
    const auto pcm = capture.read(44100, 1);
    const auto mono = pcm.mono();
    const std::size_t stall_frame = at_stall / 2;
    ASSERT_LT(stall_frame, mono.size());
    std::span<const std::int16_t> after(mono.data() + stall_frame, mono.size() - stall_frame);
    EXPECT_GT(rvtone::tone_seconds(after, 44100, hz), 1.5);
    EXPECT_GT(rvtone::tone_seconds(std::span(mono.data(), stall_frame), 44100, hz), 2.5);
}

}  // namespace
}  // namespace rvtest
