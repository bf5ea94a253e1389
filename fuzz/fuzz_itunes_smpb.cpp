// Any bytes as an iTunSMPB tag: a gap read is within the bounds, and written back in
// iTunes's own layout it reads the same.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string_view>

#include "itunes_smpb.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    const auto gap =
        orv::parse_itunes_smpb(std::string_view(reinterpret_cast<const char *>(data), size));
    if (!gap) {
        return 0;
    }
    if (gap->delay < 0 || gap->delay > 0xFFFFFFFF || gap->padding < 0 ||
        gap->padding > 0xFFFFFFFF || gap->samples <= 0 || gap->samples > (std::int64_t{1} << 48)) {
        __builtin_trap();
    }
    char text[64];
    snprintf(text, sizeof text, " 00000000 %08llX %08llX %016llX",
             static_cast<unsigned long long>(gap->delay),
             static_cast<unsigned long long>(gap->padding),
             static_cast<unsigned long long>(gap->samples));
    const auto again = orv::parse_itunes_smpb(text);
    if (!again || again->delay != gap->delay || again->padding != gap->padding ||
        again->samples != gap->samples) {
        __builtin_trap();
    }
    return 0;
}
