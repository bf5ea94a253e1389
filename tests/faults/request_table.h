// Every public data request of the SDK as one table row: how to call it, which
// service path it reaches, how its answer is read and how its data is freed.
// A new public request is one more row; the suites that walk the table then
// cover it.
#ifndef RV_TESTS_FAULTS_REQUEST_TABLE_H
#define RV_TESTS_FAULTS_REQUEST_TABLE_H

#include <span>
#include <string>

#include "rv_sdk_info.h"

namespace rv::test {

// What a row needs before it can be answered normally.
enum class Needs {
    Nothing,
    Uuid,           // a fresh QR code
    ConfirmedUuid,  // a QR code the user confirmed
    GrantCode,      // an unused grant code
    Token,          // an access token (and its refresh token and user)
    CachedToken,    // the same, cached in the SDK (the authorised user's requests)
};

// How the SDK reads the row's answer.
enum class Reading {
    Envelope,  // the JSON envelope, "result" turned into a record
    Unread,    // any answer counts as success; only the transfer can fail
    Redirect,  // the target of a redirect; no redirect gives RVE_SERVER_40432
};

// What the Needs steps produced.
struct Session {
    std::string redirect_uri;  // the QR code's redirect target, on the local service
    std::string uuid, code, access_token, refresh_token, open_uid;
};

struct RequestRow {
    const char *name;
    const char *path;  // the open-API (or report) path it reaches
    Needs needs;
    Reading reading;
    void (*call)(const Session &session, rv_result_callback callback, void *user_data);
    void (*release)(void *data);  // frees delivered data
    bool retried = false;         // only reads: sent again after a transient failure
};

std::span<const RequestRow> request_table();

// Makes what `needs` asks for through the SDK itself (a QR code confirmed by
// polling, a grant code, tokens; cached for Needs::CachedToken) against the
// local service; the SDK's cached credentials are cleared first. Fails the
// test when a step fails.
Session prepare_session(Needs needs, const std::string &redirect_uri);

}  // namespace rv::test

#endif
