// The player demo against a local host: it fetches its fixed path from RV_MEDIA_HOST, the
// stream's tone reaches the device, and it keeps running until it is killed.
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include "media_server.h"
#include "player_harness.h"

extern char **environ;

namespace rvtest {
namespace {

constexpr const char *kDemoPath = "mz/aac_64/201403/5c565be6-e38e-416f-8347-a81a31f5f864.aac";

TEST(PlayerDemo, PlaysTheStreamFromRvMediaHostAndKeepsRunning) {
    ASSERT_NE(std::getenv("ALSA_CONFIG_PATH"), nullptr) << "run through CTest";
    const double hz = rvtone::frequency_for_audio_id(33);
    MediaServer server;
    server.add(kDemoPath, tone_file(rvtone::Codec::Aac, hz, 30.0), "audio/aac");
    Capture capture("demo");
    setenv("RV_MEDIA_HOST", ("127.0.0.1:" + std::to_string(server.port())).c_str(), 1);

    pid_t pid = 0;
    char *argv[] = {const_cast<char *>(PLAYER_DEMO_PATH), nullptr};
    ASSERT_EQ(posix_spawn(&pid, PLAYER_DEMO_PATH, nullptr, nullptr, argv, environ), 0);
    std::this_thread::sleep_for(7s);  // past the first prepare and the seek at 5 s
    int status = 0;
    const pid_t still = waitpid(pid, &status, WNOHANG);
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);

    EXPECT_EQ(still, 0) << "the demo ended by itself";
    EXPECT_GE(server.requests(std::string("/") + kDemoPath), 1);
    const auto mono = capture.read(44100, 1).mono();
    EXPECT_GT(rvtone::tone_seconds(mono, 44100, hz), 5.0);
}

}  // namespace
}  // namespace rvtest
