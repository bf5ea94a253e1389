#include "http/secret_mask.h"

#include <array>
#include <new>

#include "util/debug.h"

namespace rv::http {

namespace {

constexpr std::array<std::string_view, 4> kSecretNames = {"secretkey", "access_token",
                                                          "refresh_token", "code"};
constexpr std::string_view kMask = "***";

bool is_space(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// Length of the secret name that starts at `pos` and is followed by `after`, or 0.
size_t secret_name_at(std::string_view text, size_t pos, char after) {
    for (std::string_view name : kSecretNames) {
        if (text.compare(pos, name.size(), name) == 0 && pos + name.size() < text.size() &&
            text[pos + name.size()] == after) {
            return name.size();
        }
    }
    return 0;
}

// End of a query/form value starting at `pos`.
size_t form_value_end(std::string_view text, size_t pos) {
    while (pos < text.size() && text[pos] != '&' && text[pos] != '#' && text[pos] != '"' &&
           !is_space(text[pos])) {
        ++pos;
    }
    return pos;
}

// End (exclusive, before the closing quote) of a JSON string whose first character is
// at `pos`, honouring backslash escapes.
size_t json_string_end(std::string_view text, size_t pos) {
    while (pos < text.size() && text[pos] != '"') {
        pos += (text[pos] == '\\') ? 2 : 1;
    }
    return pos < text.size() ? pos : text.size();
}

// End of a bare JSON value (number, literal) starting at `pos`.
size_t json_bare_end(std::string_view text, size_t pos) {
    while (pos < text.size() && text[pos] != ',' && text[pos] != '}' && text[pos] != ']' &&
           !is_space(text[pos])) {
        ++pos;
    }
    return pos;
}

}  // namespace

std::string mask_secrets(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    size_t i = 0;
    while (i < text.size()) {
        const bool pair_start = (i == 0 || text[i - 1] == '?' || text[i - 1] == '&');
        if (size_t len = pair_start ? secret_name_at(text, i, '=') : 0; len != 0) {
            out.append(text.substr(i, len + 1)).append(kMask);
            i = form_value_end(text, i + len + 1);
            continue;
        }
        if (text[i] == '"') {
            if (size_t len = secret_name_at(text, i + 1, '"'); len != 0) {
                size_t colon = i + len + 2;
                while (colon < text.size() && is_space(text[colon])) {
                    ++colon;
                }
                if (colon < text.size() && text[colon] == ':') {
                    size_t value = colon + 1;
                    while (value < text.size() && is_space(text[value])) {
                        ++value;
                    }
                    const bool quoted = value < text.size() && text[value] == '"';
                    const size_t start = quoted ? value + 1 : value;
                    out.append(text.substr(i, start - i)).append(kMask);
                    i = quoted ? json_string_end(text, start) : json_bare_end(text, start);
                    continue;
                }
            }
        }
        out.push_back(text[i]);
        ++i;
    }
    return out;
}

void log_masked_v(const char *tag, const char *format, const char *text) {
    try {
        const std::string masked = mask_secrets(text != nullptr ? text : "(null)");
        LOGV(tag, format, masked.c_str());
    } catch (const std::bad_alloc &) {
    }
}

}  // namespace rv::http
