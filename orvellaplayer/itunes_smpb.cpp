#include "itunes_smpb.h"

#include <array>

namespace orv {

namespace {

int hex_digit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    return -1;
}

}  // namespace

std::optional<EncoderGap> parse_itunes_smpb(std::string_view text) {
    constexpr std::size_t kMaxDigits = 16;
    if (text.size() > kMaxItunesSmpb) {
        return std::nullopt;
    }
    std::array<std::uint64_t, 4> fields{};
    std::size_t count = 0;
    std::size_t at = 0;
    while (count < fields.size()) {
        while (at < text.size() && text[at] == ' ') {
            ++at;
        }
        const std::size_t start = at;
        std::uint64_t value = 0;
        for (int digit = 0; at < text.size() && (digit = hex_digit(text[at])) >= 0; ++at) {
            value = value << 4 | static_cast<std::uint64_t>(digit);
        }
        const std::size_t digits = at - start;
        if (digits == 0 || digits > kMaxDigits || (at < text.size() && text[at] != ' ')) {
            return std::nullopt;
        }
        fields[count++] = value;
    }
    // Fields after the fourth (iTunes writes twelve) say nothing about the gap, but are
    // hex all the same.
    for (; at < text.size(); ++at) {
        if (text[at] != ' ' && hex_digit(text[at]) < 0) {
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
