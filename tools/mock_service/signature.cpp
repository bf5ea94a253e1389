#include "signature.h"

#include <openssl/evp.h>

#include <array>
#include <memory>

namespace rvmock {

std::string md5_hex(std::string_view bytes) {
    std::array<unsigned char, EVP_MAX_MD_SIZE> digest{};
    unsigned int size = 0;
    EVP_Digest(bytes.data(), bytes.size(), digest.data(), &size, EVP_md5(), nullptr);
    static const char kHex[] = "0123456789abcdef";
    std::string out;
    for (unsigned int i = 0; i < size; ++i) {
        out += kHex[digest[i] >> 4];
        out += kHex[digest[i] & 15];
    }
    return out;
}

std::string signed_text(const Query &query, const std::string &secret) {
    std::string text = secret + "&";
    for (const char *key : {"appid", "deviceid", "openid", "os"}) {
        if (const QueryParam *param = query.last(key)) {
            text += std::string(key) + "=" + param->raw + "&";
        }
    }
    if (const QueryParam *param = query.last("packagename")) {
        text += "packagename=" + param->raw;
    }
    text += secret;

    std::string numbered;
    int index = 0;
    for (char c : text) {
        if (c == '&') {
            numbered += std::to_string(index++);
        } else {
            numbered += c;
        }
    }
    return numbered;
}

SignCheck check_common_block(const Query &query, const std::string &appid,
                             const std::string &secret) {
    const QueryParam *app = query.last("appid");
    if (!app) {
        return SignCheck::MissingAppId;
    }
    if (app->raw != appid) {
        return SignCheck::UnknownAppId;
    }
    const QueryParam *sign = query.last("sign");
    if (!sign || sign->raw.empty()) {
        return SignCheck::MissingSign;
    }
    return sign->raw == md5_hex(signed_text(query, secret)) ? SignCheck::Ok : SignCheck::BadSign;
}

bool check_search_block(const Query &query, const std::string &secret) {
    const QueryParam *sign = query.first("sign");
    const QueryParam *device = query.first("deviceid");
    return sign && device && sign->raw == md5_hex(secret + device->raw);
}

const char *sign_check_text(SignCheck check) {
    switch (check) {
        case SignCheck::Ok:
            return "ok";
        case SignCheck::MissingAppId:
            return "missing appid";
        case SignCheck::UnknownAppId:
            return "unknown appid";
        case SignCheck::MissingSign:
            return "missing sign";
        case SignCheck::BadSign:
            return "sign mismatch";
    }
    return "sign mismatch";
}

}  // namespace rvmock
