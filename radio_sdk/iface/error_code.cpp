// Result code texts for log lines and for the application's messages.

#include <cstdio>

#include "rv_error.h"

namespace {

struct CodeText {
    int code;
    const char *name;
    const char *text;
};

constexpr CodeText kCodes[] = {
    {RVE_OK, "RVE_OK", "success"},
    {RVE_FAILED, "RVE_FAILED",
     "the service could not be reached, the transfer failed, or a system call failed"},
    {RVE_NOT_READY, "RVE_NOT_READY", "the SDK (or the part needed) is not started or is stopping"},
    {RVE_BAD_ARGS, "RVE_BAD_ARGS", "a required argument is missing"},
    {RVE_NO_MEMORY, "RVE_NO_MEMORY", "out of memory"},
    {RVE_QUEUE_FULL, "RVE_QUEUE_FULL", "too many requests are waiting; try again later"},
    {RVE_NO_ACCESS, "RVE_NO_ACCESS", "the data directory is not readable and writable"},
    {RVE_LIVE_STREAM, "RVE_LIVE_STREAM",
     "refused while a live stream plays (it plays at normal speed)"},
    {RVE_ALREADY_STARTED, "RVE_ALREADY_STARTED",
     "the SDK is already started or starting; release it first"},
    {RVE_OVER_QUOTA, "RVE_OVER_QUOTA", "the download would exceed the download limit"},
    {RVE_NO_SPACE, "RVE_NO_SPACE", "no space left on the device for the download"},
    {RVE_NO_SDK_INFO, "RVE_NO_SDK_INFO",
     "the SDK is not started, or the service's error could not be kept"},
    {RVE_STR_TOO_SHORT, "RVE_STR_TOO_SHORT",
     "a text is shorter than the number of characters asked for"},
    {RVE_NULL_STRING, "RVE_NULL_STRING", "a text to copy is missing"},
    {RVE_BAD_RESPONSE, "RVE_BAD_RESPONSE", "the service's answer could not be read"},
    {RVE_SAVE_FAILED, "RVE_SAVE_FAILED",
     "the identity file could not be written to the data directory"},
    {RVE_SERVER_ERROR, "RVE_SERVER_ERROR", "the service refused the request"},
    {RVE_SERVER_50600, "RVE_SERVER_50600", "the service has no such item (errcode 50600)"},
    {RVE_SERVER_40000, "RVE_SERVER_40000",
     "the service found the request malformed (errcode 40000)"},
    {RVE_SERVER_40100, "RVE_SERVER_40100",
     "not authorised: the user's access token is missing, wrong or expired (errcode 40100)"},
    {RVE_SERVER_40431, "RVE_SERVER_40431", "the QR code is unknown or expired (errcode 40431)"},
    {RVE_SERVER_40432, "RVE_SERVER_40432",
     "the QR code has not been confirmed yet (errcode 40432)"},
};

constexpr CodeText kUnknown{0, "RVE_UNKNOWN", "not a result code of this SDK"};

const CodeText &find(int code) {
    for (const CodeText &entry : kCodes) {
        if (entry.code == code) {
            return entry;
        }
    }
    return kUnknown;
}

}  // namespace

const char *rve_strerror(int code) {
    // Deliberately names only these two; rv_resultName names them all.
    return code == RVE_OK || code == RVE_BAD_ARGS ? find(code).name : kUnknown.name;
}

const char *rve_rve2str(int code) {
    // One buffer per thread: concurrent log lines never see each other's text.
    thread_local char text[12];
    snprintf(text, sizeof text, "0x%08x", static_cast<unsigned>(code));
    return text;
}

const char *rv_resultName(int code) {
    return find(code).name;
}

const char *rv_resultText(int code) {
    return find(code).text;
}
