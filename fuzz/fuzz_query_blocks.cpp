// Arbitrary values through the query blocks a request is built from: the SDK
// and access records, the search keyword and every field of a report. The
// input is split at NUL bytes into those values in that order (a value that is
// the single byte 0x01 is absent, a missing one too). Whatever the values, a
// form-encoded value must come back unchanged from its key=value piece, and the
// keyword unchanged from the JSON body of the search block.
#include <cJSON.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_log_sink.h"
#include "iface/common.h"
#include "request/helper_url.h"
#include "request/report_dao.h"
#include "request/report_req.h"
#include "request/util_url.h"

namespace {

using Value = std::optional<std::string>;

void require(bool ok) {
    if (!ok) {
        __builtin_trap();
    }
}

std::vector<Value> split_values(const uint8_t *data, size_t size) {
    std::vector<Value> values;
    const std::string_view all(reinterpret_cast<const char *>(data), size);
    size_t start = 0;
    while (start <= all.size()) {
        size_t end = all.find('\0', start);
        if (end == std::string_view::npos) {
            end = all.size();
        }
        const std::string_view piece = all.substr(start, end - start);
        values.push_back(piece == "\x01" ? Value() : Value(std::string(piece)));
        start = end + 1;
    }
    return values;
}

// Where the values go: the SDK record's eight texts, the access record's two,
// the keyword, then the report's fields.
constexpr size_t kChannelValue = 2;
constexpr size_t kAccessValues = 8;
constexpr size_t kKeywordValue = 10;
constexpr size_t kReportValues = 11;

Value value_at(const std::vector<Value> &values, size_t i) {
    return i < values.size() ? values[i] : Value();
}

char *dup_or_null(const Value &value) {
    return value ? strdup(value->c_str()) : nullptr;
}

// Replaces the process's SDK and access records by ones holding `values`.
void install_records(const std::vector<Value> &values) {
    size_t next = 0;
    auto take = [&]() { return dup_or_null(value_at(values, next++)); };
    sdk_info *info = sdk_info_new();
    acc_info *acc = acc_info_new();
    require(info != nullptr && acc != nullptr);
    for (char **field : {&info->appid, &info->secretkey, &info->channel, &info->packagename,
                         &info->os, &info->openid, &info->deviceid, &info->init_time}) {
        *field = take();
    }
    acc->open_uid = take();
    acc->access_token = take();
    std::unique_lock lock(mSdkRecordsLock);
    sdk_info_del(s_sdk_info);
    acc_info_del(s_acc_info);
    s_sdk_info = info;
    s_acc_info = acc;
}

// `text` is a run of key=value& pieces whose decoded values are `want`, in order.
void check_pieces(const std::string &text, const std::vector<std::pair<std::string, Value>> &want) {
    size_t at = 0;
    for (const auto &[key, value] : want) {
        if (!value) {
            continue;
        }
        const size_t amp = text.find('&', at);
        require(amp != std::string::npos);
        const std::string piece = text.substr(at, amp - at);
        require(piece.rfind(key + "=", 0) == 0);
        require(rv::url_decode(piece.substr(key.size() + 1)) == *value);
        at = amp + 1;
    }
    require(at == text.size());
}

// The C string a value reaches the blocks as: it ends at its first NUL (none here).
std::string text_of(const Value &value) {
    return value.value_or("");
}

void check_search_block(const Value &keyword) {
    std::string url;
    require(rv::append_search_params(url, keyword ? keyword->c_str() : nullptr) == 0);
    // q is the last piece and form-encoded, so it holds no "&" of its own.
    require(!url.empty() && url.back() == '&');
    const size_t q = url.rfind("&q=");
    require(q != std::string::npos);
    const std::string encoded = url.substr(q + 3, url.size() - q - 4);
    require(encoded.find_first_of("&=\"{} ") == std::string::npos);
    const std::string body = rv::url_decode(encoded);
    std::unique_ptr<cJSON, decltype(&cJSON_Delete)> json(
        cJSON_ParseWithLength(body.data(), body.size()), cJSON_Delete);
    require(json != nullptr);
    for (const char *key : {"keyword", "text"}) {
        const char *got = cJSON_GetStringValue(cJSON_GetObjectItemCaseSensitive(json.get(), key));
        require(got != nullptr && text_of(keyword) == got);
    }
}

void check_access_block(const std::vector<Value> &values) {
    std::string url;
    require(rv::append_access_params(url, nullptr) == 0);
    check_pieces(url, {{"open_uid", value_at(values, kAccessValues)},
                       {"access_token", value_at(values, kAccessValues + 1)}});
}

// The common block's values go in as they are (the signature covers them so),
// so only its tail is known: the signature, then the unsigned channel.
void check_common_and_report_blocks(const Value &channel) {
    std::string url;
    require(rv::append_common_params(url, nullptr) == 0);
    const std::string tail = channel ? "channel=" + *channel + "&" : "";
    require(url.size() >= tail.size() + 38);
    const size_t sign = url.size() - tail.size() - 38;
    require(url.compare(sign, 5, "sign=") == 0 && url[sign + 37] == '&' &&
            url.compare(sign + 38, std::string::npos, tail) == 0);
    require(url.find_first_not_of("0123456789abcdef", sign + 5) == sign + 37);
    url.clear();
    require(rv::append_report_params(url, nullptr) == 0);
    require(url.size() >= 9 && url.compare(url.size() - 9, 9, "playid=1&") == 0);
}

void check_report_text(const std::vector<Value> &values) {
    size_t next = kReportValues;
    std::unique_ptr<dao_report, decltype(&dao_report_del)> report(dao_report_new(), dao_report_del);
    require(report != nullptr);
    std::vector<std::pair<std::string, Value>> want;
    for (const rv::json::Field &field : rv::dao::kReport.fields) {
        const Value value = value_at(values, next++);
        *reinterpret_cast<char **>(reinterpret_cast<char *>(report.get()) + field.offset) =
            dup_or_null(value);
        want.emplace_back(field.key, value);
    }
    check_pieces(rv::req::report_event_text(*report), want);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    rv_fuzz_log_everything();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const std::vector<Value> values = split_values(data, size);
    install_records(values);
    check_common_and_report_blocks(value_at(values, kChannelValue));
    check_access_block(values);
    check_search_block(value_at(values, kKeywordValue));
    check_report_text(values);
    return 0;
}
