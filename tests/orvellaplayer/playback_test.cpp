// Finite sources played through libpcmsink into the capture file, checked by ear (Goertzel).
#include <cerrno>
#include <cmath>
#include <filesystem>
#include <fstream>

#include "media_server.h"
#include "orvellaplayer.h"
#include "player_harness.h"

namespace rvtest {
namespace {

struct FileCase {
    const char *name;
    rvtone::Codec codec;
    int channels;
};

class PlaysToTheEnd : public PlayerTest, public ::testing::WithParamInterface<FileCase> {};

// Events 1, 6..., 2 in that order, positions within 0..duration and rising, all on one
// thread that is not ours; the capture holds the file's tone for its whole length and
// playback took real time.
TEST_P(PlaysToTheEnd, WithEventsInOrderAndTheWholeToneOut) {
    const FileCase c = GetParam();
    constexpr double kSeconds = 4.0;
    const double hz = rvtone::frequency_for_audio_id(11);
    MediaServer server;
    const auto file = tone_file(c.codec, hz, kSeconds, 44100, c.channels);
    server.add(c.name, file, rvtone::mime_type(c.codec));
    Capture capture(c.name);

    IjkMediaPlayer_setDataSourceAndHeaders(server.url("file", c.name).c_str());
    const auto begun = Clock::now();
    ASSERT_EQ(IjkMediaPlayer_prepareAsync(0, 4), 0);
    ASSERT_TRUE(Events::get().wait_for(ORV_EVENT_COMPLETED, -1, 30s));
    const double took = std::chrono::duration<double>(Clock::now() - begun).count();
    std::this_thread::sleep_for(300ms);  // nothing may follow the end
    stop_heard_out();                    // the capture is complete

    const auto events = Events::get().snapshot();
    ASSERT_GE(events.size(), 3u);
    EXPECT_EQ(events.front().what, ORV_EVENT_PREPARED);
    EXPECT_EQ(events.back().what, ORV_EVENT_COMPLETED);
    EXPECT_EQ(Events::get().count(ORV_EVENT_COMPLETED), 1);
    int positions = 0;
    int last = -1;
    std::vector<Event> downloads;
    for (std::size_t i = 1; i + 1 < events.size(); ++i) {
        const Event &e = events[i];
        if (e.what == ORV_EVENT_DOWNLOAD_PROGRESS) {
            downloads.push_back(e);
            continue;
        }
        EXPECT_EQ(e.what, ORV_EVENT_POSITION) << "event " << i;
        EXPECT_GE(e.arg1, last);
        EXPECT_GE(e.arg1, 0);
        EXPECT_LE(e.arg1, e.arg2);
        EXPECT_NEAR(e.arg2, kSeconds * 1000, 300);
        last = e.arg1;
        ++positions;
    }
    EXPECT_GE(positions, 5);  // about every 500 ms over 4 s
    // Bytes fetched rise to the file's size, which the last report carries.
    ASSERT_FALSE(downloads.empty());
    for (std::size_t i = 0; i < downloads.size(); ++i) {
        EXPECT_EQ(downloads[i].arg2, static_cast<int>(file.size()));
        EXPECT_GT(downloads[i].arg1, 0);
        EXPECT_GE(downloads[i].arg1, i > 0 ? downloads[i - 1].arg1 : 0);
    }
    EXPECT_EQ(downloads.back().arg1, downloads.back().arg2);
    for (const Event &e : events) {
        EXPECT_EQ(e.thread, events.front().thread);
        EXPECT_NE(e.thread, std::this_thread::get_id());
    }
    EXPECT_GE(took, kSeconds * 0.95) << "output was not paced to real time";

    const rvtone::Pcm pcm = capture.read(44100, c.channels);
    const auto mono = pcm.mono();
    EXPECT_NEAR(pcm.duration_s(), kSeconds, kSeconds * 0.05);
    EXPECT_NEAR(rvtone::tone_seconds(mono, 44100, hz), kSeconds, kSeconds * 0.05);
    EXPECT_NEAR(rvtone::dominant_frequency(mono, 44100), hz, 10);
}

INSTANTIATE_TEST_SUITE_P(Codecs, PlaysToTheEnd,
                         ::testing::Values(FileCase{"tone.aac", rvtone::Codec::Aac, 1},
                                           FileCase{"tone.mp3", rvtone::Codec::Mp3, 2}),
                         [](const auto &info) {
                             return info.param.codec == rvtone::Codec::Aac ? "Aac" : "Mp3";
                         });

// The connection drops halfway through a file: the engine picks it up where it broke off
// and the whole tone still comes out, without an error.
TEST_F(PlayerTest, DroppedFileConnectionResumesWithNothingLost) {
    const double hz = rvtone::frequency_for_audio_id(14);
    MediaServer server;
    server.add("drop.aac", tone_file(rvtone::Codec::Aac, hz, 3.0), "audio/aac");
    Capture capture("drop");
    IjkMediaPlayer_setDataSourceAndHeaders(server.url("drop", "drop.aac").c_str());
    IjkMediaPlayer_prepareAsync(0, 4);
    ASSERT_TRUE(Events::get().wait_for(ORV_EVENT_COMPLETED, -1, 30s));
    stop_heard_out();
    EXPECT_GE(server.requests("/drop/drop.aac"), 2);
    EXPECT_EQ(Events::get().count(ORV_EVENT_ERROR), 0);
    const auto mono = capture.read(44100, 1).mono();
    EXPECT_NEAR(rvtone::tone_seconds(mono, 44100, hz), 3.0, 0.15);
}

// Two tones back to back; seeking from the first into the second skips the rest of the first.
TEST_F(PlayerTest, SeekSkipsAudioAndLandsOnTheTarget) {
    const double first_hz = rvtone::frequency_for_audio_id(2);
    const double second_hz = rvtone::frequency_for_audio_id(20);
    auto bytes = tone_file(rvtone::Codec::Aac, first_hz, 3.0);
    const auto second = tone_file(rvtone::Codec::Aac, second_hz, 3.0);
    bytes.insert(bytes.end(), second.begin(), second.end());
    MediaServer server;
    server.add("two.aac", bytes, "audio/aac");
    Capture capture("seek");

    IjkMediaPlayer_setDataSourceAndHeaders(server.url("file", "two.aac").c_str());
    IjkMediaPlayer_prepareAsync(0, 4);
    ASSERT_TRUE(Events::get().wait_for(ORV_EVENT_POSITION, -1, 20s));
    std::this_thread::sleep_for(500ms);
    IjkMediaPlayer_seekTo(4000);
    ASSERT_TRUE(Events::get().wait_for(ORV_EVENT_SEEK_COMPLETE, -1, 10s));
    ASSERT_TRUE(Events::get().wait_for(ORV_EVENT_COMPLETED, -1, 20s));

    // The first position after the seek is the target.
    const auto events = Events::get().snapshot();
    auto seek = std::find_if(events.begin(), events.end(),
                             [](const Event &e) { return e.what == ORV_EVENT_SEEK_COMPLETE; });
    auto after = std::find_if(seek, events.end(),
                              [](const Event &e) { return e.what == ORV_EVENT_POSITION; });
    ASSERT_NE(after, events.end());
    EXPECT_NEAR(after->arg1, 4000, 300);
    stop_heard_out();

    const auto mono = capture.read(44100, 1).mono();
    const double first_s = rvtone::tone_seconds(mono, 44100, first_hz);
    const double second_s = rvtone::tone_seconds(mono, 44100, second_hz);
    EXPECT_LT(first_s, 1.8) << "the first tone was not skipped";
    EXPECT_GT(first_s, 0.2);
    EXPECT_NEAR(second_s, 2.0, 0.3);
}

// While paused nothing reaches the device and no position is reported; after resuming the
// file plays on from where it stopped, nothing lost.
TEST_F(PlayerTest, PauseStopsOutputAndResumeLosesNothing) {
    const double hz = rvtone::frequency_for_audio_id(5);
    MediaServer server;
    server.add("p.aac", tone_file(rvtone::Codec::Aac, hz, 3.0), "audio/aac");
    Capture capture("pause");

    IjkMediaPlayer_setDataSourceAndHeaders(server.url("file", "p.aac").c_str());
    IjkMediaPlayer_prepareAsync(0, 4);
    ASSERT_TRUE(Events::get().wait_for(ORV_EVENT_POSITION, -1, 20s));
    std::this_thread::sleep_for(800ms);
    IjkMediaPlayer_pause();
    std::this_thread::sleep_for(std::chrono::milliseconds(ORV_MAX_AHEAD_MS + 200));
    const auto size_paused = capture.size();
    const int positions_paused = Events::get().count(ORV_EVENT_POSITION);
    std::this_thread::sleep_for(1500ms);
    EXPECT_EQ(capture.size(), size_paused);
    EXPECT_EQ(Events::get().count(ORV_EVENT_POSITION), positions_paused);
    EXPECT_GT(size_paused, 0u);
    EXPECT_LT(size_paused, 3u * 44100 * 2);

    IjkMediaPlayer_start();
    ASSERT_TRUE(Events::get().wait_for(ORV_EVENT_COMPLETED, -1, 20s));
    EXPECT_GT(capture.size(), size_paused);
    stop_heard_out();
    const auto mono = capture.read(44100, 1).mono();
    EXPECT_NEAR(rvtone::tone_seconds(mono, 44100, hz), 3.0, 0.15);
}

// Opened paused, a source is silent (not even a fade is written) until started, and then
// plays from its first frame.
TEST_F(PlayerTest, PreparedPausedIsSilentUntilStartedAndLosesNothing) {
    const double hz = rvtone::frequency_for_audio_id(6);
    MediaServer server;
    server.add("q.aac", tone_file(rvtone::Codec::Aac, hz, 1.5), "audio/aac");
    Capture capture("prepared_paused");

    IjkMediaPlayer_setDataSourceAndHeaders(server.url("file", "q.aac").c_str());
    IjkMediaPlayer_prepareAsyncPaused(0);
    ASSERT_TRUE(Events::get().wait_for(ORV_EVENT_PREPARED, -1, 20s));
    std::this_thread::sleep_for(std::chrono::milliseconds(ORV_MAX_AHEAD_MS + 400));
    EXPECT_EQ(capture.size(), 0u);
    EXPECT_EQ(Events::get().count(ORV_EVENT_POSITION), 0);

    IjkMediaPlayer_start();
    ASSERT_TRUE(Events::get().wait_for(ORV_EVENT_COMPLETED, -1, 20s));
    stop_heard_out();
    const auto mono = capture.read(44100, 1).mono();
    EXPECT_NEAR(rvtone::tone_seconds(mono, 44100, hz), 1.5, 0.1);
}

TEST_F(PlayerTest, VolumeScalesTheSamplesWritten) {
    MediaServer server;
    server.add("v.aac", tone_file(rvtone::Codec::Aac, 1000, 1.5), "audio/aac");
    Capture capture("volume");
    IjkMediaPlayer_setVolume(0.5f, 0.5f);
    IjkMediaPlayer_setDataSourceAndHeaders(server.url("file", "v.aac").c_str());
    IjkMediaPlayer_prepareAsync(0, 4);
    ASSERT_TRUE(Events::get().wait_for(ORV_EVENT_COMPLETED, -1, 20s));
    stop_heard_out();
    const auto mono = capture.read(44100, 1).mono();
    ASSERT_FALSE(mono.empty());
    double energy = 0;
    for (std::int16_t s : mono) {
        energy += static_cast<double>(s) * s;
    }
    // The tone is encoded at half of full scale; half volume leaves a quarter (RMS A/sqrt 2).
    const double rms = std::sqrt(energy / static_cast<double>(mono.size()));
    EXPECT_NEAR(rms, 32767 / 4 / std::sqrt(2.0), 600);
}

TEST_F(PlayerTest, PlaysALocalFileAndReportsItsDuration) {
    const double hz = rvtone::frequency_for_audio_id(30);
    Capture capture("local");
    const std::string path =
        std::filesystem::path(capture.path()).replace_filename("local.mp3").string();
    const auto bytes = tone_file(rvtone::Codec::Mp3, hz, 2.0, 22050, 1);
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char *>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));

