#include "request/helper_url.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <mutex>
#include <new>
#include <optional>

#include "iface/common.h"
#include "request/util_md5.h"
#include "request/util_url.h"
#include "rv_error.h"

namespace rv {

namespace {

using Value = std::optional<std::string>;

Value copy(const char *s) {
    return s != nullptr ? Value(s) : std::nullopt;
}

// The record values the common block needs, copied under the lock so that
// the rest of the work runs without it.
struct SdkValues {
    Value appid, secretkey, channel, packagename, os, openid, deviceid, init_time;
};

std::optional<SdkValues> read_sdk_values() {
    std::shared_lock lock(mSdkRecordsLock);
    const sdk_info *info = s_sdk_info;
    if (info == nullptr) {
        return std::nullopt;
    }
    return SdkValues{copy(info->appid),       copy(info->secretkey), copy(info->channel),
                     copy(info->packagename), copy(info->os),        copy(info->openid),
                     copy(info->deviceid),    copy(info->init_time)};
}

// "key=value&" when the value is present, else nothing.
std::string piece(const char *key, const Value &value, bool with_amp = true) {
    if (!value) {
        return {};
    }
    std::string p = std::string(key) + "=" + *value;
    if (with_amp) {
        p += '&';
    }
    return p;
}

// As piece(), the value form-encoded.
std::string encoded_piece(const char *key, const Value &value) {
    if (!value) {
        return {};
    }
    std::string p = std::string(key) + "=";
    url_encode_append(p, *value);
    return p + "&";
}

// `text` as the inside of a JSON string literal (quotes, backslashes and
// control characters escaped; other bytes, UTF-8 included, as they are).
std::string json_escaped(std::string_view text) {
    std::string out;
    for (char c : text) {
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            default:
                if (static_cast<unsigned char>(c) < 0x20) {
                    out += format("\\u%04x", static_cast<unsigned>(c));
                } else {
                    out += c;
                }
        }
    }
    return out;
}

// Every "&" becomes the decimal text of a counter starting at 0.
std::string index_ampersands(std::string_view text) {
    std::string out;
    int index = 0;
    for (char c : text) {
        if (c == '&') {
            out += std::to_string(index++);
        } else {
            out += c;
        }
    }
    return out;
}

// Runs an appender on a heap C text, replacing it on success.
int append_to_heap(char **url, const char *arg, int (*append)(std::string &, const char *)) {
    if (url == nullptr || *url == nullptr) {
        return RVE_BAD_ARGS;
    }
    try {
        std::string text(*url);
        int rc = append(text, arg);
        if (rc != RVE_OK) {
            return rc;
        }
        char *grown = strdup(text.c_str());
        if (grown == nullptr) {
            return RVE_NO_MEMORY;
        }
        free(*url);
        *url = grown;
        return RVE_OK;
    } catch (const std::bad_alloc &) {
        return RVE_NO_MEMORY;
    }
}

}  // namespace

std::string vformat(const char *fmt, va_list ap) {
    va_list again;
    va_copy(again, ap);
    int n = vsnprintf(nullptr, 0, fmt, ap);
    std::string out;
    if (n > 0) {
        out.resize(static_cast<size_t>(n));
        vsnprintf(out.data(), out.size() + 1, fmt, again);
    }
    va_end(again);
    return out;
}

std::string format(const char *fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    std::string out = vformat(fmt, ap);
    va_end(ap);
    return out;
}

std::string signature(std::string_view text) {
    MD5_CTX ctx;
    MD5Init(&ctx);
    MD5Update(&ctx, reinterpret_cast<const unsigned char *>(text.data()),
              static_cast<unsigned int>(text.size()));
    unsigned char digest[16];
    MD5Final(digest, &ctx);
    static constexpr char kHex[] = "0123456789abcdef";
    std::string out(32, '0');
    for (int i = 0; i < 16; i++) {
        out[2 * i] = kHex[digest[i] >> 4];
        out[2 * i + 1] = kHex[digest[i] & 0x0f];
    }
    return out;
}

