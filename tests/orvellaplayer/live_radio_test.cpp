// Live internet radio against real servers: Icecast 2 mounts fed by ffmpeg (MP3, AAC, Ogg
// Vorbis) and a live HLS stream from ffmpeg's hls muxer with a sliding window.
#include <memory>

#include "live_servers.h"
#include "orvellaplayer.h"
#include "player_harness.h"

namespace rvtest {
namespace {

struct Mount {
    LiveCodec codec;
    double hz;
    std::string path() const { return std::string("/tone.") + extension(codec); }
};

const Mount kMounts[] = {{LiveCodec::Mp3, 440}, {LiveCodec::Aac, 660}, {LiveCodec::Vorbis, 880}};

// One server and its three mounts for the whole suite: they take seconds to come on air.
class LiveRadio : public PlayerTest {
  protected:
    static void SetUpTestSuite() {
        server_ = std::make_unique<IcecastServer>();
        for (const Mount &m : kMounts) {
            sources_.push_back(std::make_unique<IcecastSource>(*server_, m.path(), m.codec, m.hz));
        }
    }
    static void TearDownTestSuite() {
        sources_.clear();
        server_.reset();
    }

    static std::unique_ptr<IcecastServer> server_;
    static std::vector<std::unique_ptr<IcecastSource>> sources_;
};

std::unique_ptr<IcecastServer> LiveRadio::server_;
std::vector<std::unique_ptr<IcecastSource>> LiveRadio::sources_;

std::vector<int> infos() {
    std::vector<int> out;
    for (const Event &e : Events::get().snapshot()) {
        if (e.what == ORV_EVENT_INFO) {
            out.push_back(e.arg1);
        }
    }
    return out;
}

class LiveMount : public LiveRadio, public ::testing::WithParamInterface<Mount> {};

TEST_P(LiveMount, PlaysItsToneWithoutErrorOrEnd) {
    const Mount mount = GetParam();
    ASSERT_TRUE(server_->wait_on_air(mount.path(), 30s));
    expect_plays_as_live(server_->url(mount.path()), mount.hz, "mount", 5s);
}

INSTANTIATE_TEST_SUITE_P(Codecs, LiveMount, ::testing::ValuesIn(kMounts),
                         [](const auto &info) { return extension(info.param.codec); });

// The source comes back from another encoder, at 48 kHz: the new tone plays at its pitch
// after one stall, in the output opened at 44.1 kHz.
TEST_F(LiveRadio, SourceThatComesBackAtAnotherRateIsPlayedAfterBuffering) {
    const std::string mount = "/comeback.mp3";
    constexpr double kFirstHz = 500;
    constexpr double kSecondHz = 1000;
    auto source = std::make_unique<IcecastSource>(*server_, mount, LiveCodec::Mp3, kFirstHz);
    ASSERT_TRUE(server_->wait_on_air(mount, 30s));
    Capture capture("comeback");
    IjkMediaPlayer_setDataSourceAndHeaders(server_->url(mount).c_str());
    IjkMediaPlayer_prepareAsync(0, 4);
    ASSERT_TRUE(Events::get().wait_for(ORV_EVENT_PREPARED, -1, 10s));
    std::this_thread::sleep_for(3s);

    source.reset();  // the source leaves; Icecast drops its listeners
    ASSERT_TRUE(Events::get().wait_for(ORV_EVENT_INFO, ORV_INFO_BUFFERING_START, 10s));
    const auto at_stall = capture.size();
    std::this_thread::sleep_for(3s);
    source = std::make_unique<IcecastSource>(*server_, mount, LiveCodec::Mp3, kSecondHz, 48000);
    ASSERT_TRUE(Events::get().wait_for(ORV_EVENT_INFO, ORV_INFO_BUFFERING_END, 15s));
    std::this_thread::sleep_for(3s);
    stop_heard_out();

    EXPECT_EQ(Events::get().count(ORV_EVENT_ERROR), 0);
    EXPECT_EQ(Events::get().count(ORV_EVENT_COMPLETED), 0);
    EXPECT_EQ(infos(), (std::vector<int>{ORV_INFO_BUFFERING_START, ORV_INFO_BUFFERING_END}));
    const auto mono = capture.read(44100, 1).mono();
    const std::size_t stall = at_stall / 2;
    ASSERT_LT(stall, mono.size());
    const std::span<const std::int16_t> before(mono.data(), stall);
    const std::span<const std::int16_t> after(mono.data() + stall, mono.size() - stall);
    EXPECT_GT(rvtone::tone_seconds(before, 44100, kFirstHz), 2.5);
    EXPECT_GT(rvtone::tone_seconds(after, 44100, kSecondHz), 2.5);
    EXPECT_LT(rvtone::tone_seconds(after, 44100, kFirstHz), 0.3);
}

TEST_F(LiveRadio, MissingMountEndsInOpenErrorWithinTenSeconds) {
    IjkMediaPlayer_setDataSourceAndHeaders(server_->url("/nothing-here.mp3").c_str());
    IjkMediaPlayer_prepareAsync(0, 4);
    EXPECT_TRUE(Events::get().wait_for(ORV_EVENT_ERROR, ORV_ERROR_OPEN, 10s));
    EXPECT_EQ(Events::get().count(ORV_EVENT_PREPARED), 0);
}

// ffmpeg's own live HLS: 1 s segments, a window of 4, old segments deleted as it goes.
TEST_F(PlayerTest, SlidingWindowHlsPlaysWithoutGaps) {
    constexpr double kHz = 770;
    constexpr auto kPlay = 20s;
    constexpr double kMaxGapS = 0.3;
    HlsLive hls(kHz);
    ASSERT_TRUE(hls.wait_segments(3, 15s));
    Capture capture("hls");
    IjkMediaPlayer_setDataSourceAndHeaders(hls.url().c_str());
    IjkMediaPlayer_prepareAsync(0, 4);
    ASSERT_TRUE(Events::get().wait_for(ORV_EVENT_PREPARED, -1, 10s));
    std::this_thread::sleep_for(kPlay);
    const auto stopped = Clock::now();
    stop_heard_out();

    EXPECT_EQ(Events::get().count(ORV_EVENT_ERROR), 0);
    EXPECT_EQ(Events::get().count(ORV_EVENT_COMPLETED), 0);
    // Every stall ends within the limit.
    const auto events = Events::get().snapshot();
    Clock::time_point prepared{};
    Clock::time_point stalled_at{};
    bool stalled = false;
    for (const Event &e : events) {
        if (e.what == ORV_EVENT_PREPARED) {
            prepared = e.at;
        } else if (e.what == ORV_EVENT_INFO && e.arg1 == ORV_INFO_BUFFERING_START) {
            stalled_at = e.at;
            stalled = true;
        } else if (e.what == ORV_EVENT_INFO && e.arg1 == ORV_INFO_BUFFERING_END && stalled) {
            EXPECT_LT(std::chrono::duration<double>(e.at - stalled_at).count(), kMaxGapS);
            stalled = false;
        }
    }
    EXPECT_FALSE(stalled) << "a stall had not ended when playback stopped";
    // The output kept up with the clock: what was written covers the time played, less
    // at most one gap's worth.
    const double played = std::chrono::duration<double>(stopped - prepared).count();
    const auto mono = capture.read(44100, 1).mono();
    const double written = static_cast<double>(mono.size()) / 44100;
    EXPECT_GT(written, played - kMaxGapS);
    EXPECT_GT(rvtone::tone_seconds(mono, 44100, kHz), written - kMaxGapS);
}

}  // namespace
}  // namespace rvtest
