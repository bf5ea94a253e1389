// `rvcli play` on a private session bus, driven by playerctl and read with
// busctl: clients nobody here wrote see and move the player.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <thread>
#include <utility>

#include "mock_service.h"
#include "rvcli_process.h"

extern char **environ;

namespace {

using namespace std::chrono_literals;

bool installed(const std::string &program) {
    return std::system(("command -v " + program + " >/dev/null 2>&1").c_str()) == 0;
}

// A program started with its standard output on `out`, killed when this goes.
class Child {
  public:
    Child(std::vector<std::string> args, int out) {
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out, STDOUT_FILENO);
        std::vector<char *> argv;
        for (std::string &a : args) {
            argv.push_back(a.data());
        }
        argv.push_back(nullptr);
        if (posix_spawnp(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0) {
            pid_ = -1;
        }
        posix_spawn_file_actions_destroy(&actions);
    }
    ~Child() {
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            waitpid(pid_, nullptr, 0);
        }
    }
    Child(const Child &) = delete;
    Child &operator=(const Child &) = delete;

  private:
    pid_t pid_ = -1;
};

// What a command prints, trailing newline removed.
std::string output_of(const std::string &command) {
    std::string out;
    if (FILE *p = popen((command + " 2>/dev/null").c_str(), "r")) {
        char buffer[512];
        for (size_t n; (n = fread(buffer, 1, sizeof buffer, p)) > 0;) {
            out.append(buffer, n);
        }
        pclose(p);
    }
    while (!out.empty() && out.back() == '\n') {
        out.pop_back();
    }
    return out;
}

// Asks until `command` prints `want` (at most 20 s); what it printed last.
std::string wait_for(const std::string &command, const std::string &want) {
    std::string got;
    for (int i = 0; i < 200 && (got = output_of(command)) != want; ++i) {
        std::this_thread::sleep_for(100ms);
    }
    return got;
}

std::string property(const std::string &name) {
    return output_of(
        "busctl --user get-property org.mpris.MediaPlayer2.rvcli /org/mpris/MediaPlayer2 "
        "org.mpris.MediaPlayer2.Player " +
        name);
}

uintmax_t size_of(const std::string &path) {
    std::error_code error;
    const uintmax_t size = std::filesystem::file_size(path, error);
    return error ? 0 : size;
}