int append_common_params(std::string &url, const char * /*arg*/) {
    std::optional<SdkValues> v = read_sdk_values();
    if (!v) {
        return RVE_NO_SDK_INFO;
    }
    const std::string appid = piece("appid", v->appid);
    const std::string deviceid = piece("deviceid", v->deviceid);
    const std::string openid = piece("openid", v->openid);
    const std::string os = piece("os", v->os);
    const std::string channel = piece("channel", v->channel);
    std::string packagename = piece("packagename", v->packagename, false);
    const std::string secret = v->secretkey.value_or("");

    // Signed order: appid, deviceid, openid, os, packagename (channel unsigned).
    std::string sign = signature(
        index_ampersands(secret + "&" + appid + deviceid + openid + os + packagename + secret));
    packagename += '&';  // also after an absent package name
    // Sent order: openid and deviceid swap places.
    url += appid + openid + deviceid + os + packagename + "sign=" + sign + "&" + channel;
    return RVE_OK;
}

int append_access_params(std::string &url, const char * /*arg*/) {
    Value open_uid, access_token;
    {
        std::shared_lock lock(mSdkRecordsLock);
        if (s_acc_info == nullptr) {
            return RVE_NO_SDK_INFO;
        }
        open_uid = copy(s_acc_info->open_uid);
        access_token = copy(s_acc_info->access_token);
    }
    url += encoded_piece("open_uid", open_uid) + encoded_piece("access_token", access_token);
    return RVE_OK;
}

int append_secret_key(std::string &url, const char * /*arg*/) {
    std::optional<SdkValues> v = read_sdk_values();
    url += encoded_piece("secretkey", v ? v->secretkey.value_or("") : "");
    return RVE_OK;
}

int append_report_params(std::string &url, const char * /*arg*/) {
    std::optional<SdkValues> v = read_sdk_values();
    if (!v) {
        return RVE_NO_SDK_INFO;
    }
    url += piece("appid", v->appid) + piece("openid", v->openid);
    if (v->openid && v->init_time) {
        url += "sessionid=" + *v->openid + *v->init_time + "&";
    }
    url += format(
        "timestamp=%lld&network=%d&operator=%d&appversion=unknown&channel=unknown&"
        "os=linux&osversion=unknown&playid=%d&",
        static_cast<long long>(time(nullptr)), -1, 0, 1);
    return RVE_OK;
}

int append_search_params(std::string &url, const char *keyword) {
    std::optional<SdkValues> v = read_sdk_values();
    if (!v) {
        return RVE_NO_SDK_INFO;
    }
    const std::string appid = v->appid.value_or("");
    const std::string deviceid = v->deviceid.value_or("");
    const std::string sign = signature(v->secretkey.value_or("") + deviceid);
    const std::string kw = json_escaped(keyword != nullptr ? keyword : "");
    std::string body = format(
        "{\"category\":\"\",\"albumName\":\"\",\"artist\":\"\",\"audioName\":\"\",\"field\":2,"
        "\"tag\":1,\"text\":\"%s\",\"keyword\":\"%s\"}",
        kw.c_str(), kw.c_str());
    std::string encoded;
    url_encode_append(encoded, body);
    url += format("deviceid=%s&sign=%s&appid=%s&voicesource=%d&appsource=%d&qualitytype=%d&q=%s&",
                  deviceid.c_str(), sign.c_str(), appid.c_str(), 1, 1, 1, encoded.c_str());
    return RVE_OK;
}

}  // namespace rv

extern "C" void _calc_signature(const char *text, char *out) {
    if (text == nullptr || out == nullptr) {
        return;
    }
    try {
        std::string sign = rv::signature(text);
        std::memcpy(out, sign.data(), sign.size());
    } catch (const std::bad_alloc &) {
        // Nothing written: the caller's zero-filled buffer stays empty.
    }
}

extern "C" int url_set_common_params(char **url) {
    return rv::append_to_heap(url, nullptr, rv::append_common_params);
}

extern "C" int url_set_access_params(char **url) {
    return rv::append_to_heap(url, nullptr, rv::append_access_params);
}

extern "C" int url_set_search_params(char **url, const char *keyword) {
    return rv::append_to_heap(url, keyword, rv::append_search_params);
}

extern "C" int url_set_report_params(char **url) {
    return rv::append_to_heap(url, nullptr, rv::append_report_params);
}