    IjkMediaPlayer_setDataSourceAndHeaders(path.c_str());
    IjkMediaPlayer_prepareAsync(0, 4);
    ASSERT_TRUE(Events::get().wait_for(ORV_EVENT_PREPARED, -1, 10s));
    EXPECT_NEAR(IjkMediaPlayer_getDuration(), 2000, 150);
    ASSERT_TRUE(Events::get().wait_for(ORV_EVENT_COMPLETED, -1, 20s));
    stop_heard_out();
    const auto mono = capture.read(22050, 1).mono();
    EXPECT_NEAR(rvtone::tone_seconds(mono, 22050, hz), 2.0, 0.1);
}

// With no usable device the engine warns once and still plays, events and pace included.
TEST_F(PlayerTest, UnopenableDevicePlaysIntoSilenceInRealTime) {
    MediaServer server;
    server.add("n.aac", tone_file(rvtone::Codec::Aac, 700, 2.0), "audio/aac");
    setenv("RV_PCM_SLAVE", "no_such_device", 1);
    IjkMediaPlayer_setDataSourceAndHeaders(server.url("file", "n.aac").c_str());
    const auto begun = Clock::now();
    IjkMediaPlayer_prepareAsync(0, 4);
    ASSERT_TRUE(Events::get().wait_for(ORV_EVENT_COMPLETED, -1, 20s));
    unsetenv("RV_PCM_SLAVE");
    EXPECT_GE(std::chrono::duration<double>(Clock::now() - begun).count(), 1.9);
    EXPECT_GE(Events::get().count(ORV_EVENT_POSITION), 2);
    EXPECT_EQ(Events::get().count(ORV_EVENT_ERROR), 0);
}

