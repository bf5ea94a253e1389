// Playback over a poor mobile link that drops out, as in a tunnel: one row per kind of
// link and source. Each row must be heard whole, once, in order, with no dropout (the
// output never runs dry, and the play time is the sources' length within 500 ms).
// CTest runs each row as a test of its own, side by side.
#include <cstdlib>
#include <set>

#include "link_server.h"
#include "orvellaplayer.h"
#include "player_harness.h"

namespace rvtest {
namespace {

constexpr int kRate = 44100;

using Outage = LinkServer::Outage;
using Body = LinkServer::Body;

struct Row {
    const char *label;
    rvtone::Codec codec;
    int bitrate;
    double speed;  // the link's rate, in times the source's byte rate
    double outage_at_s;
    double outage_s;
    Outage outage;
    Body body;
    int items;  // 2: the second is prefetched once the first is fetched, then played
    int tones;  // per item, each of tone_s seconds at a pitch of its own
    double tone_s;
};

void PrintTo(const Row &row, std::ostream *os) {
    *os << row.label;
}

// A high bit rate, so that the outage outlasts what the kernel's socket buffers hold (a few
// seconds of it): the read-ahead, not they, must bridge it. The link is twelve times the
// bit rate; the outage starts a second in, when about twelve seconds are fetched.
constexpr int kHigh = 320000;
const Row kRows[] = {
    {"mp3_stall", rvtone::Codec::Mp3, kHigh, 12, 1.0, 6.0, Outage::Stall, Body::Ranged, 1, 3, 4.0},
    {"aac_stall", rvtone::Codec::Aac, kHigh, 12, 1.0, 6.0, Outage::Stall, Body::Ranged, 1, 3, 4.0},
    {"mp3_cut", rvtone::Codec::Mp3, kHigh, 12, 1.0, 6.0, Outage::CutAndRefuse, Body::Ranged, 1, 3,
     4.0},
    {"cut_without_ranges", rvtone::Codec::Mp3, kHigh, 12, 1.0, 6.0, Outage::CutAndRefuse,
     Body::NoRanges, 1, 3, 4.0},
    {"chunked_stall", rvtone::Codec::Aac, kHigh, 12, 1.0, 6.0, Outage::Stall, Body::Chunked, 1, 3,
     4.0},
    // Both items fetched before the link goes, from the middle of the first item into the
    // second: the second is prepared while there is no link at all.
    {"across_two_items", rvtone::Codec::Aac, kHigh, 12, 2.0, 4.5, Outage::CutAndRefuse,
     Body::Ranged, 2, 2, 2.0},
    // As heard in a car: 96 KB/s for 128 kbit/s, 30 s of tunnel 12 s into a 60 s MP3.
    {"slow_tunnel_30s", rvtone::Codec::Mp3, 128000, 6, 12.0, 30.0, Outage::Stall, Body::Ranged, 1,
     3, 20.0},
};

double pitch(int item, int tone) {
    return rvtone::frequency_for_audio_id(3 + item * 7 + tone * 2);
}

class Tunnel : public PlayerTest, public ::testing::WithParamInterface<Row> {};

TEST_P(Tunnel, WholeSourceOnceInOrderWithoutADropout) {
    const Row &row = GetParam();
    const double item_s = row.tones * row.tone_s;
    std::vector<std::vector<std::uint8_t>> files(static_cast<std::size_t>(row.items));
    for (int item = 0; item < row.items; ++item) {
        for (int tone = 0; tone < row.tones; ++tone) {
            rvtone::ToneSpec sine;
            sine.frequency_hz = pitch(item, tone);
            sine.duration_s = row.tone_s;
            sine.bitrate = row.bitrate;
            sine.channels = 2;
            const auto part = rvtone::encode_tone(row.codec, sine);
            files[item].insert(files[item].end(), part.begin(), part.end());
        }
    }
    LinkServer::Link link;
    link.rate = row.speed * static_cast<double>(files[0].size()) / item_s;
    link.outage_at_s = row.outage_at_s;
    link.outage_s = row.outage_s;
    link.outage = row.outage;
    link.body = row.body;
    LinkServer server(link);
    std::vector<std::string> urls;
    for (int item = 0; item < row.items; ++item) {
        const std::string name = "item" + std::to_string(item);
        server.add(name, files[item], rvtone::mime_type(row.codec));
        urls.push_back(server.url(name));
    }
    // One capture: an item that follows at its predecessor's end joins it in the open output.
    Capture capture(row.label);
    // What the album player does: prefetch the next item once the current one is fetched,
    // and play it when the current one ends.
    std::atomic<int> playing{0};
    Events::get().set_hook([&](int what, int arg1, int arg2) {
        const int next = playing.load() + 1;
        if (next >= row.items) {
            return;
        }
        if (what == ORV_EVENT_DOWNLOAD_PROGRESS && arg2 > 0 && arg1 == arg2) {
            IjkMediaPlayer_prefetch(urls[next].c_str());
        } else if (what == ORV_EVENT_COMPLETED) {
            playing.store(next);
            IjkMediaPlayer_setDataSourceAndHeaders(urls[next].c_str());
            IjkMediaPlayer_prepareAsync(0, 4);
        }
    });
    IjkMediaPlayer_setDataSourceAndHeaders(urls[0].c_str());
    ASSERT_EQ(IjkMediaPlayer_prepareAsync(0, 4), 0);

    const double total_s = item_s * row.items;
    const auto limit = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::duration<double>(total_s + row.outage_s + 20));
    const auto deadline = Clock::now() + limit;
    while (Events::get().count(ORV_EVENT_COMPLETED) < row.items && Clock::now() < deadline &&
           Events::get().count(ORV_EVENT_ERROR) == 0) {
        std::this_thread::sleep_for(50ms);
    }
    std::this_thread::sleep_for(300ms);  // a replay or a second end would show now
    Events::get().set_hook(nullptr);
    stop_heard_out();