TEST(RvcliMpris, PlayerctlPausesMovesAndStopsWhatBusctlDescribes) {
    for (const char *program : {"dbus-daemon", "playerctl", "busctl"}) {
        if (!installed(program)) {
            GTEST_SKIP() << program << " is not installed (scripts/install-deps installs it)";
        }
    }
    ASSERT_NE(std::getenv("ALSA_CONFIG_PATH"), nullptr) << "run through CTest";
    char dir[] = "/tmp/rvcli-mpris-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    struct Remove {
        std::string dir;
        ~Remove() { std::filesystem::remove_all(dir); }
    } remove{dir};

    // The private bus: its address is the daemon's first line.
    int address_pipe[2];
    ASSERT_EQ(pipe2(address_pipe, O_CLOEXEC), 0);
    Child bus({"dbus-daemon", "--session", "--nofork", "--nopidfile", "--print-address=1"},
              address_pipe[1]);
    close(address_pipe[1]);
    std::string address;
    for (char c; read(address_pipe[0], &c, 1) == 1 && c != '\n';) {
        address += c;
    }
    close(address_pipe[0]);
    ASSERT_FALSE(address.empty());
    setenv("DBUS_SESSION_BUS_ADDRESS", address.c_str(), 1);

    rvmock::Service service;
    ASSERT_TRUE(service.start());
    const std::string capture = std::string(dir) + "/capture.raw";
    // A 5 s audio of a long album, at 0.75 so that it lasts while we look.
    rvtest::RvcliProcess play({"--data-dir", dir, "play", "audio", "3000000104", "--speed", "0.75"},
                              {{{"RV_OPEN_API_HTTP", service.http_url()},
                                {"RV_OPEN_API_HTTPS", service.https_url()},
                                {"RV_REPORT_HOST", service.http_url()},
                                {"RV_CA_FILE", service.ca_file()},
                                {"RV_PCM_CAPTURE", "|cat >> " + capture}}});
    const std::string playerctl = "playerctl -p rvcli ";
    // Every PlaybackStatus announced, one a line.
    const std::string followed = std::string(dir) + "/followed";
    const int follow_out = open(followed.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
    Child follow({"playerctl", "-p", "rvcli", "--follow", "status"}, follow_out);
    close(follow_out);

    ASSERT_EQ(wait_for(playerctl + "status", "Playing"), "Playing") << play.err();
    EXPECT_EQ(output_of(playerctl + "metadata xesam:title"), "North Wind, part 4");
    const std::string metadata = property("Metadata");
    for (const char *field :
         {"\"mpris:trackid\" o \"/org/radio_sdk/item/0_3000000104\"", "\"mpris:length\" x 5000000",
          "\"xesam:title\" s \"North Wind, part 4\"",
          "\"xesam:album\" s \"Tales of the North Wind\"", "\"mpris:artUrl\" s \"http"}) {
        EXPECT_NE(metadata.find(field), std::string::npos) << field << " in " << metadata;
    }
    EXPECT_EQ(property("CanSeek"), "b true");
    EXPECT_EQ(property("Rate"), "d 0.75");
    EXPECT_EQ(property("MaximumRate"), "d 2");
    // A rate beyond the range is brought into it; back to 0.75 so that the audio lasts.
    const std::string set_rate =
        "busctl --user set-property org.mpris.MediaPlayer2.rvcli /org/mpris/MediaPlayer2 "
        "org.mpris.MediaPlayer2.Player Rate d ";
    output_of(set_rate + "3");
    EXPECT_EQ(property("Rate"), "d 2");
    output_of(set_rate + "0.75");

    // Playing is the user's word while the item still opens: pause once it is heard.
    ASSERT_TRUE(play.wait_for_output("> 00:01 / ", 20s)) << play.out();
    output_of(playerctl + "pause");
    ASSERT_EQ(wait_for(playerctl + "status", "Paused"), "Paused");
    // The fade and what was queued before it reach the file first; from then on
    // nothing more does.
    ASSERT_TRUE(play.wait_for_output("paused", 10s)) << play.out();
    uintmax_t paused_at = size_of(capture);
    for (int i = 0; i < 50; ++i) {
        std::this_thread::sleep_for(200ms);
        if (std::exchange(paused_at, size_of(capture)) == paused_at) {
            break;
        }
    }
    std::this_thread::sleep_for(1s);
    EXPECT_GT(paused_at, 0u);
    EXPECT_EQ(size_of(capture), paused_at);

    output_of(playerctl + "play");
    ASSERT_EQ(wait_for(playerctl + "status", "Playing"), "Playing");
    output_of(playerctl + "next");
    EXPECT_EQ(wait_for(playerctl + "metadata xesam:title", "North Wind, part 5"),
              "North Wind, part 5");
    EXPECT_TRUE(play.wait_for_output("playing 3000000105 ", 10s)) << play.out();
    output_of(playerctl + "stop");
    EXPECT_EQ(wait_for(playerctl + "status", "Stopped"), "Stopped");

    // The announcements, in order, as a client that only listens saw them.
    std::this_thread::sleep_for(300ms);
    const std::string seen = output_of("tr '\\n' ' ' < " + followed);
    EXPECT_NE(seen.find("Playing Paused Playing"), std::string::npos) << seen;
    EXPECT_TRUE(seen.ends_with("Stopped ")) << seen;
    play.send("q");
    EXPECT_EQ(play.finish(20s), 0) << play.err();
}

}  // namespace
