// Plain-libcurl client helpers for the mock service's tests: a signed common
// block built the way a client builds it, one-shot transfers, JSON checks.
#pragma once

#include <cjson/cJSON.h>
#include <curl/curl.h>
#include <gtest/gtest.h>

#include <initializer_list>
#include <memory>
#include <string>

#include "mock_service.h"

namespace rvmock_test {

struct Identity {
    std::string appid = "rv-test-app";
    std::string secret = "rv-test-secret";
    std::string deviceid = "dev-1";
    std::string openid = "oid-3";  // empty: not sent
    std::string packagename = "com.example.app";
    std::string channel = "ch-1";
};

// appid=…&openid=…&deviceid=…&os=linux&packagename=…&sign=…&channel=…&
std::string common_block(const Identity &identity = {});

struct Response {
    CURLcode code = CURLE_OK;
    long status = 0;
    std::string body;
    std::string content_type;
    std::string location;       // of a redirect not followed
    std::string effective_url;  // after redirects followed
    bool chunked = false;
    long long content_length = -1;
};

struct Options {
    std::string method = "GET";  // GET, POST, DELETE or HEAD
    std::string body;            // for POST
    std::string ca_file;
    std::string range;        // "first-last"
    long timeout_ms = 15000;  // whole transfer
    bool follow = false;
    size_t max_bytes = 0;  // stop reading after this many body bytes (0: all)
};

Response fetch(const std::string &url, const Options &options = {});

struct JsonDeleter {
    void operator()(cJSON *item) const { cJSON_Delete(item); }
};
using Json = std::unique_ptr<cJSON, JsonDeleter>;
Json parse(const std::string &text);

// The "result" member of a success envelope (fails the test for an error envelope).
const cJSON *result_of(const Json &envelope);
// Every key present, and no "errcode".
void expect_keys(const cJSON *object, std::initializer_list<const char *> keys);
long long int_of(const cJSON *object, const char *key);
std::string str_of(const cJSON *object, const char *key);

// One service for a whole suite (started before the first test).
class MockServiceTest : public ::testing::Test {
  public:
    static void SetUpTestSuite();
    static void TearDownTestSuite();

  protected:
    void TearDown() override;

    static rvmock::Service &service() { return *service_; }
    static std::string http(const std::string &path_and_query);
    static std::string https(const std::string &path_and_query);
    // GET (or the given method) of an open-API path with the signed common block appended.
    static Json api(const std::string &path, const std::string &params = "",
                    const Identity &identity = {});
    static Json api_https(const std::string &method, const std::string &path,
                          const std::string &params = "", const Identity &identity = {});
    static rvmock::Config config_;

  private:
    static std::unique_ptr<rvmock::Service> service_;
};

}  // namespace rvmock_test
