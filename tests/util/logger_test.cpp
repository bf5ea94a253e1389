#include <gtest/gtest.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "radio_sdk.h"
#include "rv_logout.h"
#include "support/capture_stdout.h"
#include "util/util.h"

namespace {

// The settings every process starts with.
void restore_defaults() {
    set_log_act(1);
    set_log_level(1);
    set_log_debug_mode(0);
    set_log_vbose_mode(0);
    set_log_color_mode(0);
    set_log_flush_mode(0);
    set_log_sink(nullptr, nullptr);
}

std::string log_lines(void (*emit)()) {
    CaptureStdout capture;
    emit();
    return capture.take();
}

void emit_each_level() {
    logout(0, 0, "Z", "T", "level0\n");
    logout(1, 1, "W", "T", "warn\n");
    logout(2, 2, "E", "T", "error\n");
    logout(3, 3, "D", "T", "debug\n");
    logout(4, 5, "V", "T", "verbose\n");
    logout(5, 0, "A", "T", "always\n");
    logout(6, 0, "N", "T", "never\n");
}

std::vector<std::string> messages_of(const std::string &out) {
    std::vector<std::string> found;
    for (const char *m : {"level0", "warn", "error", "debug", "verbose", "always", "never"}) {
        if (out.find(std::string("> ") + m + "\n") != std::string::npos) {
            found.emplace_back(m);
        }
    }
    return found;
}

class Logger : public ::testing::Test {
  protected:
    void SetUp() override { restore_defaults(); }
    void TearDown() override { restore_defaults(); }
};

using Names = std::vector<std::string>;

// Runs first, in a child, so no other test has touched the settings yet.
TEST(LoggerDefaults, ShowErrorLinesAndLevelFiveOnly) {
    EXPECT_EXIT(
        {
            std::string out = log_lines(emit_each_level);
            exit(messages_of(out) == Names({"error", "always"}) ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

TEST_F(Logger, LevelThresholdsFollowTheLevelSetting) {
    set_log_level(2);
    EXPECT_EQ(messages_of(log_lines(emit_each_level)), Names({"warn", "error", "always"}));
    set_log_level(3);
    EXPECT_EQ(messages_of(log_lines(emit_each_level)),
              Names({"level0", "warn", "error", "always"}));
    set_log_level(0);
    EXPECT_EQ(messages_of(log_lines(emit_each_level)), Names({"always"}));
}

TEST_F(Logger, DebugModeMaskSetsEverySwitch) {
    set_debug_mode(0x48);  // 0x40 wins over 0x8: level 1
    EXPECT_EQ(messages_of(log_lines(emit_each_level)), Names({"error", "always"}));

    set_log_level(2);
    set_debug_mode(0x200);  // debug on; level and destination untouched
    EXPECT_EQ(messages_of(log_lines(emit_each_level)), Names({"warn", "error", "debug", "always"}));

    set_debug_mode(0x1008);  // level 2, verbose on, debug off again
    EXPECT_EQ(messages_of(log_lines(emit_each_level)),
              Names({"warn", "error", "verbose", "always"}));

    set_debug_mode(0);
    EXPECT_EQ(log_lines(emit_each_level), "");

    set_debug_mode(11111111);
    std::string out = log_lines(emit_each_level);
    EXPECT_EQ(messages_of(out), Names({"level0", "warn", "error", "debug", "verbose", "always"}));
    EXPECT_NE(out.find("\x1b[34m"), std::string::npos) << "colour is on";
}

TEST_F(Logger, MaskWithoutLevelBitsKeepsTheDestination) {
    set_log_act(2);  // file only, and no file named: nothing anywhere
    set_debug_mode(0x200);
    EXPECT_EQ(log_lines([] { logout(2, 2, "E", "T", "hidden\n"); }), "");
}

TEST_F(Logger, LineLayoutCarriesTimePidTidLetterAndTag) {
    std::string out = log_lines([] { logout(2, 2, "E", "HTTP_TASK", "value %d\n", 42); });
    std::smatch m;
    ASSERT_TRUE(std::regex_match(
        out, m,
        std::regex(R"((\d\d)-(\d\d) \d\d:\d\d:\d\d\.\d{3} (\d+) (\d+) E/HTTP_TASK > value 42\n)")))
        << out;
    EXPECT_EQ(std::stol(m[3]), static_cast<long>(getpid()));
    EXPECT_EQ(std::stol(m[4]), static_cast<long>(syscall(SYS_gettid)));
    int month = std::stoi(m[1]);
    EXPECT_GE(month, 1);
    EXPECT_LE(month, 12);
}

TEST_F(Logger, LongMessagesAreCutWithADollarMark) {
    static std::string message;
    message.assign(3000, 'x');
    std::string out = log_lines([] { logout(2, 2, "E", "T", "%s", message.c_str()); });
    std::string text = out.substr(out.find("> ") + 2);
    ASSERT_EQ(text.size(), 2047u);
    EXPECT_EQ(text.substr(2045), "$\n");
    EXPECT_EQ(text.find_first_not_of('x'), 2045u);

    message.assign(2046, 'y');
    message += '\n';  // fills the buffer exactly and ends in a newline: unaltered
    out = log_lines([] { logout(2, 2, "E", "T", "%s", message.c_str()); });
    EXPECT_EQ(out.substr(out.find("> ") + 2), message);

    message.assign(2046, 'z');  // one short of full: unaltered
    out = log_lines([] { logout(2, 2, "E", "T", "%s", message.c_str()); });
    EXPECT_EQ(out.substr(out.find("> ") + 2), message);
}

TEST_F(Logger, ColourWrapsEachStdoutLine) {
    set_log_color_mode(1);
    std::string out = log_lines([] {
        logout(2, 2, "E", "T", "red\n");
        logout(3, 9, "D", "T", "plain\n");
    });
    EXPECT_EQ(out.find("\x1b[31m"), 0u);
    EXPECT_NE(out.find("red\n\x1b[0m"), std::string::npos);
    set_log_debug_mode(1);
    out = log_lines([] { logout(3, 9, "D", "T", "plain\n"); });
    EXPECT_EQ(out.find("\x1b[0m"), 0u) << "unknown colour index gives the reset escape";
    EXPECT_EQ(out.substr(out.size() - 4), "\x1b[0m");
}

TEST_F(Logger, LoggingOffTakesNoLock) {
    set_log_act(0);
    pthread_mutex_lock(&mLogMutex);
    logout(5, 0, "A", "T", "never blocks\n");  // would deadlock if it locked
    pthread_mutex_unlock(&mLogMutex);
    SUCCEED();
}

TEST_F(Logger, FilteredLinesAreNotFormatted) {
    // Level 1 shows errors: a debug line is dropped before its arguments are
    // read (formatting this one would read an unmapped address).
    std::string out = log_lines(
        [] { logout(3, 3, "D", "T", "%s\n", reinterpret_cast<const char *>(uintptr_t{1})); });
    EXPECT_EQ(out, "");
}

struct SinkLine {
    int level;
    std::string letter, tag, header, message;
};

TEST_F(Logger, SinkReceivesLinesInPlaceOfStdout) {
    std::vector<SinkLine> lines;
    set_log_sink(
        [](int level, const char *letter, const char *tag, const char *header, const char *message,
           void *user) {
            static_cast<std::vector<SinkLine> *>(user)->push_back(
                {level, letter, tag, header, message});
        },
        &lines);
    std::string out = log_lines([] {
        logout(2, 2, "E", "PLAYER", "to the sink %s\n", "now");
        logout(3, 3, "D", "PLAYER", "filtered\n");
    });
    EXPECT_EQ(out, "");
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].level, 2);
    EXPECT_EQ(lines[0].letter, "E");
    EXPECT_EQ(lines[0].tag, "PLAYER");
    EXPECT_EQ(lines[0].message, "to the sink now\n");
    EXPECT_NE(lines[0].header.find(" E/PLAYER >"), std::string::npos);

    set_log_sink(nullptr, nullptr);
    out = log_lines([] { logout(2, 2, "E", "PLAYER", "back on stdout\n"); });
    EXPECT_NE(out.find("back on stdout"), std::string::npos);
    EXPECT_EQ(lines.size(), 1u);
}

// Every line arrives whole even when many threads log at once.
TEST_F(Logger, ConcurrentLinesNeverInterleave) {
    constexpr int kThreads = 6;
    constexpr int kLines = 300;
    std::string out;
    {
        CaptureStdout capture;
        std::vector<std::thread> threads;
        for (int t = 0; t < kThreads; ++t) {
            threads.emplace_back([t] {
                for (int i = 0; i < kLines; ++i) {
                    logout(2, 2, "E", "T", "thread %d line %d %s\n", t, i,
                           std::string(200, 'a' + t).c_str());
                }
            });
        }
        for (auto &thread : threads) {
            thread.join();
        }
        out = capture.take();
    }
    std::istringstream in(out);
    std::string line;
    std::vector<int> next(kThreads, 0);
    const std::regex shape(R"(.* E/T > thread (\d) line (\d+) ([a-z]+))");
    int count = 0;
    while (std::getline(in, line)) {
        std::smatch m;
        ASSERT_TRUE(std::regex_match(line, m, shape)) << line;
        int t = std::stoi(m[1]);
        EXPECT_EQ(std::stoi(m[2]), next[t]++) << "lines of one thread keep their order";
        EXPECT_EQ(m[3].str(), std::string(200, 'a' + t));
        ++count;
    }
    EXPECT_EQ(count, kThreads * kLines);
}

// The log file is opened once per process, so all file behaviour is one story.
TEST_F(Logger, FileIsOpenedLazilyOnceAndNeverGetsEscapes) {
    char dir_template[] = "/tmp/rv-log-XXXXXX";
    std::string dir = mkdtemp(dir_template);
    std::string first = dir + "/first.log";
    std::string second = dir + "/second.log";

    set_log_act(2);
    EXPECT_EQ(log_lines([] { logout(2, 2, "E", "T", "no file yet\n"); }), "");

    EXPECT_EQ(set_log_file(first.c_str()), static_cast<int>(first.size()));
    EXPECT_FALSE(check_file_exist(first.c_str())) << "opened by the first line, not by the setter";
    set_log_act(3);
    set_log_color_mode(1);
    std::string out = log_lines([] { logout(2, 2, "E", "T", "both\n"); });
    EXPECT_NE(out.find("\x1b[31m"), std::string::npos);

    set_log_file(second.c_str());  // too late: the log stays where it was opened
    set_log_flush_mode(1);
    logout(2, 2, "E", "T", "still first\n");

    std::ifstream in(first);
    std::stringstream text;
    text << in.rdbuf();
    EXPECT_NE(text.str().find("E/T > both\n"), std::string::npos);
    EXPECT_NE(text.str().find("E/T > still first\n"), std::string::npos);
    EXPECT_EQ(text.str().find('\x1b'), std::string::npos);
    EXPECT_EQ(text.str().find("no file yet"), std::string::npos);
    EXPECT_FALSE(check_file_exist(second.c_str()));

    EXPECT_EQ(set_log_file(std::string(200, 'p').c_str()), 200)
        << "returns the full length even when cut";
}

}  // namespace
