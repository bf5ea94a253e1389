#include "request/sdk_fixture.h"

#include <gtest/gtest.h>
#include <openssl/evp.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "request/helper_url.h"
#include "rv_config.h"
#include "rv_error.h"
#include "rv_log.h"
#include "rv_sdk.h"

namespace rv::test {

void Catcher::callback(int code, void *data, int count, void *user) {
    auto *self = static_cast<Catcher *>(user);
    std::lock_guard lock(self->mutex_);
    self->deliveries_.push_back(
        {code, data, count, std::this_thread::get_id(), rv_lastServiceMessage()});
    self->cv_.notify_all();
}

Delivery Catcher::wait() {
    std::unique_lock lock(mutex_);
    if (!cv_.wait_for(lock, std::chrono::seconds(30), [this] { return !deliveries_.empty(); })) {
        ADD_FAILURE() << "no callback within 30 s";
        return {};
    }
    return deliveries_.front();
}

int Catcher::calls() const {
    std::lock_guard lock(mutex_);
    return static_cast<int>(deliveries_.size());
}

TempDir::TempDir() {
    char tmpl[] = "/tmp/rv-test-XXXXXX";
    char *made = mkdtemp(tmpl);
    if (made == nullptr) {
        throw std::runtime_error("mkdtemp failed");
    }
    path_ = made;
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ignored);
    std::filesystem::remove_all(path_, ignored);
}

LogCapture::LogCapture() {
    set_log_sink(&LogCapture::sink, this);
    set_log_level(3);
    set_log_debug_mode(1);
}

LogCapture::~LogCapture() {
    set_log_debug_mode(0);
    set_log_level(1);
    set_log_sink(nullptr, nullptr);
}

void LogCapture::sink(int, const char *, const char *, const char *, const char *message,
                      void *user) {
    auto *self = static_cast<LogCapture *>(user);
    std::lock_guard lock(self->mutex_);
    self->messages_.emplace_back(message);
    self->cv_.notify_all();
}

int LogCapture::count(const std::string &message) const {
    std::lock_guard lock(mutex_);
    int n = 0;
    for (const std::string &m : messages_) {
        n += m == message ? 1 : 0;
    }
    return n;
}

bool LogCapture::wait_for(const std::string &message) {
    std::unique_lock lock(mutex_);
    return cv_.wait_for(lock, std::chrono::seconds(30), [&] {
        for (const std::string &m : messages_) {
            if (m == message) {
                return true;
            }
        }
        return false;
    });
}

std::vector<std::string> LogCapture::starting_with(const std::string &prefix) const {
    std::lock_guard lock(mutex_);
    std::vector<std::string> found;
    for (const std::string &m : messages_) {
        if (m.starts_with(prefix)) {
            found.push_back(m);
        }
    }
    return found;
}

bool LogCapture::wait_for_prefix(const std::string &prefix, std::size_t n,
                                 std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    std::size_t scanned = 0, seen = 0;  // only new lines are looked at on each wake-up
    return cv_.wait_for(lock, timeout, [&] {
        for (; scanned < messages_.size(); ++scanned) {
            seen += messages_[scanned].starts_with(prefix) ? 1 : 0;
        }
        return seen >= n;
    });
}

std::string read_file(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

void write_file(const std::string &path, const std::string &text) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

int start_sdk(const std::string &base_url, const std::string &data_dir, const App &app) {
    // rv_initSdk takes only an https:// HTTPS host; the plain server serves that part
    // too once the SDK runs.
    rv_setServiceHosts(base_url.c_str(), "https://127.0.0.1:1", base_url.c_str());
    Catcher init;
    rv_initSdk(app.appid, app.secret, app.channel, nullptr, app.packagename, data_dir.c_str(),
               Catcher::callback, &init);
    const int code = init.wait().code;
    rv_setServiceHosts(nullptr, base_url.c_str(), nullptr);
    return code;
}

std::string common_block() {
    char *url = strdup("");
    int rc = url_set_common_params(&url);
    std::string block = rc == 0 ? url : "<" + std::to_string(rc) + ">";
    free(url);
    return block;
}

std::string openssl_md5_hex(const std::string &text) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int len = 0;
    EVP_Digest(text.data(), text.size(), digest, &len, EVP_md5(), nullptr);
    std::string hex;
    char two[3];
    for (unsigned int i = 0; i < len; i++) {
        snprintf(two, sizeof two, "%02x", digest[i]);
        hex += two;
    }
    return hex;
}

}  // namespace rv::test
