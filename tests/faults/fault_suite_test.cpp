// Every public data request against the local service's faults: each ends in
// exactly one callback with the documented code, failures carry no data, and
// whatever is delivered is freed (the ASan pass checks that nothing leaks).
#include <cjson/cJSON.h>
#include <gtest/gtest.h>

#include <chrono>
#include <set>
#include <string>
#include <string_view>

#include "faults/request_table.h"
#include "request/mock_sdk_test.h"
#include "rv_auth.h"
#include "rv_config.h"

namespace {

using rv::test::call;
using rv::test::Catcher;
using rv::test::Delivery;
using rv::test::Needs;
using rv::test::Reading;
using rv::test::RequestRow;
using rv::test::Session;
using Kind = rvmock::Fault::Kind;

constexpr int kSkip = -1;
constexpr int kAsUnread = -2;

// A fault and the code each way of reading an answer must end in.
struct FaultCase {
    const char *name;
    rvmock::Fault fault;
    int envelope, unread, redirect;
    int report = kAsUnread;  // the report host, where it differs from other unread answers
};

rvmock::Fault fault(Kind kind, const std::string &errcode = "50600", size_t bytes = 0,
                    const std::string &field = "") {
    rvmock::Fault f;
    f.kind = kind;
    f.errcode = errcode;
    f.bytes = bytes;
    f.field = field;
    return f;
}

// An answer with HTTP `status` (the error envelope, 50600, as body).
rvmock::Fault status(int code, int retry_after = -1) {
    rvmock::Fault f = fault(Kind::Status);
    f.status = code;
    f.retry_after = retry_after;
    return f;
}

// Sets the number of retries for one scope, then back to the default (2).
struct Retries {
    explicit Retries(int count) { rv_setRequestRetries(count); }
    ~Retries() { rv_setRequestRetries(2); }
    Retries(const Retries &) = delete;
    Retries &operator=(const Retries &) = delete;
};

std::vector<FaultCase> fault_cases() {
    rvmock::Fault late = fault(Kind::None);
    late.delay_ms = 300;
    std::vector<FaultCase> cases = {
        {"short delay", late, 0, 0, 0},
        // Without a redirect no grant code: the refusal of an unconfirmed QR code.
        {"malformed JSON", fault(Kind::Malformed), 516, 0, 0x30005},
        {"no result", fault(Kind::Strip, "", 0, "result"), 516, 0, kSkip},
        {"closed without an answer", fault(Kind::Drop), 2, 2, 2},
        // Past every row's answer limit of 2 MiB.
        {"oversize body", fault(Kind::Oversize, "", 2u * 1024 * 1024 + 1024), 2, 2, kSkip},
        {"cut body", fault(Kind::Cut, "", 12), 2, 2, kSkip},
        // Judged by the body as ever; the report host's status decides for reports.
        {"HTTP 503", status(503), 0x30001, 0, kSkip, 2},
        {"HTTP 429", status(429, 0), 0x30001, 0, kSkip, 2},
        {"HTTP 404", status(404), 0x30001, 0, kSkip, 516},
    };
    const std::pair<const char *, int> mapping[] = {
        {"50600", 0x30001}, {"40000", 0x30002}, {"40100", 0x30003},
        {"40431", 0x30004}, {"40432", 0x30005}, {"12345", 0x30000},
    };
    for (const auto &[errcode, code] : mapping) {
        cases.push_back({"errcode", fault(Kind::Error, errcode), code, 0, 0x30005});
    }
    return cases;
}

// Not the report host.
bool open_api(const RequestRow &row) {
    return std::string_view(row.path).starts_with("/v2/");
}

int expected(const FaultCase &c, const RequestRow &row) {
    switch (row.reading) {
        case Reading::Envelope:
            return c.envelope;
        case Reading::Unread:
            return open_api(row) || c.report == kAsUnread ? c.unread : c.report;
        case Reading::Redirect:
            return c.redirect;
    }
    return kSkip;
}

// Every member name under `item`.
void collect_keys(const cJSON *item, std::set<std::string> &keys) {
    for (const cJSON *child = item->child; child != nullptr; child = child->next) {
        if (child->string != nullptr) {
            keys.insert(child->string);
        }
        collect_keys(child, keys);
    }
}

class FaultSuite : public rv::test::MockSdkTest {
  protected:
    // Runs `row` once and checks its one delivery: the code, no data on
    // failure, and the data freed on success.
    void expect_code(const RequestRow &row, const Session &session, int code) {
        Delivery d = call([&](Catcher *c) { row.call(session, Catcher::callback, c); });
        EXPECT_EQ(d.code, code);
        if (d.code != 0) {
            EXPECT_EQ(d.data, nullptr);
            EXPECT_EQ(d.count, 0);
        } else if (d.data != nullptr) {
            row.release(d.data);
        }
    }

