#include "now_playing.h"

#include <algorithm>
#include <vector>

namespace orv {
namespace {

void append_utf8(std::string &out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

// The code points of valid UTF-8 (no overlong forms, surrogates or values past U+10FFFF),
// or null.
std::optional<std::u32string> decode_utf8(std::string_view s) {
    std::u32string out;
    for (std::size_t i = 0; i < s.size();) {
        const auto b = static_cast<unsigned char>(s[i]);
        int extra = 0;
        char32_t c = 0;
        char32_t min = 0;
        if (b < 0x80) {
            c = b;
        } else if ((b & 0xE0) == 0xC0) {
            extra = 1, c = b & 0x1F, min = 0x80;
        } else if ((b & 0xF0) == 0xE0) {
            extra = 2, c = b & 0x0F, min = 0x800;
        } else if ((b & 0xF8) == 0xF0) {
            extra = 3, c = b & 0x07, min = 0x10000;
        } else {
            return std::nullopt;
        }
        if (i + extra >= s.size() && extra > 0) {
            return std::nullopt;
        }
        for (int k = 1; k <= extra; ++k) {
            const auto cb = static_cast<unsigned char>(s[i + k]);
            if ((cb & 0xC0) != 0x80) {
                return std::nullopt;
            }
            c = (c << 6) | (cb & 0x3F);
        }
        if (c < min || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) {
            return std::nullopt;
        }
        out += c;
        i += static_cast<std::size_t>(extra) + 1;
    }
    return out;
}

std::string utf16_to_utf8(std::span<const std::uint8_t> bytes, bool big_endian) {
    std::string out;
    auto unit = [&](std::size_t i) -> char32_t {
        return big_endian ? (bytes[i] << 8 | bytes[i + 1]) : (bytes[i + 1] << 8 | bytes[i]);
    };
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        char32_t c = unit(i);
        if (c >= 0xD800 && c <= 0xDBFF && i + 3 < bytes.size() && unit(i + 2) >= 0xDC00 &&
            unit(i + 2) <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (unit(i + 2) - 0xDC00);
            i += 2;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = 0xFFFD;
        }
        append_utf8(out, c);
    }
    return out;
}

bool is_control(char32_t c) {
    return c < 0x20 || c == 0x7F || (c >= 0x80 && c <= 0x9F);
}

// --- ICY ---

bool is_key_char(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
}

// Whether `rest` is empty or starts with another field (Key=').
bool field_or_end(std::string_view rest) {
    std::size_t k = 0;
    while (k < rest.size() && is_key_char(rest[k])) {
        ++k;
    }
    return rest.empty() || (k > 0 && rest.substr(k).starts_with("='"));
}

// --- ID3 ---

std::uint32_t syncsafe(std::span<const std::uint8_t> b) {
    return (b[0] & 0x7Fu) << 21 | (b[1] & 0x7Fu) << 14 | (b[2] & 0x7Fu) << 7 | (b[3] & 0x7Fu);
}

std::uint32_t big_endian(std::span<const std::uint8_t> b) {
    std::uint32_t v = 0;
    for (const std::uint8_t x : b) {
        v = v << 8 | x;
    }
    return v;
}

// Undoes unsynchronisation: every 0xFF 0x00 becomes 0xFF.
std::vector<std::uint8_t> resync(std::span<const std::uint8_t> b) {
    std::vector<std::uint8_t> out;
    out.reserve(b.size());
    for (std::size_t i = 0; i < b.size(); ++i) {
        out.push_back(b[i]);
        if (b[i] == 0xFF && i + 1 < b.size() && b[i + 1] == 0x00) {
            ++i;
        }
    }
    return out;
}

// A text frame's first value, cleaned.
std::string id3_text(std::span<const std::uint8_t> data) {
    if (data.empty()) {
        return {};
    }
    const std::uint8_t encoding = data[0];
    std::span<const std::uint8_t> text = data.subspan(1);
    if (encoding == 1 || encoding == 2) {
        std::size_t end = 0;
        while (end + 1 < text.size() && (text[end] != 0 || text[end + 1] != 0)) {
            end += 2;
        }
        text = text.first(std::min(end, text.size()));
        bool big = encoding == 2;
        if (encoding == 1 && text.size() >= 2) {
            if (text[0] == 0xFF && text[1] == 0xFE) {
                big = false;
                text = text.subspan(2);
            } else if (text[0] == 0xFE && text[1] == 0xFF) {
                big = true;
                text = text.subspan(2);
            }
        }
        return clean_text(utf16_to_utf8(text, big));
    }
    const auto nul = std::find(text.begin(), text.end(), std::uint8_t{0});
    const std::string_view raw(reinterpret_cast<const char *>(text.data()),
                               static_cast<std::size_t>(nul - text.begin()));
    return clean_text(raw);
}

}  // namespace

std::string clean_text(std::string_view bytes) {
    std::u32string points;
    if (auto utf8 = decode_utf8(bytes)) {
        points = std::move(*utf8);
    } else {
        for (const char ch : bytes) {
            points += static_cast<char32_t>(static_cast<unsigned char>(ch));
        }
    }
    std::string out;
    for (char32_t c : points) {
        if (c == '\t' || c == '\n' || c == '\r') {
            c = ' ';
        } else if (is_control(c)) {
            continue;
        }
        if (c == ' ' && (out.empty() || out.back() == ' ')) {
            continue;  // no leading or doubled spaces
        }
        std::string one;
        append_utf8(one, c);
        if (out.size() + one.size() > kMaxTextBytes) {
            break;
        }
        out += one;
    }
    while (!out.empty() && out.back() == ' ') {
        out.pop_back();
    }
    return out;
}

std::optional<NowPlaying> parse_icy_block(std::span<const std::uint8_t> block) {
    std::string_view text(reinterpret_cast<const char *>(block.data()), block.size());
    text = text.substr(0, text.find('\0'));
    NowPlaying now;
    bool told = false;
    while (!text.empty()) {
        const std::size_t eq = text.find("='");
        if (eq == std::string_view::npos) {
            break;
        }
        const std::string_view key = text.substr(0, eq);
        std::string_view rest = text.substr(eq + 2);
        // The value ends at the first "';" (or closing quote at the end) that the next
        // field or the end follows.
        std::size_t end = std::string_view::npos;
        for (std::size_t q = rest.find('\''); q != std::string_view::npos;
             q = rest.find('\'', q + 1)) {
            std::string_view after = rest.substr(q + 1);
            if (after.starts_with(';')) {
                after.remove_prefix(1);
            } else if (!after.empty()) {
                continue;
            }
            if (field_or_end(after)) {
                end = q;
                break;
            }
        }
        if (end == std::string_view::npos) {
            end = rest.size();  // a block cut short: the value runs to its end
        }
        const std::string_view value = rest.substr(0, end);
        if (key == "StreamTitle") {
            now.title = clean_text(value);
            told = true;
        } else if (key == "StreamUrl") {
            now.url = clean_text(value);
            told = true;
        }
        text = rest.substr(std::min(rest.size(), end + 2));
    }
    if (!told) {
        return std::nullopt;
    }
    return now;
}

void IcyStripper::feed(std::span<const std::uint8_t> data, std::vector<std::uint8_t> &audio,
                       std::vector<Mark> &marks) {
    while (!data.empty()) {
        if (audio_left_ > 0) {
            const std::size_t take = std::min(audio_left_, data.size());
            audio.insert(audio.end(), data.begin(), data.begin() + take);
            audio_left_ -= take;
            data = data.subspan(take);
        } else if (!in_meta_) {
            meta_left_ = std::size_t{data[0]} * 16;
            in_meta_ = true;
            block_.clear();
            data = data.subspan(1);
        } else {
            const std::size_t take = std::min(meta_left_, data.size());
            block_.insert(block_.end(), data.begin(), data.begin() + take);
            meta_left_ -= take;
            data = data.subspan(take);
        }
        if (in_meta_ && meta_left_ == 0) {
            if (auto now = parse_icy_block(block_)) {
                marks.push_back({audio.size(), std::move(*now)});
            }
            in_meta_ = false;
            audio_left_ = metaint_;
        }
    }
}

std::optional<NowPlaying> parse_id3v2(std::span<const std::uint8_t> tag) {
    if (tag.size() < 10 || tag[0] != 'I' || tag[1] != 'D' || tag[2] != '3') {
        return std::nullopt;
    }
    const int version = tag[3];
    const std::uint8_t flags = tag[5];
    if (version < 2 || version > 4) {
        return std::nullopt;
    }
    const std::size_t size = std::min<std::size_t>(syncsafe(tag.subspan(6, 4)), tag.size() - 10);
    std::vector<std::uint8_t> body(tag.begin() + 10,
                                   tag.begin() + 10 + static_cast<std::ptrdiff_t>(size));
    if ((flags & 0x80) != 0 && version < 4) {
        body = resync(body);
    }
    std::span<const std::uint8_t> frames(body);
    if ((flags & 0x40) != 0 && version >= 3 && frames.size() >= 4) {
        // Extended header: version 3 gives its size without these 4 bytes, 4 with them.
        const std::size_t ext =
            version == 3 ? big_endian(frames.first(4)) + 4u : syncsafe(frames.first(4));
        frames = frames.subspan(std::min(ext, frames.size()));
    }
    const std::size_t id_len = version == 2 ? 3 : 4;
    const std::size_t header = version == 2 ? 6 : 10;
    NowPlaying now;
    bool told = false;
    while (frames.size() >= header && frames[0] != 0) {
        const std::string_view id(reinterpret_cast<const char *>(frames.data()), id_len);
        const std::size_t frame_size = version == 2   ? big_endian(frames.subspan(3, 3))
                                       : version == 3 ? big_endian(frames.subspan(4, 4))
                                                      : syncsafe(frames.subspan(4, 4));
        if (frame_size > frames.size() - header) {
            break;
        }
        const std::uint8_t format = version == 2 ? 0 : frames[9];
        std::span<const std::uint8_t> data = frames.subspan(header, frame_size);
        frames = frames.subspan(header + frame_size);
        // Compressed or encrypted frames hold no text we can read; a group id or a data
        // length comes before the text.
        const bool sealed =
            (version == 3 && (format & 0xC0) != 0) || (version == 4 && (format & 0x0C) != 0);
        if (sealed) {
            continue;
        }
        std::size_t skip = 0;
        skip += (version == 3 && (format & 0x20) != 0) || (version == 4 && (format & 0x40) != 0);
        skip += version == 4 && (format & 0x01) != 0 ? 4 : 0;
        data = data.subspan(std::min(skip, data.size()));
        std::vector<std::uint8_t> own;
        if (version == 4 && ((format & 0x02) != 0 || (flags & 0x80) != 0)) {
            own = resync(data);
            data = own;
        }
        if (id == "TIT2" || id == "TT2") {
            now.title = id3_text(data);
            told = true;
        } else if (id == "TPE1" || id == "TP1") {
            now.artist = id3_text(data);
            told = true;
        }
    }
    if (!told) {
        return std::nullopt;
    }
    return now;
}

}  // namespace orv
