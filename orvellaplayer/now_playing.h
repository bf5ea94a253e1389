// What is playing, as stations tell it in band: ICY metadata blocks (Icecast, SHOUTcast)
// and ID3v2 tags (HLS timed metadata). Pure functions over outside input: any bytes are
// safe, nothing is kept.
#ifndef ORV_NOW_PLAYING_H
#define ORV_NOW_PLAYING_H

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace orv {

// Longest text handed on, in bytes of UTF-8 (cut at a character boundary).
constexpr std::size_t kMaxTextBytes = 256;

struct NowPlaying {
    std::string title;   // empty when not told
    std::string artist;  // empty when not told (ICY titles carry it inside: "Artist - Song")
    std::string url;     // ICY StreamUrl, else empty

    bool operator==(const NowPlaying &) const = default;
};

// Text for display: UTF-8 kept when the bytes are valid UTF-8, otherwise they are read as
// Latin-1; tabs and line breaks become spaces, other control characters go, leading and
// trailing spaces go, and the result is bounded by kMaxTextBytes.
std::string clean_text(std::string_view bytes);

// The fields of one ICY metadata block (the bytes after its length byte, NUL padding
// included): StreamTitle='…';StreamUrl='…';. A value may hold quotes and semicolons; it
// ends at the "';" before the next field or the end. Null when the block names neither
// field (an empty block keeps the title that was).
std::optional<NowPlaying> parse_icy_block(std::span<const std::uint8_t> block);

// TIT2 and TPE1 (TT2 and TP1 in version 2.2) of an ID3v2 tag (versions 2.2 to 2.4, text in
// Latin-1, UTF-16 with BOM, UTF-16BE or UTF-8; unsynchronised tags and frames read). Null
// when the bytes are no tag or it names neither.
std::optional<NowPlaying> parse_id3v2(std::span<const std::uint8_t> tag);

}  // namespace orv

#endif
