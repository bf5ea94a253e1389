#include "itunes_smpb.h"

#include <array>
#include <cctype>
#include <charconv>
#include <cstddef>

namespace orv {

std::optional<EncoderGap> parse_itunes_smpb(std::string_view text) {
    constexpr std::size_t kMaxDigits = 16;
    if (text.size() > kMaxItunesSmpb) {
        return std::nullopt;
    }
    const char *at = text.data();
    const char *const end = at + text.size();
    std::array<std::uint64_t, 4> fields{};
    for (std::uint64_t &field : fields) {
        while (at < end && *at == ' ') {
            ++at;
        }
        const auto [next, error] = std::from_chars(at, end, field, 16);
        if (error != std::errc() || next - at > static_cast<std::ptrdiff_t>(kMaxDigits) ||
            (next < end && *next != ' ')) {
            return std::nullopt;
        }
        at = next;
    }
    // Fields after the fourth (iTunes writes twelve) say nothing about the gap, but are
    // hex all the same.
    for (; at < end; ++at) {
        if (*at != ' ' && std::isxdigit(static_cast<unsigned char>(*at)) == 0) {
            return std::nullopt;
        }
    }
    constexpr std::uint64_t kMaxGap = 0xFFFFFFFF;
    constexpr std::uint64_t kMaxSamples = std::uint64_t{1} << 48;
    if (fields[1] > kMaxGap || fields[2] > kMaxGap || fields[3] == 0 || fields[3] > kMaxSamples) {
        return std::nullopt;
    }
    return EncoderGap{static_cast<std::int64_t>(fields[1]), static_cast<std::int64_t>(fields[2]),
                      static_cast<std::int64_t>(fields[3])};
}

}  // namespace orv