// An HLS playlist of three ADTS segments plays through like a file.
TEST_F(PlayerTest, HlsPlaylistPlaysAllSegmentsToTheEnd) {
    const double hz = rvtone::frequency_for_audio_id(9);
    MediaServer server;
    std::string playlist =
        "#EXTM3U\n#EXT-X-VERSION:3\n#EXT-X-TARGETDURATION:1\n"
        "#EXT-X-MEDIA-SEQUENCE:0\n#EXT-X-PLAYLIST-TYPE:VOD\n";
    for (int i = 0; i < 3; ++i) {
        const std::string name = "seg" + std::to_string(i) + ".aac";
        server.add(name, tone_file(rvtone::Codec::Aac, hz, 1.0), "audio/aac");
        playlist += "#EXTINF:1.0,\n" + name + "\n";
    }
    playlist += "#EXT-X-ENDLIST\n";
    server.add("list.m3u8", std::vector<std::uint8_t>(playlist.begin(), playlist.end()),
               "application/vnd.apple.mpegurl");
    Capture capture("hls");
    IjkMediaPlayer_setDataSourceAndHeaders(server.url("file", "list.m3u8").c_str());
    IjkMediaPlayer_prepareAsync(0, 4);
    ASSERT_TRUE(Events::get().wait_for(ORV_EVENT_COMPLETED, -1, 20s));
    stop_heard_out();
    EXPECT_GE(Events::get().count(ORV_EVENT_POSITION), 3);
    EXPECT_EQ(server.requests("/file/seg2.aac"), 1);
    const auto mono = capture.read(44100, 1).mono();
    EXPECT_NEAR(rvtone::tone_seconds(mono, 44100, hz), 3.0, 0.2);
}

