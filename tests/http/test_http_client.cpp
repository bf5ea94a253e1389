// The HTTP client against a real local server: argument checks, exact bytes on the wire,
// body delivery, the redirect probe, size limit, log dumps with credentials hidden,
// connection reuse and restart.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "http/http_client.h"
#include "http/local_server.h"
#include "http/test_support.h"
#include "rv_error.h"

namespace {

using rv::test::CallbackLog;
using rv::test::LocalServer;
using rv::test::LogCapture;
using rv::test::Outcome;

class HttpClient : public testing::Test {
  protected:
    void SetUp() override { ASSERT_EQ(RVE_OK, http_client_init()); }
    void TearDown() override { EXPECT_EQ(RVE_OK, http_client_final()); }

    // Runs one GET and returns its outcome.
    Outcome get(const std::string &url) {
        CallbackLog log;
        EXPECT_EQ(RVE_OK, http_request_get(url.c_str(), &CallbackLog::callback, log.slot(0)));
        EXPECT_TRUE(log.wait_for(1));
        return log.outcomes().at(0);
    }
    Outcome post(const std::string &url, const char *body) {
        CallbackLog log;
        EXPECT_EQ(RVE_OK,
                  http_request_post(url.c_str(), body, &CallbackLog::callback, log.slot(0)));
        EXPECT_TRUE(log.wait_for(1));
        return log.outcomes().at(0);
    }
    Outcome probe(const std::string &url) { return rv::test::probe_once(url); }

