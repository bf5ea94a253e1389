// Shared helpers of the request and interface tests: callback catchers,
// temporary data directories, starting the SDK against a local server.
#ifndef RV_TESTS_REQUEST_SDK_FIXTURE_H
#define RV_TESTS_REQUEST_SDK_FIXTURE_H

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace rv::test {

// One callback as it arrived.
struct Delivery {
    int code = -1;
    void *data = nullptr;
    int count = -1;
    std::thread::id thread;
    std::string service_message;  // rv_lastServiceMessage() during the callback
};

// The user pointer of one call: collects its callbacks.
class Catcher {
  public:
    static void callback(int code, void *data, int count, void *user);
    // The first delivery; fails the test (and returns code -1) after 30 s.
    Delivery wait();
    // Deliveries so far (a correct call has exactly one).
    int calls() const;

  private:
    // Guards deliveries_.
    mutable std::mutex mutex_;
    std::condition_variable cv_;
    std::vector<Delivery> deliveries_;
};

// Runs `fn` with a fresh Catcher as the user pointer and returns its delivery,
// expecting exactly one callback.
template <class Fn>
Delivery call(Fn &&fn) {
    Catcher c;
    fn(&c);
    Delivery d = c.wait();
    EXPECT_EQ(c.calls(), 1);
    return d;
}

// A new empty directory under /tmp, removed with its contents at destruction.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir &) = delete;
    TempDir &operator=(const TempDir &) = delete;
    const std::string &path() const { return path_; }
    std::string file(const std::string &name) const { return path_ + "/" + name; }

  private:
    std::string path_;
};

// Collects every log line (warnings and debug lines included) while alive.
class LogCapture {
  public:
    LogCapture();
    ~LogCapture();
    LogCapture(const LogCapture &) = delete;
    LogCapture &operator=(const LogCapture &) = delete;
    // Lines whose message equals `message` so far.
    int count(const std::string &message) const;
    // Waits up to 30 s for a line whose message equals `message`.
    bool wait_for(const std::string &message);
    // Messages so far that begin with `prefix`, in order.
    std::vector<std::string> starting_with(const std::string &prefix) const;
    // Waits up to `timeout` until at least `n` messages begin with `prefix`.
    bool wait_for_prefix(const std::string &prefix, std::size_t n,
                         std::chrono::milliseconds timeout = std::chrono::seconds(30));

  private:
    static void sink(int level, const char *letter, const char *tag, const char *header,
                     const char *message, void *user);
    // Guards messages_.
    mutable std::mutex mutex_;
    std::condition_variable cv_;
    std::vector<std::string> messages_;
};

std::string read_file(const std::string &path);
void write_file(const std::string &path, const std::string &text);

struct App {
    const char *appid = "rv-test-app";
    const char *secret = "rv-test-secret";
    const char *channel = "rv-channel";
    const char *packagename = "com.example.radio";
};

// Points all three hosts at `base_url`, starts the SDK and waits for the init
// callback; returns its code.
int start_sdk(const std::string &base_url, const std::string &data_dir, const App &app = {});

// The common block the SDK appends now (through url_set_common_params).
std::string common_block();

// MD5 of `text` as 32 lower-case hex digits, computed by OpenSSL: an
// implementation independent of the SDK's own.
std::string openssl_md5_hex(const std::string &text);

}  // namespace rv::test

#endif
