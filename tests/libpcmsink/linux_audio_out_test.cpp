// libpcmsink against ALSA's file plugin: argument checks with their exact lines, the exact
// frames reaching the device, and the error paths that must not end the process.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "linux_audio_out.h"

namespace {

class PcmSink : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_NE(std::getenv("ALSA_CONFIG_PATH"), nullptr) << "run through CTest";
        std::string pattern = (std::filesystem::temp_directory_path() / "rv-sink-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        dir_ = pattern;
        capture_ = dir_ + "/out.raw";
        setenv("RV_PCM_CAPTURE", capture_.c_str(), 1);
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }

    std::vector<char> captured() const {
        std::ifstream in(capture_, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    // Opens with stdout captured; returns the record and what was printed.
    static std::pair<SDL_Linux_Audio_Out *, std::string> open(int rate, int channels) {
        ::testing::internal::CaptureStdout();
        SDL_Linux_Audio_Out *out = SDL_Linux_Audio_Out_new_from_sdl_spec(rate, channels, 0);
        return {out, ::testing::internal::GetCapturedStdout()};
    }

    std::string dir_;
    std::string capture_;
};

TEST_F(PcmSink, ChannelCountsAreCheckedWithTheirLines) {
    auto [mono, mono_text] = open(44100, 1);
    ASSERT_NE(mono, nullptr);
    EXPECT_EQ(mono_text, "SDL_Linux_Alsa: CHANNEL_OUT_MONO\n");
    EXPECT_EQ(mono->channels, 1);
    SDL_Linux_Audio_Out_free(mono);

    auto [stereo, stereo_text] = open(44100, 2);
    ASSERT_NE(stereo, nullptr);
    EXPECT_EQ(stereo_text, "SDL_Linux_Alsa: CHANNEL_OUT_STEREO\n");
    SDL_Linux_Audio_Out_free(stereo);

    auto [three, three_text] = open(44100, 3);
    EXPECT_EQ(three, nullptr);
    EXPECT_EQ(three_text, "SDL_Linux_Alsa_new_from_spec: invalid channel 3\n");
}

TEST_F(PcmSink, RatesOutside4000To48000AreRefused) {
    for (int rate : {3999, 48001}) {
        auto [out, text] = open(rate, 1);
        EXPECT_EQ(out, nullptr);
        EXPECT_NE(text.find("SDL_Linux_Alsa_new_from_spec: invalid sample rate " +
                            std::to_string(rate) + "\n"),
                  std::string::npos);
    }
    for (int rate : {4000, 48000}) {
        auto [out, text] = open(rate, 2);
        ASSERT_NE(out, nullptr) << rate;
        EXPECT_EQ(out->sample_rate_in_hz, rate);
        SDL_Linux_Audio_Out_free(out);
    }
}

TEST_F(PcmSink, RecordPublishesItsFieldsAndMinimumBuffer) {
    SDL_Linux_Audio_Out *out = SDL_Linux_Audio_Out_new_from_sdl_spec(22050, 2, 7);
    ASSERT_NE(out, nullptr);
    EXPECT_NE(out->priv_data, nullptr);
    EXPECT_NE(out->priv_data->handle, nullptr);
    EXPECT_EQ(out->priv_data->params, nullptr);
    EXPECT_EQ(out->audio_format, 7);
    EXPECT_EQ(out->buffer_capacity, 0);
    EXPECT_GE(out->min_buffer_size, 128);
    EXPECT_EQ(out->min_buffer_size % 4, 0);
    SDL_Linux_Audio_Out_free(out);
}

TEST_F(PcmSink, FramesReachTheDeviceExactly) {
    SDL_Linux_Audio_Out *out = SDL_Linux_Audio_Out_new_from_sdl_spec(8000, 2, 0);
    ASSERT_NE(out, nullptr);
    std::vector<std::int16_t> frames(2 * 1000);
    for (std::size_t i = 0; i < frames.size(); ++i) {
        frames[i] = static_cast<std::int16_t>(i * 37 - 20000);
    }
    int written = 0;
    while (written < 1000) {
        const int n =
            SDL_Linux_Audio_Out_write_byte(out, frames.data() + 2 * written, 1000 - written);
        ASSERT_GE(n, 0);
        written += n;
    }
    // Zero and negative counts come back unchanged and write nothing.
    EXPECT_EQ(SDL_Linux_Audio_Out_write_byte(out, frames.data(), 0), 0);
    EXPECT_EQ(SDL_Linux_Audio_Out_write_byte(out, frames.data(), -5), -5);
    // Volume, play and pause leave the frames alone.
    SDL_Linux_Audio_Out_set_volume(out, 0.0f, 0.0f);
    SDL_Linux_Audio_Out_play(out);
    SDL_Linux_Audio_Out_pause(out);
    SDL_Linux_Audio_Out_free(out);

    const auto bytes = captured();
    ASSERT_EQ(bytes.size(), frames.size() * 2);
    EXPECT_EQ(std::memcmp(bytes.data(), frames.data(), bytes.size()), 0);
}

TEST_F(PcmSink, FlushLeavesTheDeviceReadyForMore) {
    SDL_Linux_Audio_Out *out = SDL_Linux_Audio_Out_new_from_sdl_spec(8000, 1, 0);
    ASSERT_NE(out, nullptr);
    std::vector<std::int16_t> frames(400, 1234);
    EXPECT_EQ(SDL_Linux_Audio_Out_write_byte(out, frames.data(), 400), 400);
    ::testing::internal::CaptureStdout();
    SDL_Linux_Audio_Out_flush(out);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), "SDL_Linux_Alsa_flush: \n");
    EXPECT_EQ(SDL_Linux_Audio_Out_write_byte(out, frames.data(), 400), 400);
    SDL_Linux_Audio_Out_free(out);
    EXPECT_EQ(captured().size(), 800u * 2);
}

