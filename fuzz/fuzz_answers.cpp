// An answer body read exactly as a pool worker reads it, once through every
// endpoint row of the request layer (enveloped answers through the row's
// builder, the others, such as the grant-code redirect target, through its
// raw reader); every delivery is then released. A new endpoint is fuzzed here
// without a new target.
#include <cstddef>
#include <cstdint>

#include "fuzz_log_sink.h"
#include "request/request_core.h"

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    rv_fuzz_log_everything();
    if (rv::req::all_endpoints().empty()) {
        __builtin_trap();  // the rows were not linked in
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const char *body = reinterpret_cast<const char *>(data);
    for (const rv::req::Endpoint *endpoint : rv::req::all_endpoints()) {
        const rv::json::Answer answer = endpoint->raw != nullptr
                                            ? endpoint->raw(body, size, 200)
                                            : rv::req::read_envelope(*endpoint, body, size);
        if (answer.data != nullptr) {
            // A delivery nobody could free would leak in every caller.
            if (answer.release == nullptr || answer.code != 0) {
                __builtin_trap();
            }
            answer.release(answer.data);
        }
    }
    return 0;
}
