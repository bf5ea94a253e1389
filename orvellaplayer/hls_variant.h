// One variant of an HLS master playlist, chosen before anything else is fetched: the
// demuxer would otherwise open every variant and keep fetching their segments.
#ifndef ORV_HLS_VARIANT_H
#define ORV_HLS_VARIANT_H

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace orv {

constexpr std::int64_t kDefaultMaxBitrate = 192000;  // bits per second

// URI of the variant to play: the highest BANDWIDTH not above `max_bitrate`, else the lowest.
// Empty when `playlist` is not a master playlist (or lists no variant).
std::optional<std::string> choose_variant(std::string_view playlist, std::int64_t max_bitrate);

// `ref` read relative to the URL `base`, as a browser would (absolute, "//host/…", "/path"
// or relative to base's folder).
std::string resolve_url(std::string_view base, std::string_view ref);

}  // namespace orv

#endif
