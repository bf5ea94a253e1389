#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <set>
#include <string>
#include <thread>

#include "radio_sdk.h"
#include "util/util.h"

namespace fs = std::filesystem;

namespace {

class TempDir {
  public:
    TempDir() {
        char name[] = "/tmp/rv-util-XXXXXX";
        path_ = mkdtemp(name);
    }
    ~TempDir() { fs::remove_all(path_); }
    std::string operator/(const std::string &name) const { return path_ + "/" + name; }
    const std::string &path() const { return path_; }

  private:
    std::string path_;
};

std::string read_file(const std::string &path) {
    char *data = nullptr;
    EXPECT_EQ(read_data_from_file(path.c_str(), &data), 1);
    std::string text = data ? data : "";
    str_free(data);
    return text;
}

TEST(Strings, CopiesReportResultCodes) {
    char *out = reinterpret_cast<char *>(0x1);
    EXPECT_EQ(str_copy(&out, "abc", 4), RVE_STR_TOO_SHORT);
    EXPECT_EQ(out, reinterpret_cast<char *>(0x1)) << "nothing allocated";
    EXPECT_EQ(str_copy(&out, "abc", 2), RVE_OK);
    EXPECT_STREQ(out, "ab");
    str_free(out);
    EXPECT_EQ(str_copy(&out, nullptr, 0), RVE_NULL_STRING);

    EXPECT_EQ(str_dup(&out, nullptr), RVE_NULL_STRING);
    EXPECT_EQ(str_dup_ext(&out, nullptr), RVE_OK);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(str_dup(&out, "hello"), RVE_OK);
    EXPECT_STREQ(out, "hello");
    str_free(out);

    EXPECT_EQ(str_from_number(&out, INT64_MIN), RVE_OK);
    EXPECT_STREQ(out, "-9223372036854775808");
    str_free(out);

    EXPECT_EQ(str_malloc(&out, 5), RVE_OK);
    EXPECT_EQ(std::string(out, 6), std::string(6, '\0'));
    str_free(out);
    EXPECT_EQ(str_free(nullptr), RVE_OK);
}

// Where a copy could only crash, the helpers refuse with 4 instead.
TEST(Strings, NoOutputLocationOrANegativeLengthGives4) {
    char *out = reinterpret_cast<char *>(0x1);
    EXPECT_EQ(str_malloc(nullptr, 5), RVE_BAD_ARGS);
    EXPECT_EQ(str_malloc(&out, -1), RVE_BAD_ARGS);
    EXPECT_EQ(str_copy(nullptr, "abc", 2), RVE_BAD_ARGS);
    EXPECT_EQ(str_copy(&out, "abc", -2), RVE_BAD_ARGS);
    EXPECT_EQ(str_dup(nullptr, "abc"), RVE_BAD_ARGS);
    EXPECT_EQ(str_dup_ext(nullptr, nullptr), RVE_BAD_ARGS);
    EXPECT_EQ(str_from_number(nullptr, 7), RVE_BAD_ARGS);
    EXPECT_EQ(out, reinterpret_cast<char *>(0x1)) << "nothing stored";
}

TEST(Time, DurationTextsShowTotalMinutes) {
    struct Case {
        int64_t seconds;
        const char *text;
    } cases[] = {{0, "00:00"},    {59, "00:59"},   {754, "12:34"},
                 {3599, "59:59"}, {3600, "60:00"}, {3725, "62:05"}};
    for (const auto &c : cases) {
        char out[100] = {};
        EXPECT_EQ(formatTimeSeconds(c.seconds, out), 1);
        EXPECT_STREQ(out, c.text) << c.seconds;
    }
    EXPECT_EQ(formatTimeSeconds(1, nullptr), 0);
}

TEST(Time, ClockTexts) {
    char out[100] = {};
    EXPECT_EQ(formatTimestampUTC(3661, out), 1);
    EXPECT_STREQ(out, "01:01:01");
    EXPECT_EQ(formatTimestamp(0, nullptr), 0);
    // 2100-01-01: formatted where time_t has 64 bits, refused (not wrapped) where 32.
    char late[100] = {};
    const bool wide = sizeof(time_t) == 8;
    EXPECT_EQ(formatTimestampUTC(4102444800, late), wide ? 1 : 0);
    EXPECT_STREQ(late, wide ? "00:00:00" : "");
    char local[100] = {};
    EXPECT_EQ(formatTimestamp(getTimestamp(), local), 1);
    EXPECT_EQ(strlen(local), 8u);
    EXPECT_EQ(std::stoll(getTimestampString()) / 10, getTimestamp() / 10);
}

// Each thread keeps its own text buffer, so a caller's text never changes under it.
TEST(Time, TextBuffersArePerThread) {
    const char *mine = rve_rve2str(0x30001);
    const char *main_ts = getTimestampString();
    std::string other_code;
    const char *other_ptr = nullptr;
    std::thread([&] {
        other_ptr = rve_rve2str(-1);
        other_code = other_ptr;
        getTimestampString();
    }).join();
    EXPECT_STREQ(mine, "0x00030001");
    EXPECT_EQ(other_code, "0xffffffff");
    EXPECT_NE(static_cast<const void *>(mine), static_cast<const void *>(other_ptr));
    EXPECT_EQ(std::stoll(main_ts) / 10, getTimestamp() / 10);
}

TEST(ResultCodes, Texts) {
    EXPECT_STREQ(rve_strerror(RVE_OK), "RVE_OK");
    EXPECT_STREQ(rve_strerror(RVE_BAD_ARGS), "RVE_BAD_ARGS");
    EXPECT_STREQ(rve_strerror(RVE_FAILED), "RVE_UNKNOWN");
    EXPECT_STREQ(rve_strerror(RVE_SERVER_40100), "RVE_UNKNOWN");
    EXPECT_STREQ(rve_rve2str(516), "0x00000204");
}

// Every code of the table is named by its constant's spelling and has a text
// of its own; anything else is unknown.
TEST(ResultCodes, NamesAndTextsCoverEveryCode) {
#define RV_CODE(c)                \
    std::pair<int, std::string> { \
        c, #c                     \
    }
    const std::pair<int, std::string> codes[] = {
        RV_CODE(RVE_OK),           RV_CODE(RVE_FAILED),        RV_CODE(RVE_NOT_READY),
        RV_CODE(RVE_BAD_ARGS),     RV_CODE(RVE_NO_MEMORY),     RV_CODE(RVE_QUEUE_FULL),
        RV_CODE(RVE_NO_ACCESS),    RV_CODE(RVE_LIVE_STREAM),   RV_CODE(RVE_ALREADY_STARTED),
        RV_CODE(RVE_NO_SDK_INFO),  RV_CODE(RVE_STR_TOO_SHORT), RV_CODE(RVE_NULL_STRING),
        RV_CODE(RVE_BAD_RESPONSE), RV_CODE(RVE_SAVE_FAILED),   RV_CODE(RVE_SERVER_ERROR),
        RV_CODE(RVE_SERVER_50600), RV_CODE(RVE_SERVER_40000),  RV_CODE(RVE_SERVER_40100),
        RV_CODE(RVE_SERVER_40431), RV_CODE(RVE_SERVER_40432),
    };
#undef RV_CODE
    std::set<std::string> texts;
    for (const auto &[code, name] : codes) {
        EXPECT_EQ(rv_resultName(code), name);
        EXPECT_TRUE(texts.insert(rv_resultText(code)).second) << name;
    }
    for (int other : {1, 6, 0x203, 0x30006, -1}) {
        EXPECT_STREQ(rv_resultName(other), "RVE_UNKNOWN") << other;
        EXPECT_STREQ(rv_resultText(other), "not a result code of this SDK") << other;
    }
}

TEST(Files, ReadWholeFilesIncludingEmptyOnes) {
    TempDir dir;
    EXPECT_EQ(write_data_to_file((dir / "empty").c_str(), ""), 1);
    char *data = nullptr;
    ASSERT_EQ(read_data_from_file((dir / "empty").c_str(), &data), 1);
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(data[0], '\0');
    str_free(data);
    EXPECT_EQ(read_data_from_file((dir / "missing").c_str(), &data), 0);
    EXPECT_EQ(read_data_from_file(dir.path().c_str(), &data), 0) << "a directory is not a file";
    EXPECT_EQ(data, nullptr);

    EXPECT_EQ(write_data_to_file((dir / "id").c_str(), "device&openid"), 1);
    EXPECT_EQ(read_file(dir / "id"), "device&openid");
    EXPECT_EQ(write_data_to_file((dir / "id").c_str(), "short"), 1);
    EXPECT_EQ(read_file(dir / "id"), "short") << "replaced, not overwritten in place";
}

TEST(Files, FailedWriteLeavesOldFileAndNoLitter) {
    TempDir dir;
    std::string path = dir / "openid.dat";
    ASSERT_EQ(write_data_to_file(path.c_str(), "old&identity"), 1);

    // A file-size limit makes the disk "full" after a few bytes.
    signal(SIGXFSZ, SIG_IGN);
    rlimit saved{};
    getrlimit(RLIMIT_FSIZE, &saved);
    rlimit small = saved;
    small.rlim_cur = 4;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    int rc = write_data_to_file(path.c_str(), "new&identity-that-does-not-fit");
    setrlimit(RLIMIT_FSIZE, &saved);

    EXPECT_EQ(rc, 0);
    EXPECT_EQ(read_file(path), "old&identity");
    int entries = 0;
    for ([[maybe_unused]] const auto &e : fs::directory_iterator(dir.path())) {
        ++entries;
    }
    EXPECT_EQ(entries, 1) << "the temporary file is removed";

    EXPECT_EQ(write_data_to_file((dir / "no/such/dir/file").c_str(), "x"), 0);
}

TEST(Files, CreatesDeepAndLongPaths) {
    TempDir dir;
    ASSERT_EQ(mkdir((dir / "a").c_str(), 0777), 0);
    EXPECT_EQ(create_multi_directory((dir / "a/b/c").c_str()), 1);
    EXPECT_TRUE(fs::is_directory(dir / "a/b/c"));
    EXPECT_EQ(create_multi_directory((dir / "a/b/c").c_str()), 1);

    std::string deep = dir.path();
    while (deep.size() < 700) {
        deep += "/" + std::string(60, 'd');
    }
    EXPECT_EQ(create_multi_directory(deep.c_str()), 1);
    EXPECT_TRUE(fs::is_directory(deep)) << "paths past 255 characters are created whole";
    EXPECT_TRUE(check_dir_access(deep.c_str(), R_OK | W_OK));
    EXPECT_EQ(create_multi_directory(""), 1);
}

TEST(Mutex, IsRecursiveAndExclusive) {
    thread_mutex *m = thread_mutex_new();
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(m->lock(m), RVE_OK);
    EXPECT_EQ(m->lock(m), RVE_OK);
    auto other_can_lock = [m] {
        std::atomic<int> rc{-1};
        std::thread([&] {
            rc = m->try_lock(m);
            if (rc == RVE_OK) {
                m->unlock(m);
            }
        }).join();
        return rc.load() == RVE_OK;
    };
    EXPECT_FALSE(other_can_lock());
    EXPECT_EQ(m->unlock(m), RVE_OK);
    EXPECT_FALSE(other_can_lock()) << "held until unlocked as often as locked";
    EXPECT_EQ(m->unlock(m), RVE_OK);
    EXPECT_TRUE(other_can_lock());
    thread_mutex_del(m);
    thread_mutex_del(nullptr);
}

TEST(Records, MadeEmptyAndFreedWhole) {
    sdk_info *info = sdk_info_new();
    ASSERT_NE(info, nullptr);
    EXPECT_EQ(info->appid, nullptr);
    EXPECT_EQ(info->init_time, nullptr);
    str_dup(&info->appid, "app");
    str_dup(&info->openid, "open");
    sdk_info_del(info);  // ASan reports the strings if they leak
    sdk_info_del(nullptr);
    acc_info *acc = acc_info_new();
    str_dup(&acc->access_token, "token");
    acc_info_del(acc);
    acc_info_del(nullptr);

    result_callback_args *args = result_callback_args_new(nullptr, &info);
    ASSERT_NE(args, nullptr);
    EXPECT_EQ(args->callback, nullptr);
    EXPECT_EQ(args->user_data, &info);
    result_callback_args_del(args);
    EXPECT_EQ(sizeof mSdkInitOk, 1u);
    EXPECT_EQ(mSdkInitOk.load(), 0);
    EXPECT_EQ(sdk_info_get(), nullptr);
}

}  // namespace
