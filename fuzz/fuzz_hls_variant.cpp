// Any bytes as an HLS master playlist: the chosen variant is one of the playlist's
// own URI lines, whole, and resolving it against a base URL keeps the base's origin
// unless the line names its own.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "hls_variant.h"

namespace {

void require(bool ok) {
    if (!ok) {
        __builtin_trap();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const std::string_view playlist(reinterpret_cast<const char *>(data), size);
    const std::optional<std::string> low = orv::choose_variant(playlist, 0);
    const std::optional<std::string> mid = orv::choose_variant(playlist, orv::kDefaultMaxBitrate);
    const std::optional<std::string> high = orv::choose_variant(playlist, INT64_MAX);
    for (const std::optional<std::string> &uri : {low, mid, high}) {
        if (!uri) {
            continue;
        }
        require(!uri->empty() && uri->front() != '#' && uri->find('\n') == std::string::npos);
        require(playlist.find(*uri) != std::string_view::npos);
        const std::string url =
            orv::resolve_url("https://host.example:8443/live/master.m3u8?t=1", *uri);
        require(url.find("://") != std::string::npos);
        if (uri->find("://") == std::string::npos && !uri->starts_with("//")) {
            require(url.starts_with("https://host.example:8443/"));
        }
    }
    return 0;
}
