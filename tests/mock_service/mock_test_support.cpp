#include "mock_test_support.h"

#include <openssl/evp.h>

namespace rvmock_test {

namespace {

std::string md5_hex(const std::string &text) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int size = 0;
    EVP_Digest(text.data(), text.size(), digest, &size, EVP_md5(), nullptr);
    std::string out;
    char hex[3];
    for (unsigned int i = 0; i < size; ++i) {
        snprintf(hex, sizeof(hex), "%02x", digest[i]);
        out += hex;
    }
    return out;
}

size_t collect(char *data, size_t size, size_t count, void *user) {
    auto *state = static_cast<std::pair<Response *, size_t> *>(user);
    size_t bytes = size * count;
    if (state->second && state->first->body.size() + bytes >= state->second) {
        state->first->body.append(data, state->second - state->first->body.size());
        return 0;  // enough: abort the transfer
    }
    state->first->body.append(data, bytes);
    return bytes;
}

size_t header(char *data, size_t size, size_t count, void *user) {
    std::string line(data, size * count);
    for (auto &c : line) {
        c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    }
    if (line.find("transfer-encoding: chunked") == 0) {
        static_cast<Response *>(user)->chunked = true;
    }
    return size * count;
}

}  // namespace

std::string common_block(const Identity &id) {
    std::string pieces = "appid=" + id.appid + "&" + "deviceid=" + id.deviceid + "&" +
                         (id.openid.empty() ? "" : "openid=" + id.openid + "&") + "os=linux&" +
                         "packagename=" + id.packagename;
    std::string text = id.secret + "&" + pieces + id.secret;
    std::string numbered;
    int index = 0;
    for (char c : text) {
        numbered += c == '&' ? std::to_string(index++) : std::string(1, c);
    }
    return "appid=" + id.appid + "&" + (id.openid.empty() ? "" : "openid=" + id.openid + "&") +
           "deviceid=" + id.deviceid + "&os=linux&packagename=" + id.packagename +
           "&sign=" + md5_hex(numbered) + "&channel=" + id.channel + "&";
}

Response fetch(const std::string &url, const Options &options) {
    Response response;
    std::unique_ptr<CURL, decltype(&curl_easy_cleanup)> curl(curl_easy_init(), curl_easy_cleanup);
    std::pair<Response *, size_t> state{&response, options.max_bytes};
    curl_easy_setopt(curl.get(), CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl.get(), CURLOPT_WRITEFUNCTION, collect);
    curl_easy_setopt(curl.get(), CURLOPT_WRITEDATA, &state);
    curl_easy_setopt(curl.get(), CURLOPT_HEADERFUNCTION, header);
    curl_easy_setopt(curl.get(), CURLOPT_HEADERDATA, &response);
    curl_easy_setopt(curl.get(), CURLOPT_TIMEOUT_MS, options.timeout_ms);
    curl_easy_setopt(curl.get(), CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl.get(), CURLOPT_FOLLOWLOCATION, options.follow ? 1L : 0L);
    if (!options.ca_file.empty()) {
        curl_easy_setopt(curl.get(), CURLOPT_CAINFO, options.ca_file.c_str());
    }
    if (!options.range.empty()) {
        curl_easy_setopt(curl.get(), CURLOPT_RANGE, options.range.c_str());
    }
    if (options.method == "POST") {
        curl_easy_setopt(curl.get(), CURLOPT_POST, 1L);
        curl_easy_setopt(curl.get(), CURLOPT_POSTFIELDS, options.body.c_str());
        curl_easy_setopt(curl.get(), CURLOPT_POSTFIELDSIZE, static_cast<long>(options.body.size()));
    } else if (options.method == "HEAD") {
        curl_easy_setopt(curl.get(), CURLOPT_NOBODY, 1L);
    } else if (options.method != "GET") {
        curl_easy_setopt(curl.get(), CURLOPT_CUSTOMREQUEST, options.method.c_str());
    }
    response.code = curl_easy_perform(curl.get());
    curl_easy_getinfo(curl.get(), CURLINFO_RESPONSE_CODE, &response.status);
    char *text = nullptr;
    if (curl_easy_getinfo(curl.get(), CURLINFO_CONTENT_TYPE, &text) == CURLE_OK && text) {
        response.content_type = text;
    }
    if (curl_easy_getinfo(curl.get(), CURLINFO_REDIRECT_URL, &text) == CURLE_OK && text) {
        response.location = text;
    }
    if (curl_easy_getinfo(curl.get(), CURLINFO_EFFECTIVE_URL, &text) == CURLE_OK && text) {
        response.effective_url = text;
    }
    curl_off_t length = -1;
    curl_easy_getinfo(curl.get(), CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length);
    response.content_length = length;
    return response;
}

Json parse(const std::string &text) {
    return Json(cJSON_ParseWithLength(text.data(), text.size()));
}

const cJSON *result_of(const Json &envelope) {
    EXPECT_TRUE(envelope) << "not JSON";
    if (!envelope) {
        return nullptr;
    }
    const cJSON *errcode = cJSON_GetObjectItemCaseSensitive(envelope.get(), "errcode");
    EXPECT_EQ(errcode, nullptr) << "error envelope: " << cJSON_PrintUnformatted(envelope.get());
    return cJSON_GetObjectItemCaseSensitive(envelope.get(), "result");
}

void expect_keys(const cJSON *object, std::initializer_list<const char *> keys) {
    ASSERT_TRUE(cJSON_IsObject(object));
    for (const char *key : keys) {
        EXPECT_NE(cJSON_GetObjectItemCaseSensitive(object, key), nullptr) << "missing key " << key;
    }
}

long long int_of(const cJSON *object, const char *key) {
    const cJSON *item = cJSON_GetObjectItemCaseSensitive(object, key);
    EXPECT_TRUE(cJSON_IsNumber(item)) << key << " is not a number";
    return cJSON_IsNumber(item) ? static_cast<long long>(item->valuedouble) : -1;
}

std::string str_of(const cJSON *object, const char *key) {
    const cJSON *item = cJSON_GetObjectItemCaseSensitive(object, key);
    EXPECT_TRUE(cJSON_IsString(item)) << key << " is not a string";
    return cJSON_IsString(item) ? item->valuestring : "";
}

std::unique_ptr<rvmock::Service> MockServiceTest::service_;
rvmock::Config MockServiceTest::config_;

void MockServiceTest::SetUpTestSuite() {
    service_ = std::make_unique<rvmock::Service>(config_);
    ASSERT_TRUE(service_->start());
}

void MockServiceTest::TearDownTestSuite() {
    service_.reset();
}

void MockServiceTest::TearDown() {
    service_->clear_faults();
    service_->clear_reports();
}

std::string MockServiceTest::http(const std::string &path_and_query) {
    return service_->http_url() + path_and_query;
}

std::string MockServiceTest::https(const std::string &path_and_query) {
    return service_->https_url() + path_and_query;
}

Json MockServiceTest::api(const std::string &path, const std::string &params,
                          const Identity &identity) {
    Response response = fetch(http(path + "?" + params + common_block(identity)));
    EXPECT_EQ(response.code, CURLE_OK) << path;
    EXPECT_EQ(response.status, 200) << path;
    return parse(response.body);
}

Json MockServiceTest::api_https(const std::string &method, const std::string &path,
                                const std::string &params, const Identity &identity) {
    Options options;
    options.method = method;
    options.ca_file = service_->ca_file();
    Response response = fetch(https(path + "?" + params + common_block(identity)), options);
    EXPECT_EQ(response.code, CURLE_OK) << path;
    return parse(response.body);
}

}  // namespace rvmock_test
