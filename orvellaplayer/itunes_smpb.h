// The encoder's delay and padding an iTunes-encoded MP4 declares in its `iTunSMPB` tag
// when it has no edit list: hex fields, the second the delay, the third the padding, the
// fourth the samples of the original audio.
#ifndef ORV_ITUNES_SMPB_H
#define ORV_ITUNES_SMPB_H

#include <cstdint>
#include <optional>
#include <string_view>

namespace orv {

struct EncoderGap {
    std::int64_t delay = 0;    // samples the decoder gives before the first one heard
    std::int64_t padding = 0;  // samples it gives after the last one heard
    std::int64_t samples = 0;  // samples heard, > 0
};

// Null unless the text is space-separated hex fields of at most 16 digits, at most
// kMaxItunesSmpb characters, the delay and padding below 2^32 and the length in
// 1..2^48 (bounds of what any real file holds, so sums of them cannot overflow).
std::optional<EncoderGap> parse_itunes_smpb(std::string_view text);

inline constexpr std::size_t kMaxItunesSmpb = 256;

}  // namespace orv

#endif
