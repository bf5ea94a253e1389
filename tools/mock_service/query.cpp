#include "query.h"

#include <charconv>

namespace rvmock {

namespace {

int hex_value(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

}  // namespace

std::string form_decode(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '+') {
            out += ' ';
        } else if (c == '%' && i + 2 < text.size() && hex_value(text[i + 1]) >= 0 &&
                   hex_value(text[i + 2]) >= 0) {
            out += static_cast<char>(hex_value(text[i + 1]) * 16 + hex_value(text[i + 2]));
            i += 2;
        } else {
            out += c;
        }
    }
    return out;
}

std::string form_encode(std::string_view text) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : text) {
        if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
            c == '*' || c == '-' || c == '.' || c == '_') {
            out += static_cast<char>(c);
        } else if (c == ' ') {
            out += '+';
        } else {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 15];
        }
    }
    return out;
}

std::optional<int64_t> parse_int(std::string_view text) {
    if (!text.empty() && text.front() == '+') {
        text.remove_prefix(1);
    }
    int64_t value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || text.empty()) {
        return std::nullopt;
    }
    return value;
}

Query Query::parse(std::string_view raw_query) {
    Query query;
    while (!raw_query.empty()) {
        size_t amp = raw_query.find('&');
        std::string_view piece = raw_query.substr(0, amp);
        raw_query = amp == std::string_view::npos ? std::string_view() : raw_query.substr(amp + 1);
        if (piece.empty()) {
            continue;
        }
        size_t eq = piece.find('=');
        std::string_view key = piece.substr(0, eq);
        std::string_view raw =
            eq == std::string_view::npos ? std::string_view() : piece.substr(eq + 1);
        query.params_.push_back({form_decode(key), std::string(raw), form_decode(raw)});
    }
    return query;
}

const QueryParam *Query::first(std::string_view key) const {
    for (const auto &param : params_) {
        if (param.key == key) {
            return &param;
        }
    }
    return nullptr;
}

const QueryParam *Query::last(std::string_view key) const {
    for (auto it = params_.rbegin(); it != params_.rend(); ++it) {
        if (it->key == key) {
            return &*it;
        }
    }
    return nullptr;
}

std::string Query::text(std::string_view key) const {
    const QueryParam *param = first(key);
    return param ? param->value : std::string();
}

}  // namespace rvmock
