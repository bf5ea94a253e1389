// `rvcli play` through PipeWire's ALSA plugin on a private, headless PipeWire (a D-Bus
// session, pipewire with a null sink, wireplumber): the stream's node carries the role and
// the package name given to rvcli, and the sink's monitor hears the audio's tone.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <thread>

#include "mock_service.h"
#include "rvcli_process.h"
#include "tone.h"

namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

// Polls `probe` (a program run to its end) until its output holds `text`; the last output.
std::string poll_until(const std::vector<std::string> &probe, const rvtest::RunOptions &options,
                       const std::string &text, std::chrono::seconds limit) {
    std::string out;
    for (auto end = std::chrono::steady_clock::now() + limit;
         out.find(text) == std::string::npos && std::chrono::steady_clock::now() < end;) {
        rvtest::RunOptions run = options;
        run.program = probe.front();
        out = rvtest::run_rvcli({probe.begin() + 1, probe.end()}, run).out;
        std::this_thread::sleep_for(200ms);
    }
    return out;
}

// Each daemon serves the next one from a socket; true once `path` exists.
bool appears(const fs::path &path) {
    for (int i = 0; i < 100 && !fs::exists(path); ++i) {
        std::this_thread::sleep_for(100ms);
    }
    return fs::exists(path);
}

TEST(RvcliPipeWire, StreamCarriesRoleAndAppNameAndTheSinkHearsTheTone) {
    const char *tools = "dbus-daemon pipewire wireplumber pw-dump pw-record";
    if (rvtest::run_rvcli({"-c", std::string("command -v ") + tools}, {{}, false, "sh"}).status !=
        0) {
        GTEST_SKIP() << "PipeWire cannot start here: not all of " << tools << " are installed";
    }
    char dir[] = "/tmp/rvcli-pipewire-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    const fs::path root(dir);
    fs::create_directories(root / "config/pipewire/pipewire.conf.d");
    fs::create_directories(root / "run");
    chmod((root / "run").c_str(), 0700);
    std::ofstream(root / "config/pipewire/pipewire.conf.d/null-sink.conf")
        << "context.objects = [ { factory = adapter args = { factory.name = "
           "support.null-audio-sink node.name = rv-test-sink media.class = Audio/Sink "
           "audio.position = [ FL FR ] } } ]\n";
    // Stands alone: ALSA's "default" is PipeWire's plugin whatever the system configures.
    std::ofstream(root / "alsa.conf") << "pcm.!default { type pipewire }\n";

    rvtest::RunOptions env;
    env.env = {{"XDG_RUNTIME_DIR", (root / "run").string()},
               {"XDG_CONFIG_HOME", (root / "config").string()},
               {"XDG_STATE_HOME", (root / "state").string()},
               {"DBUS_SESSION_BUS_ADDRESS", "unix:path=" + (root / "run/bus").string()},
               {"ALSA_CONFIG_PATH", (root / "alsa.conf").string()},
               {"PIPEWIRE_ALSA", ""}};
    const auto started = [&](const std::string &program, std::vector<std::string> args) {
        rvtest::RunOptions run = env;
        run.program = program;
        return std::make_unique<rvtest::RvcliProcess>(args, run);
    };
    auto bus = started("dbus-daemon", {"--session", "--nofork", "--nopidfile",
                                       "--address=" + env.env["DBUS_SESSION_BUS_ADDRESS"]});
    const bool bus_up = appears(root / "run/bus");
    auto pipewire = started("pipewire", {});
    const bool pipewire_up = bus_up && appears(root / "run/pipewire-0");
    auto wireplumber = started("wireplumber", {});
    // The session manager is up once it has chosen the null sink as the default.
    const std::string graph =
        pipewire_up ? poll_until({"pw-dump"}, env, "default.audio.sink", 15s) : "";
    if (graph.find("default.audio.sink") == std::string::npos) {
        pipewire->finish(1s);  // collects why it stopped, if it did
        wireplumber->finish(1s);
        fs::remove_all(root);
        GTEST_SKIP() << "PipeWire cannot start here: " << pipewire->err() << wireplumber->err();
    }

    const std::string capture = (root / "monitor.raw").string();
    auto record = started("sh", {"-c",
                                 "exec pw-record --target rv-test-sink --rate 44100 "
                                 "--channels 1 --format s16 - > " +
                                     capture});
    rvmock::Service service;
    ASSERT_TRUE(service.start());
    rvtest::RunOptions cli = env;
    cli.env.insert({{"RV_OPEN_API_HTTP", service.http_url()},
                    {"RV_OPEN_API_HTTPS", service.https_url()},
                    {"RV_REPORT_HOST", service.http_url()},
                    {"RV_CA_FILE", service.ca_file()}});
    const int64_t audio = 3000000104;
    rvtest::RvcliProcess play(
        {"--data-dir", dir, "--package", "org.example.headunit", "--audio-role", "Navigation",
         "play", "audio", std::to_string(audio), "--seconds", "3"},
        cli);
    ASSERT_TRUE(play.wait_for_output("playing " + std::to_string(audio), 20s)) << play.err();
    const std::string node = poll_until({"pw-dump"}, env, "Stream/Output/Audio", 10s);
    EXPECT_NE(node.find(R"("media.role": "Navigation")"), std::string::npos) << node;
    EXPECT_NE(node.find(R"("application.name": "org.example.headunit")"), std::string::npos)
        << node;
    EXPECT_EQ(play.finish(30s), 0) << play.err();
    record->signal(SIGINT);
    record->finish(10s);

    const std::vector<int16_t> mono = rvtone::read_raw_s16(capture, 44100, 1).mono();
    EXPECT_GE(rvtone::tone_seconds(mono, 44100, rvtone::frequency_for_audio_id(audio)), 1.0)
        << mono.size() << " frames recorded";
    fs::remove_all(root);
}

}  // namespace
