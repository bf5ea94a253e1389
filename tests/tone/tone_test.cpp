// Round trips of the tone tool: what it encodes decodes to the same tone and length.
#include <gtest/gtest.h>

#include "tone.h"

namespace {

struct Case {
    rvtone::Codec codec;
    int rate;
    int channels;
};

class ToneRoundTrip : public ::testing::TestWithParam<Case> {};

TEST_P(ToneRoundTrip, DecodesToTheSameToneAndLength) {
    const Case c = GetParam();
    rvtone::ToneSpec tone;
    tone.frequency_hz = 1250;
    tone.duration_s = 2.0;
    tone.sample_rate = c.rate;
    tone.channels = c.channels;
    const auto bytes = rvtone::encode_tone(c.codec, tone);
    ASSERT_GT(bytes.size(), 1000u);
    if (c.codec == rvtone::Codec::Aac) {
        // ADTS sync word at the very start.
        EXPECT_EQ(bytes[0], 0xFF);
        EXPECT_EQ(bytes[1] & 0xF0, 0xF0);
    }
    const rvtone::Pcm pcm = rvtone::decode(bytes);
    EXPECT_EQ(pcm.sample_rate, c.rate);
    EXPECT_EQ(pcm.channels, c.channels);
    EXPECT_NEAR(pcm.duration_s(), 2.0, 0.1);
    const auto mono = pcm.mono();
    EXPECT_NEAR(rvtone::dominant_frequency(mono, pcm.sample_rate), 1250, 10);
    EXPECT_NEAR(rvtone::tone_seconds(mono, pcm.sample_rate, 1250), 2.0, 0.1);
    EXPECT_LT(rvtone::tone_seconds(mono, pcm.sample_rate, 1300), 0.1);
}

INSTANTIATE_TEST_SUITE_P(Codecs, ToneRoundTrip,
                         ::testing::Values(Case{rvtone::Codec::Aac, 44100, 1},
                                           Case{rvtone::Codec::Aac, 48000, 2},
                                           Case{rvtone::Codec::Mp3, 44100, 2},
                                           Case{rvtone::Codec::Mp3, 22050, 1}));

TEST(ToneIds, NeighbouringIdsAreFiftyHertzApartAndWrap) {
    EXPECT_EQ(rvtone::frequency_for_audio_id(0), 300);
    EXPECT_EQ(rvtone::frequency_for_audio_id(1), 350);
    EXPECT_EQ(rvtone::frequency_for_audio_id(39), 2250);
    EXPECT_EQ(rvtone::frequency_for_audio_id(40), 300);
    EXPECT_EQ(rvtone::frequency_for_audio_id(-1), 2250);
}

TEST(ToneMeasure, SilenceHasNoTone) {
    std::vector<std::int16_t> silence(8000, 0);
    EXPECT_EQ(rvtone::tone_fraction(silence, 8000, 440), 0.0);
    EXPECT_EQ(rvtone::tone_seconds(silence, 8000, 440), 0.0);
}

TEST(ToneMeasure, WindowsAsShortAs40MsTellNeighbouringIdsApart) {
    rvtone::ToneSpec tone;
    tone.frequency_hz = rvtone::frequency_for_audio_id(7);
    tone.duration_s = 0.04;
    const auto pcm = rvtone::decode(rvtone::encode_tone(rvtone::Codec::Aac, tone)).mono();
    std::span<const std::int16_t> mid(pcm.data(), pcm.size());
    EXPECT_GT(rvtone::tone_fraction(mid, 44100, rvtone::frequency_for_audio_id(7)), 0.5);
    EXPECT_LT(rvtone::tone_fraction(mid, 44100, rvtone::frequency_for_audio_id(8)), 0.5);
}

}  // namespace
