// Transport overhead against plain libcurl, measured in one process against the local
// test server:
//   1. median latency of one GET (2 KB body), http_request_get -> callback versus
//      curl_easy_perform on a reused handle, one request at a time;
//   2. a burst of 30 GETs queued on the pool versus 3 plain threads doing 10 each;
//   3. HTTPS GETs with certificate checks on: connections and TLS sessions shared
//      versus only the DNS cache shared (a fresh handshake per request).
// Prints each pair of medians and their ratio (SDK / baseline, sharing / no sharing).
#include <curl/curl.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "http/http_client.h"
#include "http/local_server.h"
#include "rv_config.h"
#include "rv_error.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kSingleGets = 2000;
constexpr int kBursts = 200;
constexpr int kBurstSize = 30;
constexpr int kTlsGets = 200;
constexpr int kWarmUp = 20;

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0.0 : v[v.size() / 2];
}

double micros(Clock::duration d) {
    return std::chrono::duration<double, std::micro>(d).count();
}

// Counts completions of SDK requests.
struct Completion {
    // Guards done and failures; callbacks run on the pool's workers.
    std::mutex lock;
    std::condition_variable changed;
    int done = 0;
    int failures = 0;

    static void callback(int result, const char *, size_t, void *user) {
        auto *c = static_cast<Completion *>(user);
        std::lock_guard<std::mutex> guard(c->lock);
        ++c->done;
        c->failures += (result != RVE_OK);
        c->changed.notify_all();
    }
    void wait(int n) {
        std::unique_lock<std::mutex> guard(lock);
        changed.wait(guard, [&] { return done >= n; });
    }
};

size_t collect(char *data, size_t size, size_t count, void *user) {
    static_cast<std::string *>(user)->append(data, size * count);
    return size * count;
}

struct EasyDeleter {
    void operator()(CURL *easy) const { curl_easy_cleanup(easy); }
};

// A plain libcurl client: one reused handle, so connections are kept alive.
class PlainClient {
  public:
    PlainClient() : easy_(curl_easy_init()) {
        curl_easy_setopt(easy_.get(), CURLOPT_NOSIGNAL, 1L);
        curl_easy_setopt(easy_.get(), CURLOPT_WRITEFUNCTION, collect);
        curl_easy_setopt(easy_.get(), CURLOPT_WRITEDATA, &body_);
    }
    bool get(const std::string &url) {
        body_.clear();
        curl_easy_setopt(easy_.get(), CURLOPT_URL, url.c_str());
        return curl_easy_perform(easy_.get()) == CURLE_OK;
    }

  private:
    std::unique_ptr<CURL, EasyDeleter> easy_;
    std::string body_;
};

// Median latency of one SDK GET at a time; `secure` uses https_request_get.
double sdk_single(const std::string &url, int count, bool secure, int *failures) {
    std::vector<double> samples;
    Completion c;
    for (int i = 0; i < count + kWarmUp; ++i) {
        const auto start = Clock::now();
        const int rc = secure ? https_request_get(url.c_str(), nullptr, Completion::callback, &c)
                              : http_request_get(url.c_str(), Completion::callback, &c);
        if (rc != RVE_OK) {
            ++*failures;
            continue;
        }
        c.wait(i + 1);
        if (i >= kWarmUp) {
            samples.push_back(micros(Clock::now() - start));
        }
    }
    *failures += c.failures;
    return median(samples);
}

double plain_single(const std::string &url, int *failures) {
    PlainClient client;
    std::vector<double> samples;
    for (int i = 0; i < kSingleGets + kWarmUp; ++i) {
        const auto start = Clock::now();
        *failures += !client.get(url);
        if (i >= kWarmUp) {
            samples.push_back(micros(Clock::now() - start));
        }
    }
    return median(samples);
}

double sdk_burst(const std::string &url, int *failures) {
    std::vector<double> samples;
    for (int b = 0; b < kBursts; ++b) {
        Completion c;
        const auto start = Clock::now();
        for (int i = 0; i < kBurstSize; ++i) {
            if (http_request_get(url.c_str(), Completion::callback, &c) != RVE_OK) {
                ++*failures;
            }
        }
        c.wait(kBurstSize);
        samples.push_back(micros(Clock::now() - start));
        *failures += c.failures;
    }
    return median(samples);
}

double plain_burst(const std::string &url, int *failures) {
    std::vector<PlainClient> clients(3);
    std::vector<double> samples;
    std::mutex lock;  // guards *failures across the three threads
    for (int b = 0; b < kBursts; ++b) {
        const auto start = Clock::now();
        std::vector<std::thread> threads;
        for (PlainClient &client : clients) {
            threads.emplace_back([&] {
                int local = 0;
                for (int i = 0; i < kBurstSize / 3; ++i) {
                    local += !client.get(url);
                }
                std::lock_guard<std::mutex> guard(lock);
                *failures += local;
            });
        }
        for (auto &t : threads) {
            t.join();
        }
        samples.push_back(micros(Clock::now() - start));
    }
    return median(samples);
}

void report(const char *what, const char *a, double va, const char *b, double vb) {
    std::printf("%-34s %s %9.1f us   %s %9.1f us   ratio %.2f\n", what, a, va, b, vb, va / vb);
}

}  // namespace

int main() {
    curl_global_init(CURL_GLOBAL_ALL);
    int failures = 0;
    rv::test::LocalServer http;
    const std::string url = http.url("/bytes/2048");

    if (http_client_init() != RVE_OK) {
        std::fprintf(stderr, "http_client_init failed\n");
        return 1;
    }
    const double sdk = sdk_single(url, kSingleGets, false, &failures);
    const double plain = plain_single(url, &failures);
    report("GET 2 KB, one at a time (median)", "sdk", sdk, "curl", plain);

    const double sdk_b = sdk_burst(url, &failures);
    const double plain_b = plain_burst(url, &failures);
    report("burst of 30 GETs (median)", "pool", sdk_b, "3 threads", plain_b);
    http_client_final();

    rv::test::LocalServer https(true);
    rv_setCaFile(rv::test::cert_file("ca.pem").c_str());
    const std::string secure = https.url("/bytes/2048");
    http_client_init();
    const double shared = sdk_single(secure, kTlsGets, true, &failures);
    http_client_final();
    http_task_share_connections(0);
    http_client_init();
    const double unshared = sdk_single(secure, kTlsGets, true, &failures);
    http_client_final();
    http_task_share_connections(1);
    report("HTTPS GET, verified (median)", "shared", shared, "unshared", unshared);
    std::printf("HTTPS connections: shared run + unshared run = %zu\n", https.connections());

    curl_global_cleanup();
    if (failures != 0) {
        std::fprintf(stderr, "%d requests failed\n", failures);
        return 1;
    }
    return 0;
}