// The device failing mid-play ends playback with an error event; the process lives on.
TEST_F(PlayerTest, DeviceFailureIsReportedAsOutputError) {
    MediaServer server;
    server.add("e.aac", tone_file(rvtone::Codec::Aac, 700, 3.0), "audio/aac");
    setenv("RV_PCM_CAPTURE", "/dev/full", 1);
    IjkMediaPlayer_setDataSourceAndHeaders(server.url("file", "e.aac").c_str());
    IjkMediaPlayer_prepareAsync(0, 4);
    ASSERT_TRUE(Events::get().wait_for(ORV_EVENT_ERROR, ORV_ERROR_OUTPUT, 20s));
    const auto events = Events::get().snapshot();
    EXPECT_EQ(events.back().what, ORV_EVENT_ERROR);
    EXPECT_EQ(events.back().arg2, -EIO);
    EXPECT_EQ(Events::get().count(ORV_EVENT_COMPLETED), 0);
}

// A file sent without a length that the server ends itself (final chunk) ends once, with
// or without a duration from setdurtion: it is not opened again.
TEST_F(PlayerTest, ChunkedFileEndsOnceWithOrWithoutAGivenDuration) {
    const double hz = rvtone::frequency_for_audio_id(27);
    MediaServer server;
    server.add("c.aac", tone_file(rvtone::Codec::Aac, hz, 1.5), "audio/aac");
    for (const int given_s : {1, 0}) {
        SCOPED_TRACE(given_s);
        Events::get().clear();
        Capture capture("chunked" + std::to_string(given_s));
        IjkMediaPlayer_setDataSourceAndHeaders(server.url("chunked", "c.aac").c_str());
        IjkMediaPlayer_prepareAsync(0, 4);
        IjkMediaPlayer_setdurtion(given_s, 0);
        ASSERT_TRUE(Events::get().wait_for(ORV_EVENT_COMPLETED, -1, 20s));
        std::this_thread::sleep_for(500ms);
        stop_heard_out();
        EXPECT_EQ(Events::get().count(ORV_EVENT_COMPLETED), 1);
        const auto mono = capture.read(44100, 1).mono();
        EXPECT_NEAR(rvtone::tone_seconds(mono, 44100, hz), 1.5, 0.1);
    }
    EXPECT_EQ(server.requests("/chunked/c.aac"), 2);
}

