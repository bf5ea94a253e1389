// HTTPS media: every request (files, HLS playlists and segments) checks the server's
// certificate and host name against the CA file given, or the system's store.
#include <httplib.h>

#include "mock_service.h"
#include "orvellaplayer.h"
#include "player_harness.h"
#include "request/sdk_fixture.h"
#include "rv_config.h"
#include "rv_sdk.h"
#include "support/capture_stdout.h"

namespace rvtest {
namespace {

constexpr std::int64_t kAudioId = 3000000103;

std::string audio_path() {
    return "/media/audio/" + std::to_string(kAudioId) + "/aac_64.aac";
}

class HttpsMedia : public PlayerTest {
  protected:
    void SetUp() override {
        PlayerTest::SetUp();
        ASSERT_TRUE(service_.start());
    }
    void TearDown() override {
        PlayerTest::TearDown();
        IjkMediaPlayer_setCaFile(nullptr);
    }

    // Prepares `url` and waits for the outcome; the player's stderr lines in *log.
    bool prepared(const std::string &url, std::string *log) {
        CaptureStdout err(STDERR_FILENO);
        IjkMediaPlayer_setDataSourceAndHeaders(url.c_str());
        IjkMediaPlayer_prepareAsync(0, 4);
        const auto deadline = Clock::now() + 10s;
        while (Events::get().count(ORV_EVENT_PREPARED) + Events::get().count(ORV_EVENT_ERROR) ==
                   0 &&
               Clock::now() < deadline) {
            std::this_thread::sleep_for(10ms);
        }
        *log = err.take();
        return Events::get().count(ORV_EVENT_PREPARED) > 0;
    }

    rvmock::Service service_;
};

int e_lines(const std::string &log) {
    int n = 0;
    for (std::size_t at = log.find("orvellaplayer: E "); at != std::string::npos;
         at = log.find("orvellaplayer: E ", at + 1)) {
        ++n;
    }
    return n;
}

TEST_F(HttpsMedia, UntrustedServerIsRefusedWithOneLineSayingWhy) {
    const std::string url = service_.https_url() + audio_path();
    for (const std::string &ca : {std::string(), std::string(RV_TEST_CERT_DIR) + "/other-ca.pem"}) {
        SCOPED_TRACE(ca.empty() ? "system store" : "unrelated CA");
        Events::get().clear();
        IjkMediaPlayer_setCaFile(ca.c_str());
        std::string log;
        EXPECT_FALSE(prepared(url, &log));
        EXPECT_EQ(Events::get().count(ORV_EVENT_ERROR, ORV_ERROR_OPEN), 1);
        EXPECT_EQ(e_lines(log), 1) << log;
        EXPECT_NE(log.find("certificate"), std::string::npos) << log;
        EXPECT_NE(log.find(service_.https_url()), std::string::npos) << log;
    }
}

TEST_F(HttpsMedia, PlaysWithTheCaFileThatSignedTheServer) {
    IjkMediaPlayer_setCaFile(service_.ca_file().c_str());
    Capture capture("https");
    std::string log;
    ASSERT_TRUE(prepared(service_.https_url() + audio_path(), &log)) << log;
    std::this_thread::sleep_for(2s);
    stop_heard_out();
    EXPECT_EQ(Events::get().count(ORV_EVENT_ERROR), 0);
    const auto mono = capture.read(44100, 1).mono();
    EXPECT_GT(rvtone::tone_seconds(mono, 44100, rvtone::frequency_for_audio_id(kAudioId)), 1.5);
}

TEST_F(HttpsMedia, CertificateForAnotherHostIsRefused) {
    // The certificate names 127.0.0.1 and localhost; this server answers on 127.0.0.2.
    rvmock::Config config;
    config.host = "127.0.0.2";
    rvmock::Service other(config);
    ASSERT_TRUE(other.start());
    IjkMediaPlayer_setCaFile(other.ca_file().c_str());
    std::string log;
    EXPECT_FALSE(prepared(other.https_url() + audio_path(), &log));
    EXPECT_EQ(Events::get().count(ORV_EVENT_ERROR, ORV_ERROR_OPEN), 1);
    EXPECT_EQ(e_lines(log), 1) << log;
    EXPECT_NE(log.find("127.0.0.2"), std::string::npos) << log;
}

// The SDK's start-up hands its own CA choice to the player.
TEST_F(HttpsMedia, SdkStartUpGivesThePlayerItsCaFile) {
    IjkMediaPlayer_setCaFile(nullptr);
    rv_setCaFile(service_.ca_file().c_str());
    rv::test::TempDir dir;
    ASSERT_EQ(rv::test::start_sdk(service_.http_url(), dir.path()), 0);
    // Start-up binds the engine's events to the SDK; this test listens to them itself.
    Register_post_event(&Events::callback);
    std::string log;
    EXPECT_TRUE(prepared(service_.https_url() + audio_path(), &log)) << log;
    stop_heard_out();
    rv_releaseSdk();
    rv_setCaFile(nullptr);
}

// The playlist comes over plain HTTP; its segments over HTTPS must pass the same checks.
TEST_F(HttpsMedia, HlsSegmentsAreCheckedToo) {
    httplib::Server playlists;
    const std::string segment = service_.https_url() + audio_path();
    playlists.Get("/list.m3u8", [&](const httplib::Request &, httplib::Response &res) {
        std::string text = "#EXTM3U\n#EXT-X-VERSION:3\n#EXT-X-TARGETDURATION:3\n";
        for (int i = 0; i < 3; ++i) {
            text += "#EXTINF:3.0,\n" + segment + "\n";
        }
        res.set_content(text + "#EXT-X-ENDLIST\n", "application/vnd.apple.mpegurl");
    });
    const int port = playlists.bind_to_any_port("127.0.0.1");
    std::thread thread([&] { playlists.listen_after_bind(); });
    const std::string url = "http://127.0.0.1:" + std::to_string(port) + "/list.m3u8";

    IjkMediaPlayer_setCaFile(nullptr);
    std::string log;
    EXPECT_FALSE(prepared(url, &log));
    EXPECT_EQ(Events::get().count(ORV_EVENT_ERROR), 1);
    EXPECT_EQ(e_lines(log), 1) << log;
    EXPECT_NE(log.find("certificate"), std::string::npos) << log;

    Events::get().clear();
    IjkMediaPlayer_setCaFile(service_.ca_file().c_str());
    EXPECT_TRUE(prepared(url, &log)) << log;
    stop_heard_out();
    playlists.stop();
    thread.join();
}

}  // namespace
}  // namespace rvtest