    Session prepare(Needs needs) {
        return rv::test::prepare_session(needs, mock_.https_url() + "/oauth2/callback");
    }

    // Restarts the SDK with `ca_file` as its CA bundle and the usual hosts.
    void restart_trusting(const std::string &ca_file) {
        rv_releaseSdk();
        rv_setCaFile(ca_file.c_str());
        ASSERT_EQ(rv::test::start_sdk(mock_.http_url(), dir_.path()), 0);
        ASSERT_EQ(rv_setServiceHosts(nullptr, mock_.https_url().c_str(), nullptr), 0);
    }

    // How often the service was asked for the row's path (open-API rows; the
    // report host counts only the reports it answered).
    size_t asked(const RequestRow &row) {
        if (!open_api(row)) {
            return mock_.reports().size();
        }
        size_t n = 0;
        for (const rvmock::Received &r : mock_.requests()) {
            n += r.path == row.path ? 1 : 0;
        }
        return n;
    }

    // The row's path was the one asked, once.
    void expect_reached(const RequestRow &row) {
        if (!open_api(row)) {
            return;  // only open-API requests are listed
        }
        std::vector<rvmock::Received> received = mock_.requests();
        ASSERT_FALSE(received.empty());
        EXPECT_EQ(received.back().path, row.path);
    }
};

// With retries off, as before retries existed: one attempt each.
TEST_F(FaultSuite, EveryRequestEndsInItsDocumentedCodeUnderEveryFault) {
    const Retries off(0);
    for (const RequestRow &row : rv::test::request_table()) {
        SCOPED_TRACE(row.path);
        Session session = prepare(row.needs);
        mock_.clear_requests();
        expect_code(row, session, 0);
        expect_reached(row);
        for (const FaultCase &c : fault_cases()) {
            const int code = expected(c, row);
            // The service pads open-API answers only.
            if (code == kSkip || (c.fault.kind == Kind::Oversize && !open_api(row))) {
                continue;
            }
            SCOPED_TRACE(std::string(c.name) + " " + c.fault.errcode);
            session = prepare(row.needs);
            rvmock::Fault once = c.fault;
            once.times = 1;
            mock_.set_fault(row.path, once);
            mock_.clear_requests();
            expect_code(row, session, code);
            if (open_api(row)) {
                EXPECT_EQ(asked(row), 1u);
            }
            mock_.clear_faults();
        }
    }
}

// Each row against one of the transient faults in turn, failing once or twice:
// reads end in success after as many retries, one callback; the others end in
// the fault's documented code after one attempt.
TEST_F(FaultSuite, ReadsAreRetriedAfterTransientFailuresTheOthersSentOnce) {
    const std::vector<FaultCase> all = fault_cases();
    std::vector<FaultCase> transient;
    for (const FaultCase &c : all) {
        const std::string name = c.name;
        if (name == "closed without an answer" || name == "cut body" || name == "HTTP 503" ||
            name == "HTTP 429") {
            transient.push_back(c);
        }
    }
    ASSERT_EQ(transient.size(), 4u);
    size_t i = 0;
    for (const RequestRow &row : rv::test::request_table()) {
        const FaultCase &c = transient[i % transient.size()];
        const int failures = 1 + static_cast<int>(i++ % 2);
        const int code = expected(c, row);
        if (code == kSkip) {
            continue;
        }
        SCOPED_TRACE(std::string(row.name) + ", " + c.name + " x" + std::to_string(failures));
        Session session = prepare(row.needs);
        mock_.clear_reports();
        mock_.clear_requests();
        rvmock::Fault f = c.fault;
        f.times = failures;
        mock_.set_fault(row.path, f);
        rv::test::LogCapture log;
        expect_code(row, session, row.retried ? 0 : code);
        const size_t retries = log.starting_with("retry ").size();
        if (row.retried) {
            EXPECT_EQ(retries, static_cast<size_t>(failures));
            EXPECT_EQ(asked(row), static_cast<size_t>(failures) + (open_api(row) ? 1 : 0));
        } else {
            EXPECT_EQ(retries, 0u);
            if (open_api(row)) {
                EXPECT_EQ(asked(row), 1u);
            }
        }
        mock_.clear_faults();
    }
}

// One read against what is never retried, what exhausts the retries, and
// Retry-After: the code of the last attempt and the attempts the service saw.
TEST_F(FaultSuite, RetriesStopWhereTheyCannotHelp) {
    struct Case {
        const char *name;
        rvmock::Fault fault;
        int times;
        int code;
        size_t attempts;
        const char *first_retry;  // the W line of the first retry, when one is made
    };
    const Case cases[] = {
        {"HTTP 404", status(404), 1, 0x30001, 1, nullptr},
        {"error envelope", fault(Kind::Error), 1, 0x30001, 1, nullptr},
        {"malformed", fault(Kind::Malformed), 1, 516, 1, nullptr},
        {"Retry-After above the cap", status(429, 11), 1, 0x30001, 1, nullptr},
        {"three drops", fault(Kind::Drop), 3, 2, 3, nullptr},
        {"Retry-After honoured", status(429, 1), 1, 0, 2,
         "retry 1 of 2 for /v2/category? in 1000 ms: HTTP 429\n"},
    };
    const RequestRow &row = rv::test::request_table().front();
    ASSERT_TRUE(row.retried);
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        rvmock::Fault f = c.fault;
        f.times = c.times;
        mock_.set_fault(row.path, f);
        mock_.clear_requests();
        rv::test::LogCapture log;
        expect_code(row, prepare(Needs::Nothing), c.code);
        EXPECT_EQ(asked(row), c.attempts);
        const std::vector<std::string> retries = log.starting_with("retry ");
        EXPECT_EQ(retries.size(), c.attempts - 1);
        if (c.first_retry != nullptr && !retries.empty()) {
            EXPECT_EQ(retries.front(), c.first_retry);
        }
        mock_.clear_faults();
    }
}

