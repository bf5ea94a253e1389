// Request-layer overhead against plain libcurl + cJSON, in one process against
// the in-process local service: rv_getAlbumAudioList of a 20-item page, from the
// call to its callback, versus curl_easy_perform of the very URL the SDK sent
// followed by cJSON_Parse and reading every field of every audio. Samples of
// the two alternate; prints both medians and their ratio (SDK / baseline).
#include <cjson/cJSON.h>
#include <curl/curl.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

#include "mock_service.h"
#include "rv_config.h"
#include "rv_data.h"
#include "rv_sdk.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kSamples = 600;
constexpr int kWarmUp = 30;
constexpr long long kAlbum = 1100001;

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0.0 : v[v.size() / 2];
}

double micros(Clock::duration d) {
    return std::chrono::duration<double, std::micro>(d).count();
}

// One callback, waited for by the calling thread.
struct Done {
    std::mutex lock;  // guards code, data and fired
    std::condition_variable changed;
    int code = -1;
    void *data = nullptr;
    bool fired = false;

    static void callback(int code, void *data, int, void *user) {
        auto *d = static_cast<Done *>(user);
        std::lock_guard<std::mutex> guard(d->lock);
        d->code = code;
        d->data = data;
        d->fired = true;
        d->changed.notify_all();
    }
    void wait() {
        std::unique_lock<std::mutex> guard(lock);
        changed.wait(guard, [this] { return fired; });
    }
};

size_t append_body(char *data, size_t size, size_t n, void *user) {
    static_cast<std::string *>(user)->append(data, size * n);
    return size * n;
}

// The baseline's parse: every field the SDK's audio record reads.
int read_page(const std::string &body) {
    cJSON *root = cJSON_ParseWithLength(body.data(), body.size());
    const cJSON *result = cJSON_GetObjectItem(root, "result");
    int fields = 0;
    for (const cJSON *page = result ? result->child : nullptr; page; page = page->next) {
        if (cJSON_IsArray(page)) {
            for (const cJSON *audio = page->child; audio; audio = audio->next) {
                for (const cJSON *f = audio->child; f; f = f->next) {
                    fields += cJSON_IsString(f) ? (cJSON_GetStringValue(f)[0] != 0)
                                                : static_cast<int>(cJSON_GetNumberValue(f) != 0);
                }
            }
        }
    }
    cJSON_Delete(root);
    return fields;
}

}  // namespace

int main() {
    rvmock::Service service;
    if (!service.start()) {
        return 1;
    }
    char dir[] = "/tmp/rv-request-bench-XXXXXX";
    if (mkdtemp(dir) == nullptr) {
        return 1;
    }
    const std::string url = service.http_url();
    rv_setServiceHosts(url.c_str(), service.https_url().c_str(), url.c_str());
    Done init;
    rv_initSdk("rv-test-app", "rv-test-secret", "rv-channel", nullptr, "com.example.radio", dir,
               Done::callback, &init);
    init.wait();
    if (init.code != 0) {
        std::fprintf(stderr, "rv_initSdk failed: %d\n", init.code);
        return 1;
    }

    auto sdk_once = [] {
        Done d;
        const Clock::time_point start = Clock::now();
        rv_getAlbumAudioList(kAlbum, 0, 1, 20, 0, Done::callback, &d);
        d.wait();
        const double us = micros(Clock::now() - start);
        if (d.code != 0 || ListLength(static_cast<dao_audio_set *>(d.data)->list) != 20) {
            std::fprintf(stderr, "the SDK request failed: %d\n", d.code);
            std::exit(1);
        }
        dao_audio_set_del(static_cast<dao_audio_set *>(d.data));
        return us;
    };
    sdk_once();
    const rvmock::Received sent = service.requests().back();
    const std::string same_url = url + sent.path + "?" + sent.query;

    CURL *curl = curl_easy_init();
    std::string body;
    curl_easy_setopt(curl, CURLOPT_URL, same_url.c_str());
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, append_body);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &body);
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    auto plain_once = [&] {
        const Clock::time_point start = Clock::now();
        body.clear();
        const CURLcode rc = curl_easy_perform(curl);
        const int fields = read_page(body);
        const double us = micros(Clock::now() - start);
        if (rc != CURLE_OK || fields == 0) {
            std::fprintf(stderr, "the plain request failed: %d\n", rc);
            std::exit(1);
        }
        return us;
    };

    std::vector<double> sdk, plain;
    for (int i = 0; i < kWarmUp + kSamples; ++i) {
        const double a = sdk_once();
        const double b = plain_once();
        if (i >= kWarmUp) {
            sdk.push_back(a);
            plain.push_back(b);
        }
    }
    service.clear_requests();
    std::printf(
        "rv_getAlbumAudioList, 20 audios     SDK %9.1f us   curl+cJSON %9.1f us   ratio %.2f\n",
        median(sdk), median(plain), median(sdk) / median(plain));
    curl_easy_cleanup(curl);
    rv_releaseSdk();
    std::filesystem::remove_all(dir);
    return 0;
}
