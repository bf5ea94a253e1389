// The rv-mock-service program: starts quickly, prints its URLs, answers, and
// stops cleanly on SIGTERM and SIGINT.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "mock_test_support.h"

namespace rvmock_test {
namespace {

struct Process {
    pid_t pid = -1;
    int out = -1;
    std::string output;

    ~Process() {
        if (pid > 0) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
        if (out >= 0) {
            close(out);
        }
    }

    bool spawn(std::vector<std::string> args) {
        int fds[2];
        if (pipe(fds) != 0) {
            return false;
        }
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
        posix_spawn_file_actions_addclose(&actions, fds[0]);
        std::vector<char *> argv;
        for (auto &arg : args) {
            argv.push_back(arg.data());
        }
        argv.push_back(nullptr);
        int rc = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        close(fds[1]);
        out = fds[0];
        return rc == 0;
    }

    // Reads output until `needle` appears or the time runs out.
    bool read_until(const std::string &needle, int timeout_ms) {
        auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
        while (output.find(needle) == std::string::npos) {
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            pollfd p{out, POLLIN, 0};
            if (left.count() <= 0 || poll(&p, 1, static_cast<int>(left.count())) <= 0) {
                return false;
            }
            char buffer[512];
            ssize_t n = read(out, buffer, sizeof(buffer));
            if (n <= 0) {
                return false;
            }
            output.append(buffer, static_cast<size_t>(n));
        }
        return true;
    }

    // The exit status, or -1 when the process has not ended within 10 s.
    int wait_exit() {
        for (int i = 0; i < 1000; ++i) {
            int status = 0;
            if (waitpid(pid, &status, WNOHANG) == pid) {
                pid = -1;
                return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            }
            usleep(10000);
        }
        return -1;
    }
};

std::string first_url(const std::string &output, const std::string &scheme) {
    size_t at = output.find(scheme + "://");
    size_t end = output.find_first_of(" ,\n", at);
    return at == std::string::npos ? "" : output.substr(at, end - at);
}

std::string file_text(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

mode_t mode_of(const std::string &path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

TEST(MockServiceBinary, StartsInUnderTwoSecondsAnswersAndStopsOnSigterm) {
    char dir_template[] = "/tmp/rv-mock-data-XXXXXX";
    ASSERT_NE(mkdtemp(dir_template), nullptr);
    const std::string data_dir = dir_template, certs = data_dir + "/certs";
    Process process;
    auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(process.spawn(
        {RV_MOCK_SERVICE_BIN, "--http-port", "0", "--https-port", "0", "--data-dir", data_dir}));
    ASSERT_TRUE(process.read_until("CA " + certs + "/ca.pem\n", 5000)) << process.output;
    std::string base = first_url(process.output, "http");
    Response answer = fetch(base + "/v2/category?" + common_block());
    auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_LT(elapsed, std::chrono::seconds(2));
    EXPECT_NE(answer.body.find("\"cid\":100"), std::string::npos) << answer.body;

    // HTTPS with the certificate it made itself: its key the owner's alone.
    Options tls;
    tls.ca_file = certs + "/ca.pem";
    Response secure =
        fetch(first_url(process.output, "https") + "/v2/category?" + common_block(), tls);
    EXPECT_EQ(secure.code, CURLE_OK);
    EXPECT_EQ(mode_of(certs + "/server.key"), 0600u);
    EXPECT_EQ(mode_of(certs), 0700u);
    const std::string ca = file_text(certs + "/ca.pem");
    EXPECT_NE(ca.find("BEGIN CERTIFICATE"), std::string::npos);

    kill(process.pid, SIGTERM);
    EXPECT_EQ(process.wait_exit(), 0);

    // The next start keeps it: clients that trust it go on trusting it.
    Process again;
    ASSERT_TRUE(again.spawn(
        {RV_MOCK_SERVICE_BIN, "--http-port", "0", "--https-port", "0", "--data-dir", data_dir}));
    ASSERT_TRUE(again.read_until("CA " + certs + "/ca.pem\n", 5000)) << again.output;
    EXPECT_EQ(file_text(certs + "/ca.pem"), ca);
    EXPECT_EQ(fetch(first_url(again.output, "https") + "/v2/category?" + common_block(), tls).code,
              CURLE_OK);
    kill(again.pid, SIGTERM);
    EXPECT_EQ(again.wait_exit(), 0);
    std::filesystem::remove_all(data_dir);
}

TEST(MockServiceBinary, TakesItsAppIdAndSecretFromTheCommandLine) {
    Process process;
    ASSERT_TRUE(
        process.spawn({RV_MOCK_SERVICE_BIN, "--http-port", "0", "--https-port", "0", "--appid",
                       "my-app", "--secret", "my-secret", "--certs", RV_TEST_CERT_DIR}));
    ASSERT_TRUE(process.read_until("CA ", 5000)) << process.output;
    std::string base = first_url(process.output, "http");
    EXPECT_NE(fetch(base + "/v2/category?" + common_block()).body.find("40000"), std::string::npos);
    Identity mine;
    mine.appid = "my-app";
    mine.secret = "my-secret";
    EXPECT_NE(fetch(base + "/v2/category?" + common_block(mine)).body.find("result"),
              std::string::npos);
    kill(process.pid, SIGINT);
    EXPECT_EQ(process.wait_exit(), 0);
}

TEST(MockServiceBinary, RefusesBadOptionsAndBusyPorts) {
    Process bad;
    ASSERT_TRUE(bad.spawn({RV_MOCK_SERVICE_BIN, "--http-port", "70000"}));
    EXPECT_EQ(bad.wait_exit(), 2);

    rvmock::Service holder;
    ASSERT_TRUE(holder.start());
    std::string port = holder.http_url().substr(holder.http_url().rfind(':') + 1);
    Process busy;
    ASSERT_TRUE(busy.spawn({RV_MOCK_SERVICE_BIN, "--http-port", port, "--https-port", "0",
                            "--certs", RV_TEST_CERT_DIR}));
    EXPECT_EQ(busy.wait_exit(), 1);
}

}  // namespace
}  // namespace rvmock_test
