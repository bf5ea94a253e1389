// The iTunSMPB reader over what iTunes and other encoders write, and worse.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "itunes_smpb.h"

namespace {

TEST(ItunesSmpb, ReadsTheGapOfWellFormedTagsOnly) {
    struct {
        std::string text;
        std::optional<orv::EncoderGap> gap;
    } const rows[] = {
        {" 00000000 00000840 000002F0 00000000000A2E10 00000000 00000000 00000000 00000000 "
         "00000000 00000000 00000000 00000000",
         orv::EncoderGap{0x840, 0x2F0, 0xA2E10}},
        {"0 840 2f0 a2e10", orv::EncoderGap{0x840, 0x2F0, 0xA2E10}},
        {" 00000000 00000000 00000000 0000000000000400", orv::EncoderGap{0, 0, 0x400}},
        {" 00000000 00000840 000002F0", std::nullopt},                      // no length
        {" 00000000 00000840 000002F0 0000000000000000", std::nullopt},     // length 0
        {" 00000000 00000840 000002F0 00000000000A2E1G", std::nullopt},     // not hex
        {" 00000000 -0000840 000002F0 00000000000A2E10", std::nullopt},     // a sign
        {" 00000000 0x840 000002F0 00000000000A2E10", std::nullopt},        // a prefix
        {" 00000000 00000840 000002F0 00000000000A2E10 zz", std::nullopt},  // trailing junk
        {" 00000000 100000000 000002F0 00000000000A2E10", std::nullopt},    // delay >= 2^32
        {" 00000000 00000840 000002F0 0001000000000001", std::nullopt},     // length > 2^48
        {" 0 1 2 00000000000000000003", std::nullopt},                      // 17 digits
        {" 0 1 2 3" + std::string(300, ' '), std::nullopt},                 // beyond the bound
        {"", std::nullopt},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.text);
        const auto gap = orv::parse_itunes_smpb(row.text);
        ASSERT_EQ(gap.has_value(), row.gap.has_value());
        if (gap) {
            EXPECT_EQ(gap->delay, row.gap->delay);
            EXPECT_EQ(gap->padding, row.gap->padding);
            EXPECT_EQ(gap->samples, row.gap->samples);
        }
    }
}

}  // namespace
