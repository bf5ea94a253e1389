// Text bound for the log: no secret value may survive masking, and masking must
// not read past the text.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_log_sink.h"
#include "http/secret_mask.h"

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    rv_fuzz_log_everything();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const std::string_view text(reinterpret_cast<const char *>(data), size);
    const std::string masked = rv::http::mask_secrets(text);
    // Masking is idempotent: what it leaves holds nothing more to mask.
    if (rv::http::mask_secrets(masked) != masked) {
        __builtin_trap();
    }
    const std::string line(text);  // the logging entry point takes a C string
    rv::http::log_masked_v("fuzz", "%s", line.c_str());
    return 0;
}
