#include "request/util_url.h"

namespace {

// The encoded form of one byte into `out` (1 or 3 characters); returns its length.
int encode_byte(unsigned char c, char out[3]) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '*' ||
        c == '-' || c == '.' || c == '_') {
        out[0] = static_cast<char>(c);
        return 1;
    }
    if (c == ' ') {
        out[0] = '+';
        return 1;
    }
    out[0] = '%';
    out[1] = kHex[c >> 4];
    out[2] = kHex[c & 0x0f];
    return 3;
}

int hex_digit(char c) {
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

extern "C" int32_t util_url_encode(const char *src, int32_t src_len, char *dst, int32_t dst_size) {
    if (src == nullptr || dst == nullptr || src_len < 1 || dst_size < 1) {
        return 0;
    }
    int32_t pos = 0;
    for (int32_t i = 0; i < src_len; i++) {
        char piece[3];
        int n = encode_byte(static_cast<unsigned char>(src[i]), piece);
        if (pos + n > dst_size) {
            return 0;
        }
        for (int k = 0; k < n; k++) {
            dst[pos++] = piece[k];
        }
    }
    dst[pos] = '\0';
    return pos;
}

namespace rv {

void url_encode_append(std::string &out, std::string_view text) {
    out.reserve(out.size() + text.size());
    for (char c : text) {
        char piece[3];
        out.append(piece, static_cast<size_t>(encode_byte(static_cast<unsigned char>(c), piece)));
    }
}

std::string url_decode(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); i++) {
        const int high = i + 2 < text.size() && text[i] == '%' ? hex_digit(text[i + 1]) : -1;
        const int low = high >= 0 ? hex_digit(text[i + 2]) : -1;
        if (low >= 0) {
            out += static_cast<char>(high * 16 + low);
            i += 2;
        } else {
            out += text[i] == '+' ? ' ' : text[i];
        }
    }
    return out;
}

}  // namespace rv
