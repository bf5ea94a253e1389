// Any bytes as an ICY metadata block: every field found is clean display text.
#include <cstddef>
#include <cstdint>

#include "now_playing_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    if (const auto now = orv::parse_icy_block({data, size})) {
        require_clean(*now);
    }
    return 0;
}
