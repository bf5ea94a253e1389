#include "request/report_req.h"

#include <new>
#include <string>

#include "request/report_outbox.h"
#include "request/request_core.h"
#include "request/util_url.h"
#include "rv_error.h"
#include "util/debug.h"

namespace {

using rv::Host;
using rv::req::Effect;
using rv::req::Endpoint;
using rv::req::Method;

// The event text, handed in as the block argument, closes the query.
int append_event_text(std::string &url, const char *event_text) {
    url += event_text != nullptr ? event_text : "";
    return RVE_OK;
}

// The report host's answer body is never read. 2xx is the success; 5xx and 429 are
// transient (2: the outbox tries again); anything else is a refusal (516).
rv::json::Answer reached(const char * /*body*/, size_t /*size*/, long status) {
    if (status >= 200 && status <= 299) {
        return {RVE_OK};
    }
    return {status == 429 || (status >= 500 && status <= 599) ? RVE_FAILED : RVE_BAD_RESPONSE};
}

const Endpoint kReport{Host::Report,
                       "/c.gif?",
                       "&",
                       Method::Get,
                       Effect::Changes,
                       {rv::append_report_params, rv::append_common_params, append_event_text},
                       nullptr,
                       reached};

// Logs a failed report, then hands the outcome to the caller.
void report_sent(int code, void * /*data*/, int /*count*/, void *user) {
    auto *args = static_cast<result_callback_args *>(user);
    if (code != RVE_OK) {
        LOGW("DATA_REPORT", "send report failed: %s\n", rve_rve2str(code));
    }
    if (args->callback != nullptr) {
        args->callback(code, nullptr, 0, args->user_data);
    }
    result_callback_args_del(args);
}

}  // namespace

// Every present field, in the record's order, as key=value& with the value
// form-encoded.
std::string rv::req::report_event_text(const dao_report &report) {
    std::string text;
    for (const rv::json::Field &field : rv::dao::kReport.fields) {
        const char *value = *reinterpret_cast<char *const *>(
            reinterpret_cast<const char *>(&report) + field.offset);
        if (value != nullptr) {
            text += field.key;
            text += '=';
            rv::url_encode_append(text, value);
            text += '&';
        }
    }
    return text;
}

extern "C" {

void request_send_report(const char *event_text, rv_result_callback callback, void *user_data) {
    rv::req::send(kReport, event_text, callback, user_data);
}

void send_report(const dao_report *report, rv_result_callback callback, void *user_data) {
    result_callback_args *args = result_callback_args_new(callback, user_data);
    if (args == nullptr) {
        if (callback != nullptr) {
            callback(RVE_NO_MEMORY, nullptr, 0, user_data);
        }
        return;
    }
    if (report == nullptr) {
        report_sent(RVE_BAD_ARGS, nullptr, 0, args);
        return;
    }
    std::string text;
    try {
        text = rv::req::report_event_text(*report);
    } catch (const std::bad_alloc &) {
        report_sent(RVE_NO_MEMORY, nullptr, 0, args);
        return;
    }
    // While the SDK runs, the outbox keeps it until the report host has it.
    if (rv::req::outbox::post(std::move(text), args->callback, args->user_data)) {
        result_callback_args_del(args);
        return;
    }
    request_send_report(text.c_str(), report_sent, args);
}

}  // extern "C"
