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
#include <vector>

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

// A station's body split into its audio and its ICY metadata blocks: a length byte (times
// 16) follows every `metaint` bytes of audio. Any bytes are safe; state carries across feeds.
class IcyStripper {
  public:
    struct Mark {
        std::size_t at;  // offset of the audio that follows the block, in this feed's audio
        NowPlaying now;
    };
    explicit IcyStripper(std::size_t metaint) : metaint_(metaint), audio_left_(metaint) {}
    // Appends the audio of `data` to `audio` and the blocks that name a title to `marks`.
    void feed(std::span<const std::uint8_t> data, std::vector<std::uint8_t> &audio,
              std::vector<Mark> &marks);

  private:
    std::size_t metaint_;
    std::size_t audio_left_;  // bytes of audio before the next length byte
    std::size_t meta_left_ = 0;
    bool in_meta_ = false;  // the length byte has come: meta_left_ bytes of block follow
    std::vector<std::uint8_t> block_;
};

// TIT2 and TPE1 (TT2 and TP1 in version 2.2) of an ID3v2 tag (versions 2.2 to 2.4, text in
// Latin-1, UTF-16 with BOM, UTF-16BE or UTF-8; unsynchronised tags and frames read). Null
// when the bytes are no tag or it names neither.
std::optional<NowPlaying> parse_id3v2(std::span<const std::uint8_t> tag);

}  // namespace orv

#endif
