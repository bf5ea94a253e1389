// File and directory helpers.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "util/private_file.h"
#include "util/unique_fd.h"
#include "util/util.h"

bool check_file_exist(const char *path) {
    return path != nullptr && access(path, F_OK) == 0;
}
bool check_dir_exist(const char *path) {
    return check_file_exist(path);
}
bool check_file_access(const char *path, int mode) {
    return path != nullptr && access(path, mode) == 0;
}
bool check_dir_access(const char *path, int mode) {
    return check_file_access(path, mode);
}

int create_multi_directory(const char *path) {
    if (path == nullptr || path[0] == '\0' || check_dir_exist(path)) {
        return 1;
    }
    std::string prefix(path);
    for (size_t slash = prefix.find('/', 1); slash != std::string::npos;
         slash = prefix.find('/', slash + 1)) {
        std::string part = prefix.substr(0, slash);
        if (!check_dir_exist(part.c_str())) {
            mkdir(part.c_str(), 0777);
        }
    }
    if (!check_dir_exist(path)) {
        mkdir(path, 0777);
    }
    return 1;
}

int read_data_from_file(const char *path, char **out) {
    if (path == nullptr || out == nullptr) {
        return 0;
    }
    *out = nullptr;
    UniqueFd fd = rv::util::open_private(path, O_RDONLY);
    struct stat st {};
    if (!fd || fstat(fd.get(), &st) != 0) {
        return 0;
    }
    off_t size = st.st_size;
    auto *buffer = static_cast<char *>(calloc(static_cast<size_t>(size) + 1, 1));
    if (buffer == nullptr) {
        return 0;
    }
    size_t done = 0;
    while (done < static_cast<size_t>(size)) {
        ssize_t n = read(fd.get(), buffer + done, static_cast<size_t>(size) - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            free(buffer);
            return 0;
        }
        if (n == 0) {
            break;  // the file shrank meanwhile; what was read is terminated
        }
        done += static_cast<size_t>(n);
    }
    *out = buffer;
    return 1;
}

namespace {

int write_failed(const std::string &temp) {
    int saved = errno;
    if (!temp.empty()) {
        unlink(temp.c_str());
    }
    char reason[128];
    printf("error:%s\n", strerror_r(saved, reason, sizeof reason));
    return 0;
}

}  // namespace

// The bytes go to a private temporary file beside the target and replace it by
// rename, so a crash or a full disk never leaves a half-written file, and a link
// put in the target's place is replaced, never followed.
int write_data_to_file(const char *path, const char *text) {
    if (path == nullptr || text == nullptr) {
        errno = EINVAL;
        return write_failed({});
    }
    static std::atomic<unsigned> counter{0};
    std::string temp = std::string(path) + ".tmp." + std::to_string(getpid()) + "." +
                       std::to_string(counter.fetch_add(1));
    UniqueFd fd = rv::util::open_private(temp, O_WRONLY | O_CREAT | O_EXCL);
    if (!fd) {
        return write_failed({});
    }
    if (!rv::util::write_all(fd.get(), text) || fsync(fd.get()) != 0 || fd.close() != 0) {
        return write_failed(temp);
    }
    if (rename(temp.c_str(), path) != 0) {
        return write_failed(temp);
    }
    rv::util::sync_parent_directory(path);  // the file is whole either way; this keeps the new one
    return 1;
}