// The device buffer is kept short: frames pass through the file plugin (which holds back one
// device buffer) long before the device is closed.
TEST_F(PcmSink, DeviceBufferIsShortSoFramesPassPromptly) {
    SDL_Linux_Audio_Out *out = SDL_Linux_Audio_Out_new_from_sdl_spec(8000, 1, 0);
    ASSERT_NE(out, nullptr);
    std::vector<std::int16_t> frames(8000, 99);  // one second
    int written = 0;
    while (written < 8000) {
        const int n = SDL_Linux_Audio_Out_write_byte(out, frames.data() + written, 8000 - written);
        ASSERT_GE(n, 0);
        written += n;
    }
    EXPECT_GE(captured().size(), 2u * 8000 * 3 / 4);
    SDL_Linux_Audio_Out_free(out);
}

// A write on a stopped device is an unrecoverable error: reported, and the process lives.
TEST_F(PcmSink, WriteErrorIsReturnedNotFatal) {
    SDL_Linux_Audio_Out *out = SDL_Linux_Audio_Out_new_from_sdl_spec(8000, 1, 0);
    ASSERT_NE(out, nullptr);
    std::vector<std::int16_t> frames(100, 1);
    SDL_Linux_Audio_Out_stop(out);
    ::testing::internal::CaptureStdout();
    const int rc = SDL_Linux_Audio_Out_write_byte(out, frames.data(), 100);
    const std::string text = ::testing::internal::GetCapturedStdout();
    EXPECT_LT(rc, 0);
    EXPECT_EQ(text.rfind(" SDL_Linux_Alsa_write_byte  error: ", 0), 0u) << text;
    SDL_Linux_Audio_Out_free(out);
}

// A device that fails mid-stream (the capture file is /dev/full): the write returns -EIO.
TEST_F(PcmSink, FailingDeviceReturnsTheErrorAndTheProcessGoesOn) {
    setenv("RV_PCM_CAPTURE", "/dev/full", 1);
    SDL_Linux_Audio_Out *out = SDL_Linux_Audio_Out_new_from_sdl_spec(8000, 1, 0);
    ASSERT_NE(out, nullptr);
    std::vector<std::int16_t> frames(800, 1);
    int rc = 0;
    ::testing::internal::CaptureStdout();
    for (int i = 0; i < 10 && rc >= 0; ++i) {
        rc = SDL_Linux_Audio_Out_write_byte(out, frames.data(), 800);
    }
    const std::string text = ::testing::internal::GetCapturedStdout();
    EXPECT_EQ(rc, -EIO);
    EXPECT_NE(text.find(" SDL_Linux_Alsa_write_byte  error: "), std::string::npos) << text;
    SDL_Linux_Audio_Out_free(out);
}

// Release then free closes once (a second close would be a use after free under ASan);
// writes in between fail cleanly.
TEST_F(PcmSink, ReleaseThenFreeClosesOnce) {
    SDL_Linux_Audio_Out *out = SDL_Linux_Audio_Out_new_from_sdl_spec(8000, 1, 0);
    ASSERT_NE(out, nullptr);
    SDL_Linux_Audio_Out_release(out);
    EXPECT_EQ(out->priv_data->handle, nullptr);
    std::vector<std::int16_t> frames(10, 1);
    EXPECT_LT(SDL_Linux_Audio_Out_write_byte(out, frames.data(), 10), 0);
    SDL_Linux_Audio_Out_release(out);
    SDL_Linux_Audio_Out_flush(out);
    SDL_Linux_Audio_Out_stop(out);
    SDL_Linux_Audio_Out_free(out);
    SDL_Linux_Audio_Out_free(nullptr);
}

TEST_F(PcmSink, UnopenableDeviceIsReportedAndReturnsNull) {
    setenv("RV_PCM_SLAVE", "no_such_device", 1);
    auto [out, text] = open(44100, 1);
    unsetenv("RV_PCM_SLAVE");
    EXPECT_EQ(out, nullptr);
    EXPECT_NE(text.find("unable to open pcm device: "), std::string::npos) << text;
}

}  // namespace
