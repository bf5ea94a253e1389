// HTTPS always verifies the server: against the request's CA file, else RV_CA_FILE, else
// rv_setCaFile's file, else the system's store. An untrusted or misnamed server fails
// with 2 and libcurl's text in an E line.
#include <curl/curl.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "http/http_client.h"
#include "http/local_server.h"
#include "http/test_support.h"
#include "rv_config.h"
#include "rv_error.h"

namespace {

using rv::test::CallbackLog;
using rv::test::cert_file;
using rv::test::LocalServer;
using rv::test::LogCapture;
using rv::test::Outcome;

// Environment and CA setting are changed only while the client (and its workers) is stopped.
class HttpTls : public testing::Test {
  protected:
    void TearDown() override {
        http_client_final();
        unsetenv("RV_CA_FILE");
        rv_setCaFile(nullptr);
    }

    Outcome get(const std::string &url, const char *cainfo = nullptr) {
        CallbackLog log;
        EXPECT_EQ(RVE_OK,
                  https_request_get(url.c_str(), cainfo, &CallbackLog::callback, log.slot(0)));
        EXPECT_TRUE(log.wait_for(1));
        return log.outcomes().at(0);
    }

    // Log settings change only while no worker runs: the capture outlives the client.
    LogCapture log_;
    LocalServer server_{true};
};

const std::string kPeerFailure = std::string("http request perform failed: ") +
                                 curl_easy_strerror(CURLE_PEER_FAILED_VERIFICATION);

TEST_F(HttpTls, TrustedServerAnswersOverGetPostAndTheProbe) {
    rv_setCaFile(cert_file("ca.pem").c_str());
    ASSERT_EQ(RVE_OK, http_client_init());
    const Outcome g = get(server_.url("/bytes/3000"));
    EXPECT_EQ(RVE_OK, g.result);
    EXPECT_EQ(rv::test::body_pattern(3000), g.data);

    CallbackLog log;
    ASSERT_EQ(RVE_OK, https_request_post(server_.url("/echo").c_str(), "k=v", nullptr,
                                         &CallbackLog::callback, log.slot(1)));
    ASSERT_EQ(RVE_OK, https_request_get_redirect_uri(server_.url("/redirect/2").c_str(), nullptr,
                                                     &CallbackLog::callback, log.slot(2)));
    ASSERT_TRUE(log.wait_for(2));
    for (const Outcome &o : log.outcomes()) {
        EXPECT_EQ(RVE_OK, o.result);
        EXPECT_EQ(o.id == 1 ? std::string("k=v") : server_.url("/redirect/0"), o.data);
    }
}

// From https the probe goes on over https only: a redirect to http, whether it would
// be handed over (it carries the code) or followed (a hop on the way), ends it with 2.
TEST_F(HttpTls, RedirectProbeRefusesHttpsToHttp) {
    rv_setCaFile(cert_file("ca.pem").c_str());
    ASSERT_EQ(RVE_OK, http_client_init());
    for (const char *target :
         {"http%3A%2F%2F127.0.0.1%3A1%2Fcb%3Fcode%3DGRANT",
          "%2Fredirect-to%3Furl%3Dhttp%253A%252F%252F127.0.0.1%253A1%252Fcb"}) {
        SCOPED_TRACE(target);
        const Outcome o =
            rv::test::probe_once(server_.url(std::string("/redirect-to?url=") + target));
        EXPECT_EQ(RVE_FAILED, o.result);
        EXPECT_TRUE(o.null_data);
    }
    EXPECT_EQ(
        2u, log_.messages("HTTP_TASK", "TASK-GET-URI: redirect from https to http refused").size());
    const Outcome kept = rv::test::probe_once(
        server_.url("/redirect-to?url=https%3A%2F%2F127.0.0.1%3A1%2Fcb%3Fcode%3DGRANT"));
    EXPECT_EQ(RVE_OK, kept.result);
    EXPECT_EQ("https://127.0.0.1:1/cb?code=GRANT", kept.data);
}

TEST_F(HttpTls, WithoutAConfiguredCaTheTestServerIsRejected) {
    ASSERT_EQ(RVE_OK, http_client_init());
    const Outcome o = get(server_.url("/bytes/10"));
    EXPECT_EQ(RVE_FAILED, o.result);
    EXPECT_TRUE(o.null_data);
    const auto errors = log_.messages("HTTP_TASK", kPeerFailure);
    ASSERT_EQ(1u, errors.size());
    EXPECT_TRUE(server_.requests().empty()) << "no request may pass an unverified handshake";
}

TEST_F(HttpTls, AnUnrelatedCaAndAMismatchedHostNameAreRejected) {
    rv_setCaFile(cert_file("other-ca.pem").c_str());
    ASSERT_EQ(RVE_OK, http_client_init());
    EXPECT_EQ(RVE_FAILED, get(server_.url("/bytes/10")).result);
    EXPECT_EQ(RVE_FAILED, get(server_.url("/bytes/10"), cert_file("other-ca.pem").c_str()).result);

    // Trusted CA, but the certificate names 127.0.0.1 and localhost only.
    LocalServer misnamed(true, "127.0.0.2");
    EXPECT_EQ(RVE_FAILED, get(misnamed.url("/bytes/10"), cert_file("ca.pem").c_str()).result);
    EXPECT_EQ(3u, log_.messages("HTTP_TASK", kPeerFailure).size());
    EXPECT_TRUE(server_.requests().empty());
    EXPECT_TRUE(misnamed.requests().empty());
}

TEST_F(HttpTls, EnvironmentOverridesTheApplicationsCaFileAndTheRequestsOverridesBoth) {
    rv_setCaFile(cert_file("other-ca.pem").c_str());
    setenv("RV_CA_FILE", cert_file("ca.pem").c_str(), 1);
    ASSERT_EQ(RVE_OK, http_client_init());
    EXPECT_EQ(RVE_OK, get(server_.url("/bytes/10")).result);
    EXPECT_EQ(RVE_FAILED, get(server_.url("/bytes/10"), cert_file("other-ca.pem").c_str()).result);
    ASSERT_EQ(RVE_OK, http_client_final());

    // An empty variable does not count; the application's file is used again.
    setenv("RV_CA_FILE", "", 1);
    rv_setCaFile(cert_file("ca.pem").c_str());
    ASSERT_EQ(RVE_OK, http_client_init());
    EXPECT_EQ(RVE_OK, get(server_.url("/bytes/10")).result);
    EXPECT_EQ(RVE_OK, get(server_.url("/bytes/10"), cert_file("ca.pem").c_str()).result);
}

}  // namespace
