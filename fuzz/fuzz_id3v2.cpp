// Any bytes as an ID3v2 tag (HLS timed metadata): every frame found is clean display text.
#include <cstddef>
#include <cstdint>

#include "now_playing_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    if (const auto now = orv::parse_id3v2({data, size})) {
        require_clean(*now);
    }
    return 0;
}
