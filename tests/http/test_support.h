// Helpers of the transport tests: a record of completion callbacks and a capture of
// log lines.
#ifndef RV_TESTS_HTTP_TEST_SUPPORT_H
#define RV_TESTS_HTTP_TEST_SUPPORT_H

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "http/http_client.h"
#include "rv_error.h"
#include "rv_log.h"

namespace rv::test {

struct Outcome {
    int id = 0;
    int result = -1;
    bool null_data = true;
    std::string data;
    size_t size = 0;
    bool terminated = false;  // a zero byte followed the data
    std::thread::id thread;
};

// Collects completion callbacks; pass slot(id) as user data and &CallbackLog::callback.
class CallbackLog {
  public:
    void *slot(int id) {
        std::lock_guard<std::mutex> guard(lock_);
        slots_.push_back(Slot{this, id});
        return &slots_.back();
    }

    static void callback(int result, const char *data, size_t size, void *user) {
        auto *slot = static_cast<Slot *>(user);
        Outcome o;
        o.id = slot->id;
        o.result = result;
        o.null_data = (data == nullptr);
        if (data != nullptr) {
            o.data.assign(data, size);
            o.terminated = (data[size] == '\0');
        }
        o.size = size;
        o.thread = std::this_thread::get_id();
        slot->log->add(std::move(o));
    }

    // True when at least n callbacks arrived within `seconds`.
    bool wait_for(size_t n, int seconds = 30) {
        std::unique_lock<std::mutex> guard(lock_);
        return changed_.wait_for(guard, std::chrono::seconds(seconds),
                                 [&] { return outcomes_.size() >= n; });
    }

    std::vector<Outcome> outcomes() {
        std::lock_guard<std::mutex> guard(lock_);
        return outcomes_;
    }

  private:
    struct Slot {
        CallbackLog *log;
        int id;
    };

    void add(Outcome o) {
        std::lock_guard<std::mutex> guard(lock_);
        outcomes_.push_back(std::move(o));
        changed_.notify_all();
    }

    // Guards slots_ and outcomes_; callbacks arrive on the pool's workers.
    std::mutex lock_;
    std::condition_variable changed_;
    std::deque<Slot> slots_;  // stable addresses handed out as user data
    std::vector<Outcome> outcomes_;
};

struct LogLine {
    std::string letter;
    std::string tag;
    std::string message;
};

// Captures every emitted log line (V lines and warnings included) while it lives.
class LogCapture {
  public:
    LogCapture() {
        set_log_level(2);
        set_log_vbose_mode(1);
        set_log_sink(&LogCapture::sink, this);
    }
    ~LogCapture() {
        set_log_sink(nullptr, nullptr);
        set_log_vbose_mode(0);
        set_log_level(1);
    }
    LogCapture(const LogCapture &) = delete;
    LogCapture &operator=(const LogCapture &) = delete;

    std::vector<LogLine> lines() {
        std::lock_guard<std::mutex> guard(lock_);
        return lines_;
    }

    // Messages of the given tag that start with `prefix`.
    std::vector<std::string> messages(const std::string &tag, const std::string &prefix) {
        std::vector<std::string> found;
        for (const LogLine &line : lines()) {
            if (line.tag == tag && line.message.compare(0, prefix.size(), prefix) == 0) {
                found.push_back(line.message);
            }
        }
        return found;
    }

    std::string all_text() {
        std::string text;
        for (const LogLine &line : lines()) {
            text += line.message;
        }
        return text;
    }

  private:
    static void sink(int, const char *letter, const char *tag, const char *, const char *message,
                     void *user) {
        auto *self = static_cast<LogCapture *>(user);
        std::lock_guard<std::mutex> guard(self->lock_);
        self->lines_.push_back(LogLine{letter, tag, message});
    }

    // Guards lines_; the sink runs on whichever thread logs.
    std::mutex lock_;
    std::vector<LogLine> lines_;
};

// The outcome of one redirect probe of `url` (the client started).
inline Outcome probe_once(const std::string &url) {
    CallbackLog log;
    EXPECT_EQ(RVE_OK, https_request_get_redirect_uri(url.c_str(), nullptr, &CallbackLog::callback,
                                                     log.slot(0)));
    EXPECT_TRUE(log.wait_for(1));
    return log.outcomes().at(0);
}

}  // namespace rv::test

#endif
