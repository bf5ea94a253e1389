// Any content of the identity file: both readers must give null or a heap text
// that is the file's text before / after the first "&".
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "request/init_dao.h"

namespace {

std::string g_path;

void check(char *got, const std::string &want, bool present) {
    if ((got != nullptr) != present || (got != nullptr && want != got)) {
        __builtin_trap();
    }
    free(got);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    g_path = "/tmp/rv_fuzz_identity." + std::to_string(getpid());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    FILE *file = fopen(g_path.c_str(), "wb");
    if (file == nullptr) {
        return 0;
    }
    const bool written = fwrite(data, 1, size, file) == size;
    if (fclose(file) != 0 || !written) {
        return 0;
    }
    // The reader sees the file as a C string: it ends at the first NUL byte.
    const std::string text(reinterpret_cast<const char *>(data),
                           strnlen(reinterpret_cast<const char *>(data), size));
    const size_t amp = text.find('&');
    const bool present = amp != std::string::npos;
    check(get_deviceid_from_local(g_path.c_str()), present ? text.substr(0, amp) : "", present);
    check(get_openid_from_local(g_path.c_str()), present ? text.substr(amp + 1) : "", present);
    unlink(g_path.c_str());
    return 0;
}
