// Any bytes as an ICY metadata block: every field found is clean display text. The same
// bytes as a station's body (metaint from the first byte) split anywhere give the same
// audio and titles as in one piece, and never more audio than was sent.
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "now_playing_check.h"

namespace {

struct Split {
    std::vector<std::uint8_t> audio;
    std::vector<orv::IcyStripper::Mark> marks;
};

Split strip(std::span<const std::uint8_t> body, std::size_t metaint, std::size_t cut) {
    orv::IcyStripper stripper(metaint);
    Split out;
    stripper.feed(body.first(cut), out.audio, out.marks);
    stripper.feed(body.subspan(cut), out.audio, out.marks);
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    const std::span<const std::uint8_t> bytes(data, size);
    if (const auto now = orv::parse_icy_block(bytes)) {
        require_clean(*now);
    }
    if (size < 2) {
        return 0;
    }
    const std::span<const std::uint8_t> body = bytes.subspan(2);
    const std::size_t metaint = data[0] % 64 + 1;
    const Split whole = strip(body, metaint, 0);
    const Split parts = strip(body, metaint, data[1] % (body.size() + 1));
    if (whole.audio != parts.audio || whole.audio.size() > body.size() ||
        whole.marks.size() != parts.marks.size()) {
        __builtin_trap();
    }
    for (std::size_t i = 0; i < whole.marks.size(); ++i) {
        if (whole.marks[i].at != parts.marks[i].at || !(whole.marks[i].now == parts.marks[i].now)) {
            __builtin_trap();
        }
        require_clean(whole.marks[i].now);
    }
    return 0;
}
