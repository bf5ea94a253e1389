#include "request/init_dao.h"

#include <cstdlib>
#include <cstring>
#include <memory>

#include "util/util.h"

namespace {

// The text before (or after) the first "&" of the file, or null. Only a
// regular file is read (read_data_from_file): anything else holds no identity.
char *identity_part(const char *path, bool after) {
    char *raw = nullptr;
    if (read_data_from_file(path, &raw) != 1 || raw == nullptr) {
        return nullptr;
    }
    std::unique_ptr<char, decltype(&free)> content(raw, free);
    const char *amp = strchr(raw, '&');
    if (amp == nullptr) {
        return nullptr;
    }
    return after ? strdup(amp + 1) : strndup(raw, static_cast<size_t>(amp - raw));
}

}  // namespace

extern "C" char *get_deviceid_from_local(const char *path) {
    return identity_part(path, false);
}

extern "C" char *get_openid_from_local(const char *path) {
    return identity_part(path, true);
}

namespace rv {

std::string identity_file_path(const std::string &data_dir) {
    return data_dir + "/openid.dat";
}

bool save_identity(const std::string &path, const std::string &deviceid,
                   const std::string &openid) {
    return write_data_to_file(path.c_str(), (deviceid + "&" + openid).c_str()) == 1;
}

}  // namespace rv