// A stream without a duration of its own takes the one given with setdurtion.
TEST_F(PlayerTest, SetDurationSuppliesTheLengthForPositionReports) {
    MediaServer server;
    server.add("d.aac", tone_file(rvtone::Codec::Aac, 900, 30.0), "audio/aac");
    Capture capture("dur");
    IjkMediaPlayer_setDataSourceAndHeaders(server.url("live", "d.aac").c_str());
    IjkMediaPlayer_prepareAsync(0, 4);
    IjkMediaPlayer_setdurtion(0, 7);
    ASSERT_TRUE(Events::get().wait_for(ORV_EVENT_POSITION, -1, 20s));
    EXPECT_EQ(IjkMediaPlayer_getDuration(), 7000);
    const auto events = Events::get().snapshot();
    for (const Event &e : events) {
        if (e.what == ORV_EVENT_POSITION) {
            EXPECT_EQ(e.arg2, 7000);
        }
    }
}

// A live stream's demuxer comes from its Content-Type; one that is labelled wrongly is
// probed after all and still plays.
TEST_F(PlayerTest, LiveStreamPlaysWhetherItsTypeIsRightOrWrong) {
    const double hz = rvtone::frequency_for_audio_id(31);
    MediaServer server;
    server.add("right.aac", tone_file(rvtone::Codec::Mp3, hz, 3.0), "audio/mpeg");
    server.add("wrong.mp3", tone_file(rvtone::Codec::Aac, hz, 3.0), "audio/mpeg");
    for (const char *name : {"right.aac", "wrong.mp3"}) {
        SCOPED_TRACE(name);
        Events::get().clear();
        Capture capture(name);
        IjkMediaPlayer_setDataSourceAndHeaders(server.url("chunked", name).c_str());
        IjkMediaPlayer_prepareAsync(0, 4);
        ASSERT_TRUE(Events::get().wait_for(ORV_EVENT_PREPARED, -1, 10s));
        std::this_thread::sleep_for(1500ms);
        stop_heard_out();
        EXPECT_EQ(Events::get().count(ORV_EVENT_ERROR), 0);
        const auto mono = capture.read(44100, 1).mono();
        EXPECT_GT(rvtone::tone_seconds(mono, 44100, hz), 1.2);
    }
}

TEST_F(PlayerTest, OpenFailuresAreReportedAsErrorWithDetail) {
    MediaServer server;
    IjkMediaPlayer_setDataSourceAndHeaders(server.url("file", "missing.aac").c_str());
    IjkMediaPlayer_prepareAsync(0, 4);
    ASSERT_TRUE(Events::get().wait_for(ORV_EVENT_ERROR, ORV_ERROR_OPEN, 20s));
    EXPECT_EQ(Events::get().count(ORV_EVENT_PREPARED), 0);

    server.add("text.aac", std::vector<std::uint8_t>(4000, 'x'), "audio/aac");
    Events::get().clear();
    IjkMediaPlayer_setDataSourceAndHeaders(server.url("file", "text.aac").c_str());
    IjkMediaPlayer_prepareAsync(0, 4);
    ASSERT_TRUE(Events::get().wait_for(ORV_EVENT_ERROR, -1, 20s));
    EXPECT_EQ(Events::get().count(ORV_EVENT_PREPARED), 0);

    Events::get().clear();
    IjkMediaPlayer_reset();
    EXPECT_EQ(IjkMediaPlayer_prepareAsync(0, 4), -1);
    ASSERT_TRUE(Events::get().wait_for(ORV_EVENT_ERROR, ORV_ERROR_NO_SOURCE, 5s));
}

}  // namespace
}  // namespace rvtest
