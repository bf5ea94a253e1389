// The in-band now-playing readers over the bytes stations really send, and worse.
#include <gtest/gtest.h>

#include <algorithm>
#include <span>
#include <string>
#include <vector>

#include "now_playing.h"

namespace {

using namespace std::string_view_literals;
using Bytes = std::vector<std::uint8_t>;

Bytes bytes(std::string_view s) {
    return Bytes(s.begin(), s.end());
}

Bytes syncsafe(std::size_t n) {
    return {static_cast<std::uint8_t>(n >> 21 & 0x7F), static_cast<std::uint8_t>(n >> 14 & 0x7F),
            static_cast<std::uint8_t>(n >> 7 & 0x7F), static_cast<std::uint8_t>(n & 0x7F)};
}

Bytes cat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const Bytes &p : parts) {
        out.insert(out.end(), p.begin(), p.end());
    }
    return out;
}

// A frame of version 3 (plain size) or 4 (syncsafe size), with its format flags.
Bytes frame(int version, std::string_view id, const Bytes &data, std::uint8_t format = 0) {
    Bytes size = syncsafe(data.size());
    if (version == 3) {
        size = {0, 0, static_cast<std::uint8_t>(data.size() >> 8),
                static_cast<std::uint8_t>(data.size())};
    }
    return cat({bytes(id), size, {0, format}, data});
}

Bytes tag(int version, const Bytes &body, std::uint8_t flags = 0) {
    return cat({bytes("ID3"sv),
                {static_cast<std::uint8_t>(version), 0, flags},
                syncsafe(body.size()),
                body});
}

struct Row {
    const char *name;
    enum { Icy, Id3 } kind;
    Bytes input;
    bool found;
    orv::NowPlaying expect;
};

const std::string k300(300, 'x');

const Row kRows[] = {
    {"icy title and url",
     Row::Icy,
     bytes("StreamTitle='Band - Song';StreamUrl='http://radio.example/';\0\0\0"sv),
     true,
     {"Band - Song", "", "http://radio.example/"}},
    {"icy quotes and semicolons inside",
     Row::Icy,
     bytes("StreamTitle='Don't; Stop';"sv),
     true,
     {"Don't; Stop", "", ""}},
    {"icy latin-1",
     Row::Icy,
     bytes("StreamTitle='Caf\xe9 M\xfcller';"sv),
     true,
     {"Caf\xc3\xa9 M\xc3\xbcller", "", ""}},
    {"icy utf-8 kept",
     Row::Icy,
     bytes("StreamTitle='\xd0\x9c\xd1\x83\xd0\xb7\xd1\x8b\xd0\xba\xd0\xb0';"sv),
     true,
     {"\xd0\x9c\xd1\x83\xd0\xb7\xd1\x8b\xd0\xba\xd0\xb0", "", ""}},
    {"icy controls out, breaks to spaces",
     Row::Icy,
     bytes("StreamTitle=' A\x01\x1b\tB\r\n';"sv),
     true,
     {"A B", "", ""}},
    {"icy bounded",
     Row::Icy,
     bytes("StreamTitle='" + k300 + "';"),
     true,
     {std::string(orv::kMaxTextBytes, 'x'), "", ""}},
    {"icy cut short", Row::Icy, bytes("StreamTitle='Half a ti"sv), true, {"Half a ti", "", ""}},
    {"icy empty block", Row::Icy, Bytes(16, 0), false, {}},
    {"icy other fields only", Row::Icy, bytes("Foo='bar';"sv), false, {}},
    {"id3 v2.4 utf-8",
     Row::Id3,
     tag(4, cat({frame(4, "TIT2", bytes("\x03Ol\xc3\xa1\0"sv)),
                 frame(4, "TPE1", bytes("\x03Singer"sv))})),
     true,
     {"Ol\xc3\xa1", "Singer", ""}},
    {"id3 v2.3 utf-16 bom and latin-1",
     Row::Id3,
     tag(3,
         cat({frame(3, "TIT2", Bytes{1, 0xFF, 0xFE, 'S', 0, 0xE9, 0, 0x3D, 0xD8, 0xB5, 0xDC, 0, 0}),
              frame(3, "TPE1",
                    bytes("\x00"
                          "Caf\xe9"sv))})),
     true,
     {"S\xc3\xa9\xf0\x9f\x92\xb5", "Caf\xc3\xa9", ""}},
    {"id3 v2.4 utf-16be, data length and unsync",
     Row::Id3,
     tag(4, frame(4, "TIT2", cat({syncsafe(5), Bytes{2, 0x00, 'H', 0x00, 'i'}}), 0x03)),
     true,
     {"Hi", "", ""}},
    {"id3 v2.2",
     Row::Id3,
     tag(2,
         cat({bytes("TT2"sv), Bytes{0, 0, 5}, bytes("\x00Song"sv), bytes("TP1"sv), Bytes{0, 0, 4},
              bytes("\x00"
                    "Art"sv)})),
     true,
     {"Song", "Art", ""}},
    {"id3 frame larger than the tag",
     Row::Id3,
     tag(4, cat({bytes("TIT2"sv), syncsafe(99), Bytes{0, 0, 3, 'a'}})),
     false,
     {}},
    {"id3 compressed frame skipped",
     Row::Id3,
     tag(4, cat({frame(4, "TIT2", bytes("\x03zz"sv), 0x08), frame(4, "TPE1", bytes("\x03Who"sv))})),
     true,
     {"", "Who", ""}},
    {"not a tag", Row::Id3, bytes("ID2\x04\0\0\0\0\0\0"sv), false, {}},
};