    // Log settings change only while no worker runs: the capture outlives the client.
    LogCapture log_;
    LocalServer server_;
};

TEST(HttpClientLifecycle, RequestsOutsideTheClientLifetimeAreRefusedSynchronously) {
    CallbackLog log;
    EXPECT_EQ(RVE_BAD_ARGS, http_request_get(nullptr, &CallbackLog::callback, log.slot(0)));
    EXPECT_EQ(RVE_NOT_READY,
              http_request_get("http://127.0.0.1:9/", &CallbackLog::callback, log.slot(0)));
    EXPECT_EQ(RVE_NOT_READY,
              http_request_post("http://127.0.0.1:9/", "", &CallbackLog::callback, log.slot(0)));
    EXPECT_EQ(RVE_NOT_READY, https_request_get("https://127.0.0.1:9/", nullptr,
                                               &CallbackLog::callback, log.slot(0)));
    EXPECT_EQ(RVE_OK, http_client_final()) << "stopping a stopped client is harmless";

    ASSERT_EQ(RVE_OK, http_client_init());
    EXPECT_EQ(RVE_NOT_READY, http_client_init());
    EXPECT_EQ(RVE_BAD_ARGS, http_request_post("http://127.0.0.1:9/", nullptr,
                                              &CallbackLog::callback, log.slot(0)));
    EXPECT_EQ(RVE_BAD_ARGS,
              https_request_post(nullptr, "", nullptr, &CallbackLog::callback, log.slot(0)));
    EXPECT_EQ(RVE_OK, http_client_final());

    // A second start works and carries requests again.
    LocalServer server;
    ASSERT_EQ(RVE_OK, http_client_init());
    ASSERT_EQ(RVE_OK, http_request_get(server.url("/bytes/10").c_str(), &CallbackLog::callback,
                                       log.slot(1)));
    ASSERT_TRUE(log.wait_for(1));
    EXPECT_EQ(RVE_OK, log.outcomes().at(0).result);
    EXPECT_EQ(RVE_OK, http_client_final());
    EXPECT_EQ(1u, log.outcomes().size()) << "refused requests never call back";
}

TEST_F(HttpClient, GetDeliversTheWholeBodyTerminatedOnAWorker) {
    const Outcome o = get(server_.url("/bytes/70000"));
    EXPECT_EQ(RVE_OK, o.result);
    EXPECT_EQ(70000u, o.size);
    EXPECT_EQ(rv::test::body_pattern(70000), o.data);
    EXPECT_TRUE(o.terminated);
    EXPECT_NE(std::this_thread::get_id(), o.thread);
}

TEST_F(HttpClient, UrlAndPostBodyReachTheServerByteForByte) {
    const std::string target = "/echo?appid=a%20b&sig=0f&x=%2F%3D&empty=";
    const Outcome g = get(server_.url(target));
    EXPECT_EQ(RVE_OK, g.result);
    EXPECT_EQ(target, g.data);

    const char *body = "a=1&b=%E4%BD%A0&c=";
    const Outcome p = post(server_.url("/echo"), body);
    EXPECT_EQ(RVE_OK, p.result);
    EXPECT_EQ(body, p.data);

    const auto requests = server_.requests();
    ASSERT_EQ(2u, requests.size());
    EXPECT_EQ("GET", requests[0].method);
    EXPECT_EQ(target, requests[0].target);
    EXPECT_EQ("POST", requests[1].method);
    EXPECT_EQ(body, requests[1].body);
    EXPECT_EQ(std::to_string(std::strlen(body)),
              requests[1].headers.find("Content-Length")->second);
}

TEST_F(HttpClient, EmptyAnswerIsSuccessForGetAndFailureForPost) {
    const Outcome g = get(server_.url("/empty"));
    EXPECT_EQ(RVE_OK, g.result);
    EXPECT_TRUE(g.null_data);
    EXPECT_EQ(0u, g.size);

    const Outcome p = post(server_.url("/empty"), "");
    EXPECT_EQ(RVE_FAILED, p.result);
    EXPECT_TRUE(p.null_data);
    EXPECT_EQ(1u, log_.messages("HTTP_TASK", "check data failed").size());

    // The empty POST body went out with length 0.
    const auto requests = server_.requests();
    ASSERT_EQ(2u, requests.size());
    EXPECT_EQ("POST", requests[1].method);
    EXPECT_EQ("", requests[1].body);
    EXPECT_EQ("0", requests[1].headers.find("Content-Length")->second);
}

TEST_F(HttpClient, RedirectProbeReportsTheFinalUrlAfterTwoHops) {
    const Outcome o = probe(server_.url("/redirect/2"));
    EXPECT_EQ(RVE_OK, o.result);
    EXPECT_EQ(server_.url("/redirect/0"), o.data);
    EXPECT_EQ(o.data.size(), o.size);
    const auto requests = server_.requests();
    ASSERT_EQ(3u, requests.size());
    for (const auto &r : requests) {
        EXPECT_EQ("HEAD", r.method);
    }
}

// The hop meant for the application (a "code=" in its query, or another host or port)
// is handed over without being requested; hops on the same host are followed.
TEST_F(HttpClient, RedirectProbeHandsOverTheHopWithACodeOrOffTheHostUnrequested) {
    const struct {
        const char *path;
        std::string handed;
        size_t requests;
    } rows[] = {
        {"/authorize", server_.url("/callback?code=GRANT-SECRET&state=7"), 1},
        {"/redirect-to?url=http://127.0.0.1:1/cb", "http://127.0.0.1:1/cb", 1},
        {"/redirect-to?url=/redirect/1", server_.url("/redirect/0"), 3},
        {"/redirect-to?url=/redirect-to%3Furl%3D%252Fx%253Fcode%253D1", server_.url("/x?code=1"),
         2},
    };
    for (const auto &row : rows) {
        SCOPED_TRACE(row.path);
        const size_t before = server_.requests().size();
        const Outcome o = probe(server_.url(row.path));
        EXPECT_EQ(RVE_OK, o.result);
        EXPECT_EQ(row.handed, o.data);
        EXPECT_EQ(before + row.requests, server_.requests().size());
    }
}

TEST_F(HttpClient, RedirectProbeStopsAtTenHopsAndAtOtherSchemes) {
    EXPECT_EQ(RVE_OK, probe(server_.url("/redirect/10")).result);
    EXPECT_EQ(RVE_FAILED, probe(server_.url("/redirect/11")).result);
    const size_t before = server_.requests().size();
    EXPECT_EQ(RVE_FAILED, probe(server_.url("/redirect-to?url=file:///etc/passwd")).result);
    EXPECT_EQ(RVE_FAILED, probe(server_.url("/redirect-to?url=ftp://127.0.0.1:1/x")).result);
    EXPECT_EQ(before + 2, server_.requests().size());
}

TEST_F(HttpClient, AnswerLargerThan16MiBIsCutOffWithAnError) {
    const Outcome o = get(server_.url("/huge/" + std::to_string(HTTP_TASK_MAX_BODY_BYTES + 1)));
    EXPECT_EQ(RVE_FAILED, o.result);
    EXPECT_TRUE(o.null_data);
    EXPECT_EQ(1u, log_.messages("HTTP_TASK", "response body larger than 16777216 bytes").size());
    EXPECT_EQ(1u, log_.messages("HTTP_TASK", "http request perform failed: ").size());

    // Exactly the limit still arrives.
    const Outcome full = get(server_.url("/huge/" + std::to_string(HTTP_TASK_MAX_BODY_BYTES)));
    EXPECT_EQ(RVE_OK, full.result);
    EXPECT_EQ(HTTP_TASK_MAX_BODY_BYTES, full.size);
}

TEST_F(HttpClient, BodyDumpComesInPiecesOf2000Bytes) {
    http_task_data_verbose(1);
    const Outcome o = get(server_.url("/bytes/4500"));
    http_task_data_verbose(0);
    ASSERT_EQ(RVE_OK, o.result);
    const std::string body = rv::test::body_pattern(4500);
    const auto pieces = log_.messages("HTTP_TASK", "[");
    ASSERT_EQ(3u, pieces.size());
    EXPECT_EQ("[2000 bytes] " + body.substr(0, 2000) + "\n", pieces[0]);
    EXPECT_EQ("[2000 bytes] " + body.substr(2000, 2000) + "\n", pieces[1]);
    EXPECT_EQ("[0500 bytes] " + body.substr(4000) + "\n", pieces[2]);
    EXPECT_EQ(1u, log_.messages("HTTP_TASK", "http request data total size: 4500 bytes").size());
}

TEST_F(HttpClient, CredentialsNeverReachTheLogButDoReachTheServer) {
    http_task_data_verbose(1);
    const std::string target = "/echo?appid=A&secretkey=SK-SECRET&access_token=AT-SECRET&errcode=1";
    const Outcome g = get(server_.url(target));
    const Outcome j = get(server_.url("/json"));
    const Outcome p = post(server_.url("/echo"), "code=GRANT-SECRET&refresh_token=RT-SECRET");
    const Outcome r = probe(server_.url("/authorize"));
    http_task_data_verbose(0);
    ASSERT_EQ(RVE_OK, g.result);
    ASSERT_EQ(RVE_OK, j.result);
    ASSERT_EQ(RVE_OK, p.result);
    ASSERT_EQ(RVE_OK, r.result);
    EXPECT_EQ(server_.url("/callback?code=GRANT-SECRET&state=7"), r.data)
        << "the caller sees the real URL";

    const std::string text = log_.all_text();
    EXPECT_EQ(std::string::npos, text.find("-SECRET")) << text;
    EXPECT_NE(std::string::npos,
              text.find("HTTP-GET: url = " +
                        server_.url("/echo?appid=A&secretkey=***&access_token=***&errcode=1")));
    EXPECT_NE(std::string::npos,
              text.find(R"({"result":{"access_token":"***","refresh_token": "***")"));
    EXPECT_NE(std::string::npos, text.find("HTTP-POST: body = code=***&refresh_token=***"));
    EXPECT_NE(std::string::npos, text.find("TASK-GET-URI: redirect to uri = " +
                                           server_.url("/callback?code=***&state=7")));
    EXPECT_EQ(target, server_.requests().at(0).target);
}

TEST_F(HttpClient, SequentialRequestsReuseOneConnection) {
    for (int i = 0; i < 5; ++i) {
        ASSERT_EQ(RVE_OK, get(server_.url("/bytes/100")).result);
    }
    EXPECT_EQ(1u, server_.connections());
}

TEST(HttpClientSharing, WithSharingOffEveryRequestOpensItsOwnConnection) {
    LocalServer server;
    http_task_share_connections(0);
    ASSERT_EQ(RVE_OK, http_client_init());
    http_task_share_connections(1);
    for (int i = 0; i < 3; ++i) {
        CallbackLog log;
        ASSERT_EQ(RVE_OK, http_request_get(server.url("/bytes/100").c_str(), &CallbackLog::callback,
                                           log.slot(i)));
        ASSERT_TRUE(log.wait_for(1));
        EXPECT_EQ(RVE_OK, log.outcomes().at(0).result);
    }
    EXPECT_EQ(RVE_OK, http_client_final());
    EXPECT_EQ(3u, server.connections());
}

TEST_F(HttpClient, ManyRequestsFromSeveralThreadsEachCallBackExactlyOnce) {
    constexpr int kThreads = 4;
    constexpr int kPerThread = 40;
    CallbackLog log;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < kPerThread; ++i) {
                const int id = t * kPerThread + i;
                const std::string url = server_.url("/bytes/" + std::to_string(100 + id));
                void *slot = log.slot(id);
                int rc;
                while ((rc = http_request_get(url.c_str(), &CallbackLog::callback, slot)) ==
                       RVE_QUEUE_FULL) {
                    std::this_thread::yield();
                }
                ASSERT_EQ(RVE_OK, rc);
            }
        });
    }
    for (auto &t : threads) {
        t.join();
    }
    ASSERT_TRUE(log.wait_for(kThreads * kPerThread, 120));
    const auto outcomes = log.outcomes();
    std::vector<int> seen(kThreads * kPerThread, 0);
    for (const Outcome &o : outcomes) {
        ++seen.at(o.id);
        EXPECT_EQ(RVE_OK, o.result);
        EXPECT_EQ(rv::test::body_pattern(100 + o.id), o.data);
    }
    for (int count : seen) {
        EXPECT_EQ(1, count);
    }
}

}  // namespace
