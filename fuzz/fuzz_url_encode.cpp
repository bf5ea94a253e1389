// Query text through both encoders: they must agree, stay inside the buffer they
// are given, and refuse (not cut) when it is too small.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "request/util_url.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    if (size < 1 || size > 4096) {
        return 0;
    }
    // The first byte picks how much room the C encoder gets (0 = exactly enough).
    const size_t slack = data[0];
    const std::string text(reinterpret_cast<const char *>(data + 1), size - 1);

    std::string expected;
    rv::url_encode_append(expected, text);

    const size_t room = slack == 0 ? expected.size() : slack;
    std::vector<char> dst(room + 1);  // the terminating NUL's place, as documented
    const int32_t n = util_url_encode(text.data(), static_cast<int32_t>(text.size()), dst.data(),
                                      static_cast<int32_t>(room));
    if (text.empty() || expected.size() > room) {
        if (n != 0) {
            __builtin_trap();
        }
        return 0;
    }
    if (static_cast<size_t>(n) != expected.size() || std::string(dst.data()) != expected) {
        __builtin_trap();
    }
    return 0;
}
