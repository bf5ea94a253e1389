#include "rv_mpris.h"

#include <mutex>
#include <new>
#include <string_view>

#include "mpris_bus.h"
#include "mpris_log.h"
#include "rv_error.h"

namespace {

// Guards s_export; held while an export starts or ends, so that a new one never
// meets the name of the one going.
std::mutex s_mutex;
std::unique_ptr<rv::mpris::Exporter> s_export;

constexpr size_t kMaxName = 200;

// Elements of a bus name: letters, digits, '_' and '-', none empty or starting
// with a digit.
bool valid_name(std::string_view name) {
    if (name.empty() || name.size() > kMaxName) {
        return false;
    }
    bool element_start = true;
    for (const char c : name) {
        const bool letter =
            (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == '-';
        const bool digit = c >= '0' && c <= '9';
        if (c == '.' && !element_start) {
            element_start = true;
        } else if (letter || (digit && !element_start)) {
            element_start = false;
        } else {
            return false;
        }
    }
    return !element_start;
}

}  // namespace

int rv_exportMpris(const char *name) {
    if (name == nullptr || !valid_name(name)) {
        MPRIS_LOGD("No MPRIS: name refused \n");
        return RVE_BAD_ARGS;
    }
    try {
        std::lock_guard lock(s_mutex);
        if (s_export) {
            return RVE_ALREADY_STARTED;
        }
        int code = RVE_FAILED;
        s_export = rv::mpris::Exporter::start(name, code);
        return code;
    } catch (const std::bad_alloc &) {
        return RVE_NO_MEMORY;
    } catch (...) {  // a thread that could not start
        return RVE_FAILED;
    }
}

int rv_unexportMpris(void) {
    std::lock_guard lock(s_mutex);
    if (!s_export || s_export->serving_here()) {
        return RVE_NOT_READY;
    }
    s_export.reset();
    return RVE_OK;
}
