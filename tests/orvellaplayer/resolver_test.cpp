// A resolver that hangs never holds a control: with the prepare of a source whose name takes
// 20 s to (not) resolve under way, each control returns within 500 ms.
#include <functional>

#include "media_server.h"
#include "orvellaplayer.h"
#include "player_harness.h"
#include "support/hang_resolver.h"

namespace rvtest {
namespace {

struct Row {
    const char *label;
    const char *url;  // the source whose name does not resolve
    bool deaf_dns;    // through a DNS server set with setDns_Address that never answers
    // The control timed; `good` is a URL that does resolve.
    std::function<void(const std::string &good)> control;
    bool then_plays_good = false;
};

void PrintTo(const Row &row, std::ostream *os) {
    *os << row.label;
}

const Row kRows[] = {
    {"stop_http", "http://media.hang.test/a.aac", false,
     [](const std::string &) { IjkMediaPlayer_stop(); }},
    {"stop_https", "https://media.hang.test/a.aac", false,
     [](const std::string &) { IjkMediaPlayer_stop(); }},
    {"reset", "http://cdn.hang.test/live/list.m3u8", false,
     [](const std::string &) { IjkMediaPlayer_reset(); }},
    {"finalize", "https://media.hang.test/a.aac", false,
     [](const std::string &) {
         IjkMediaPlayer_native_finalize();
         IjkMediaPlayer_native_init();
     }},
    {"prepare_another", "http://media.hang.test/a.aac", false,
     [](const std::string &good) {
         IjkMediaPlayer_setDataSourceAndHeaders(good.c_str());
         IjkMediaPlayer_prepareAsync(0, 4);
     },
     true},
    {"stop_with_a_deaf_dns_server", "https://media.example.test/a.aac", true,
     [](const std::string &) { IjkMediaPlayer_stop(); }},
};

class HangingResolver : public PlayerTest, public ::testing::WithParamInterface<Row> {};

TEST_P(HangingResolver, ControlReturnsWithinHalfASecond) {
    const Row &row = GetParam();
    MediaServer server;
    server.add("good.aac", tone_file(rvtone::Codec::Aac, 700, 1.0), "audio/aac");
    Capture capture(row.label);
    DeafDns dns;
    if (row.deaf_dns) {
        IJKMediaPlayer_setDns_Address(dns.address().c_str());
    }
    IjkMediaPlayer_setDataSourceAndHeaders(row.url);
    ASSERT_EQ(IjkMediaPlayer_prepareAsync(0, 4), 0);
    std::this_thread::sleep_for(300ms);  // the lookup is under way
    const auto begun = Clock::now();
    row.control(server.url("file", "good.aac"));
    const auto took = Clock::now() - begun;
    IjkMediaPlayer_clearDns_Address();
    EXPECT_LT(took, 500ms) << std::chrono::duration<double>(took).count() << " s";
    if (row.then_plays_good) {
        EXPECT_TRUE(Events::get().wait_for(ORV_EVENT_COMPLETED, -1, 10s));
    }
    // The source given up on says nothing more.
    std::this_thread::sleep_for(200ms);
    EXPECT_EQ(Events::get().count(ORV_EVENT_ERROR), 0);
}

INSTANTIATE_TEST_SUITE_P(Controls, HangingResolver, ::testing::ValuesIn(kRows),
                         [](const auto &info) { return std::string(info.param.label); });

// Nothing interrupts a name lookup: each source given up on while its name was being looked
// up leaves the lookup running for the resolver's whole timeout. However many are given up
// on, at most four such lookups live at once.
TEST_F(PlayerTest, SourcesGivenUpOnLeaveAtMostFourLookupsRunning) {
    Capture capture("lookups");
    const int baseline = thread_count();
    for (int i = 0; i < 10; ++i) {
        const std::string url = "http://s" + std::to_string(i) + ".hang.test/a.aac";
        IjkMediaPlayer_setDataSourceAndHeaders(url.c_str());
        ASSERT_EQ(IjkMediaPlayer_prepareAsync(0, 4), 0);
        std::this_thread::sleep_for(100ms);  // the lookup is under way
        IjkMediaPlayer_stop();
    }
    EXPECT_LE(thread_count_settled(baseline + 4), baseline + 4);
    EXPECT_EQ(Events::get().count(ORV_EVENT_ERROR), 0);
}

}  // namespace
}  // namespace rvtest
