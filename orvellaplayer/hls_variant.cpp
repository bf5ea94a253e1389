#include "hls_variant.h"

#include <charconv>
#include <limits>

namespace orv {
namespace {

constexpr std::string_view kVariantTag = "#EXT-X-STREAM-INF:";

std::string_view without_cr(std::string_view line) {
    return !line.empty() && line.back() == '\r' ? line.substr(0, line.size() - 1) : line;
}

// BANDWIDTH of an attribute list (quoted values may hold commas); -1 when missing.
std::int64_t bandwidth(std::string_view attrs) {
    while (!attrs.empty()) {
        const auto eq = attrs.find('=');
        if (eq == std::string_view::npos) {
            break;
        }
        const std::string_view name = attrs.substr(0, eq);
        attrs.remove_prefix(eq + 1);
        std::size_t end = 0;
        if (!attrs.empty() && attrs.front() == '"') {
            end = attrs.find('"', 1);
            end = end == std::string_view::npos ? attrs.size() : end + 1;
        }
        end = attrs.find(',', end);
        const std::string_view value = attrs.substr(0, end);
        attrs.remove_prefix(end == std::string_view::npos ? attrs.size() : end + 1);
        std::int64_t bits = 0;
        if (name == "BANDWIDTH" &&
            std::from_chars(value.data(), value.data() + value.size(), bits).ec == std::errc{}) {
            return bits;
        }
    }
    return -1;
}

}  // namespace

std::optional<std::string> choose_variant(std::string_view playlist, std::int64_t max_bitrate) {
    std::optional<std::string> best;
    std::optional<std::string> lowest;
    std::int64_t best_bits = -1;
    std::int64_t lowest_bits = std::numeric_limits<std::int64_t>::max();
    std::int64_t pending = -2;  // BANDWIDTH of a tag still waiting for its URI; -2: none
    while (!playlist.empty()) {
        const auto nl = playlist.find('\n');
        const std::string_view line = without_cr(playlist.substr(0, nl));
        playlist.remove_prefix(nl == std::string_view::npos ? playlist.size() : nl + 1);
        if (line.starts_with(kVariantTag)) {
            pending = bandwidth(line.substr(kVariantTag.size()));
            continue;
        }
        if (pending == -2 || line.empty() || line.front() == '#') {
            continue;
        }
        if (pending <= max_bitrate && pending > best_bits) {
            best_bits = pending;
            best = std::string(line);
        }
        if (pending < lowest_bits) {
            lowest_bits = pending;
            lowest = std::string(line);
        }
        pending = -2;
    }
    return best ? best : lowest;
}

std::string resolve_url(std::string_view base, std::string_view ref) {
    const auto scheme_end = base.find("://");
    if (ref.find("://") != std::string_view::npos || scheme_end == std::string_view::npos) {
        return std::string(ref);
    }
    if (ref.starts_with("//")) {
        return std::string(base.substr(0, scheme_end + 1)).append(ref);
    }
    const auto path_at = base.find('/', scheme_end + 3);
    const std::string_view origin = base.substr(0, path_at);
    if (ref.starts_with("/")) {
        return std::string(origin).append(ref);
    }
    std::string_view path =
        path_at == std::string_view::npos ? std::string_view("/") : base.substr(path_at);
    path = path.substr(0, path.find_first_of("?#"));
    return std::string(origin).append(path.substr(0, path.rfind('/') + 1)).append(ref);
}

}  // namespace orv