TEST(NowPlaying, ReadersGiveCleanTextsOrNothing) {
    for (const Row &row : kRows) {
        const auto got =
            row.kind == Row::Icy ? orv::parse_icy_block(row.input) : orv::parse_id3v2(row.input);
        ASSERT_EQ(got.has_value(), row.found) << row.name;
        if (got) {
            EXPECT_EQ(got->title, row.expect.title) << row.name;
            EXPECT_EQ(got->artist, row.expect.artist) << row.name;
            EXPECT_EQ(got->url, row.expect.url) << row.name;
        }
    }
}

// A station body with metaint 5 cut into pieces of every size: the same audio, the titles
// at the byte their audio starts, empty and title-less blocks skipped.
TEST(NowPlaying, IcyStripperSplitsBodyWhateverItsPieces) {
    const std::string block = "StreamTitle='A - B';";
    const Bytes title = cat({{2}, bytes(block), Bytes(32 - block.size(), 0)});
    const Bytes body = cat({bytes("01234"sv),
                            title,
                            bytes("56789"sv),
                            {0},
                            bytes("abcde"sv),
                            cat({{1}, bytes("Other='x';\0\0\0\0\0\0"sv)}),
                            bytes("fg"sv)});
    for (std::size_t piece = 1; piece <= body.size(); ++piece) {
        orv::IcyStripper stripper(5);
        Bytes audio;
        std::vector<orv::IcyStripper::Mark> marks;
        for (std::size_t at = 0; at < body.size(); at += piece) {
            stripper.feed(std::span(body).subspan(at, std::min(piece, body.size() - at)), audio,
                          marks);
        }
        EXPECT_EQ(audio, bytes("0123456789abcdefg"sv)) << piece;
        ASSERT_EQ(marks.size(), 1u) << piece;
        EXPECT_EQ(marks[0].at, 5u) << piece;
        EXPECT_EQ(marks[0].now.title, "A - B") << piece;
    }
}

// The bound never splits a character.
TEST(NowPlaying, BoundCutsBetweenCharacters) {
    std::string text;
    for (int i = 0; i < 200; ++i) {
        text += "\xc3\xa9";  // two bytes each
    }
    const std::string clean = orv::clean_text("x" + text);
    EXPECT_EQ(clean.size(), orv::kMaxTextBytes - 1);
    EXPECT_EQ(orv::clean_text(clean), clean);
}

}  // namespace
