// Which demuxer a network source gets: its Content-Type first, else its URL's extension.
#include <gtest/gtest.h>

#include "media_input.h"

namespace {

std::string named(const char *content_type, const std::string &url) {
    const AVInputFormat *format = orv::demuxer_for(content_type, url);
    return format != nullptr ? format->name : "probe";
}

TEST(DemuxerChoice, ContentTypeNamesItWhateverTheUrlSays) {
    const std::string url = "http://radio.example/stream.ogg";
    EXPECT_EQ(named("audio/mpeg", url), "mp3");
    EXPECT_EQ(named("audio/aac", url), "aac");
    EXPECT_EQ(named("audio/aacp", url), "aac");
    EXPECT_EQ(named("application/ogg", "http://radio.example/a.mp3"), "ogg");
    EXPECT_EQ(named("audio/ogg", "http://radio.example/a.mp3"), "ogg");
    EXPECT_EQ(named("audio/x-mpegurl", url), "hls");
    EXPECT_EQ(named("application/vnd.apple.mpegurl", url), "hls");
    // Parameters, case and spaces do not matter.
    EXPECT_EQ(named(" Audio/MPEG ; charset=binary", url), "mp3");
}

TEST(DemuxerChoice, ExtensionOfThePathNamesItWhenTheTypeDoesNot) {
    EXPECT_EQ(named("application/octet-stream", "http://h/live/radio.mp3?token=a.b"), "mp3");
    EXPECT_EQ(named(nullptr, "https://h/live.AAC#x.ogg"), "aac");
    EXPECT_EQ(named("text/plain", "http://h/hls/index.m3u8"), "hls");
    EXPECT_EQ(named("", "http://h/a.oga"), "ogg");
}

TEST(DemuxerChoice, NeitherNamingOneMeansProbing) {
    EXPECT_EQ(named("application/octet-stream", "http://h/stream"), "probe");
    EXPECT_EQ(named(nullptr, "http://radio.example.com"), "probe");  // a dot in the host
    EXPECT_EQ(named(nullptr, "http://radio.example.com/"), "probe");
    EXPECT_EQ(named(nullptr, "http://h/v1.2/stream"), "probe");          // a dot in a folder
    EXPECT_EQ(named(nullptr, "http://h/stream?format=a.mp3"), "probe");  // in the query only
    EXPECT_EQ(named("audio/x-unknown", "http://h/a.xyz"), "probe");
}

}  // namespace