    ASSERT_EQ(Events::get().count(ORV_EVENT_COMPLETED), row.items);
    EXPECT_EQ(Events::get().count(ORV_EVENT_ERROR), 0);
    EXPECT_EQ(Events::get().count(ORV_EVENT_INFO, ORV_INFO_BUFFERING_START), 0)
        << "the output ran dry";
    const auto events = Events::get().snapshot();
    Clock::time_point first{};
    Clock::time_point last{};
    for (const Event &e : events) {
        if (e.what == ORV_EVENT_PREPARED && first == Clock::time_point{}) {
            first = e.at;
        } else if (e.what == ORV_EVENT_COMPLETED) {
            last = e.at;
        }
    }
    const double heard_s = std::chrono::duration<double>(last - first).count();
    EXPECT_LT(heard_s - total_s, 0.5) << "silence heard";

    // Each item whole, once, in order: every tone its length, none before the one it follows.
    const auto window = static_cast<std::size_t>(0.05 * kRate);
    const auto heard = capture.read(kRate, 2).mono();
    const auto item_samples = static_cast<std::size_t>(item_s * kRate);
    EXPECT_NEAR(static_cast<double>(heard.size()) / kRate, total_s, 0.3 * row.items);
    for (int item = 0; item < row.items; ++item) {
        SCOPED_TRACE(item);
        const std::size_t from = std::min(heard.size(), item * item_samples);
        const std::vector<std::int16_t> mono(
            heard.begin() + static_cast<std::ptrdiff_t>(from),
            heard.begin() +
                static_cast<std::ptrdiff_t>(std::min(heard.size(), from + item_samples)));
        std::size_t before = 0;
        for (int tone = 0; tone < row.tones; ++tone) {
            const double hz = pitch(item, tone);
            SCOPED_TRACE(hz);
            EXPECT_NEAR(rvtone::tone_seconds(mono, kRate, hz), row.tone_s, 0.15);
            std::size_t last_at = before;
            for (std::size_t at = 0; at + window <= mono.size(); at += window) {
                if (rvtone::tone_fraction({mono.data() + at, window}, kRate, hz) >= 0.5) {
                    EXPECT_GE(at + 2 * window, before) << "tones out of order";
                    last_at = at;
                }
            }
            before = last_at;
        }
    }
    // A break is resumed from the byte it broke at; a server without ranges is read again.
    const auto requests = server.requests();
    if (row.outage == Outage::CutAndRefuse && row.items == 1) {
        EXPECT_GE(requests.size(), 2u) << "the link was never cut";
    }
    std::set<std::string> asked;
    for (const auto &r : requests) {
        if (!asked.insert(r.path).second) {
            EXPECT_GT(r.range_from, 0) << r.path << " asked for from its start again";
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Rows, Tunnel, ::testing::ValuesIn(kRows),
                         [](const auto &info) { return std::string(info.param.label); });

}  // namespace
}  // namespace rvtest
