// A query string as the mock service receives it: parsing, decoding, number
// parsing and both signature checks.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "query.h"
#include "signature.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const std::string_view raw(reinterpret_cast<const char *>(data), size);
    const rvmock::Query query = rvmock::Query::parse(raw);
    for (const rvmock::QueryParam &param : query.params()) {
        // Encoding then decoding gives back the decoded value.
        if (rvmock::form_decode(rvmock::form_encode(param.value)) != param.value) {
            __builtin_trap();
        }
        (void)rvmock::parse_int(param.value);
        (void)query.last(param.key);
    }
    (void)rvmock::sign_check_text(rvmock::check_common_block(query, "fuzzapp", "fuzzsecret"));
    (void)rvmock::check_search_block(query, "fuzzsecret");
    (void)rvmock::signed_text(query, "fuzzsecret");
    return 0;
}