// A retry waiting for its time is ended by the release with 3, at once.
TEST_F(FaultSuite, ReleaseEndsAWaitingRetryWith3) {
    const RequestRow &row = rv::test::request_table().front();
    mock_.set_fault(row.path, status(503, 8));
    rv::test::LogCapture log;
    Catcher c;
    row.call(prepare(Needs::Nothing), Catcher::callback, &c);
    ASSERT_TRUE(log.wait_for_prefix("retry 1 of 2", 1));
    const auto start = std::chrono::steady_clock::now();
    rv_releaseSdk();
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(c.calls(), 1);  // before the release returned
    EXPECT_EQ(c.wait().code, 3);
    EXPECT_LT(took, std::chrono::seconds(4));  // not the 8 s the retry waits
    EXPECT_EQ(asked(row), 1u);
}

TEST_F(FaultSuite, AWrongTypeForAnyFieldOfAnyRecordGivesDefaultsNotAFailure) {
    for (const RequestRow &row : rv::test::request_table()) {
        if (row.reading != Reading::Envelope) {
            continue;
        }
        SCOPED_TRACE(row.path);
        Session session = prepare(row.needs);
        expect_code(row, session, 0);
        // Every member name of the answer's records, at any depth.
        const std::string answer = mock_.last_answer(row.path);
        cJSON *root = cJSON_Parse(answer.c_str());
        ASSERT_NE(root, nullptr) << answer;
        std::set<std::string> keys;
        collect_keys(cJSON_GetObjectItem(root, "result"), keys);
        cJSON_Delete(root);
        keys.insert("result");
        for (const std::string &key : keys) {
            SCOPED_TRACE(key);
            session = prepare(row.needs);
            rvmock::Fault retype = fault(Kind::Retype, "", 0, key);
            retype.times = 1;
            mock_.set_fault(row.path, retype);
            // A record (or list) of the wrong type reads as one of defaults (or empty).
            expect_code(row, session, 0);
        }
    }
}

TEST_F(FaultSuite, AnUntrustedCertificateFailsEveryRequestWith2) {
    for (const RequestRow &row : rv::test::request_table()) {
        SCOPED_TRACE(row.path);
        Session session = prepare(row.needs);
        // The CA is read at start-up: restart trusting a bundle that did not sign
        // the service's certificate, then send every host over TLS.
        restart_trusting("/etc/ssl/certs/ca-certificates.crt");
        if (row.needs == Needs::CachedToken) {
            ASSERT_EQ(
                rv_cacheSdkAuthAccessInfo(session.access_token.c_str(), session.open_uid.c_str()),
                0);
        }
        ASSERT_EQ(rv_setServiceHosts(mock_.https_url().c_str(), mock_.https_url().c_str(),
                                     mock_.https_url().c_str()),
                  0);
        mock_.clear_requests();
        rv::test::LogCapture log;
        expect_code(row, session, 2);
        EXPECT_TRUE(mock_.requests().empty());  // nothing got through
        EXPECT_TRUE(log.starting_with("retry ").empty());
        restart_trusting(mock_.ca_file());
    }
}

TEST_F(FaultSuite, AnAnswerLaterThanTwentySecondsFailsWith2) {
    const RequestRow &row = rv::test::request_table().front();
    rvmock::Fault late = fault(Kind::None);
    late.delay_ms = 21000;
    mock_.set_fault(row.path, late);
    expect_code(row, prepare(Needs::Nothing), 2);
}

}  // namespace
