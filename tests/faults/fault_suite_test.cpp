// Every public data request against the local service's faults: each ends in
// exactly one callback with the documented code, failures carry no data, and
// whatever is delivered is freed (the ASan pass checks that nothing leaks).
#include <cjson/cJSON.h>
#include <gtest/gtest.h>

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

// A fault and the code each way of reading an answer must end in.
struct FaultCase {
    const char *name;
    rvmock::Fault fault;
    int envelope, unread, redirect;
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

std::vector<FaultCase> fault_cases() {
    rvmock::Fault late = fault(Kind::None);
    late.delay_ms = 300;
    std::vector<FaultCase> cases = {
        {"short delay", late, 0, 0, 0},
        {"malformed JSON", fault(Kind::Malformed), 516, 0, 0},
        {"no result", fault(Kind::Strip, "", 0, "result"), 516, 0, kSkip},
        {"closed without an answer", fault(Kind::Drop), 2, 2, 2},
        // Past the transfer limit of 16 MiB.
        {"oversize body", fault(Kind::Oversize, "", 17u * 1024 * 1024), 2, 2, kSkip},
        {"cut body", fault(Kind::Cut, "", 12), 2, 2, kSkip},
    };
    const std::pair<const char *, int> mapping[] = {
        {"50600", 0x30001}, {"40000", 0x30002}, {"40100", 0x30003},
        {"40431", 0x30004}, {"40432", 0x30005}, {"12345", 0x30000},
    };
    for (const auto &[errcode, code] : mapping) {
        cases.push_back({"errcode", fault(Kind::Error, errcode), code, 0, 0});
    }
    return cases;
}

// Not the report host.
bool open_api(const RequestRow &row) {
    return std::string_view(row.path).starts_with("/v2/");
}

int expected(const FaultCase &c, Reading reading) {
    switch (reading) {
        case Reading::Envelope:
            return c.envelope;
        case Reading::Unread:
            return c.unread;
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
        return rv::test::prepare_session(needs, mock_.http_url() + "/oauth2/callback");
    }

    // Restarts the SDK with `ca_file` as its CA bundle and the usual hosts.
    void restart_trusting(const std::string &ca_file) {
        rv_releaseSdk();
        rv_setCaFile(ca_file.c_str());
        ASSERT_EQ(rv::test::start_sdk(mock_.http_url(), dir_.path()), 0);
        ASSERT_EQ(rv_setServiceHosts(nullptr, mock_.https_url().c_str(), nullptr), 0);
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

TEST_F(FaultSuite, EveryRequestEndsInItsDocumentedCodeUnderEveryFault) {
    for (const RequestRow &row : rv::test::request_table()) {
        SCOPED_TRACE(row.path);
        Session session = prepare(row.needs);
        mock_.clear_requests();
        expect_code(row, session, 0);
        expect_reached(row);
        for (const FaultCase &c : fault_cases()) {
            const int code = expected(c, row.reading);
            // The service pads open-API answers only.
            if (code == kSkip || (c.fault.kind == Kind::Oversize && !open_api(row))) {
                continue;
            }
            SCOPED_TRACE(std::string(c.name) + " " + c.fault.errcode);
            session = prepare(row.needs);
            rvmock::Fault once = c.fault;
            once.times = 1;
            mock_.set_fault(row.path, once);
            expect_code(row, session, code);
            mock_.clear_faults();
        }
    }
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
        expect_code(row, session, 2);
        EXPECT_TRUE(mock_.requests().empty());  // nothing got through
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
