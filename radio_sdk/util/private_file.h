// Files the SDK keeps in its data directory (identity, report outbox): private to
// the user, never reached through a link, never anything but a regular file.
#ifndef RV_UTIL_PRIVATE_FILE_H
#define RV_UTIL_PRIVATE_FILE_H

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <string_view>

#include "util/unique_fd.h"

namespace rv::util {

// open(2) of `path` with `flags` (O_CREAT makes the file 0600) that refuses a
// symbolic link in the last component and anything not a regular file (a FIFO,
// a device, a directory) without blocking on it. A file of ours that others may
// read (made by an older version) is made 0600. Invalid (errno set) on refusal
// or failure. Any thread.
inline UniqueFd open_private(const std::string &path, int flags) {
    // O_NONBLOCK: opening a FIFO would otherwise wait for a writer.
    UniqueFd fd(::open(path.c_str(), flags | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600));
    struct stat st {};
    if (!fd || ::fstat(fd.get(), &st) != 0) {
        return UniqueFd();
    }
    if (!S_ISREG(st.st_mode)) {
        errno = EINVAL;
        return UniqueFd();
    }
    if ((st.st_mode & 077) != 0 && st.st_uid == ::geteuid()) {
        ::fchmod(fd.get(), S_IRUSR | S_IWUSR);  // best effort: the file stays usable
    }
    ::fcntl(fd.get(), F_SETFL, ::fcntl(fd.get(), F_GETFL) & ~O_NONBLOCK);
    return fd;
}

// All of `data` to `fd`, through interrupted and short writes. False on an error
// (errno set) or a write that takes nothing.
inline bool write_all(int fd, std::string_view data) {
    while (!data.empty()) {
        const ssize_t n = ::write(fd, data.data(), data.size());
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        data.remove_prefix(static_cast<size_t>(n));
    }
    return true;
}

// fsync of the directory holding `path`, so that a name made, renamed or removed
// there survives a power cut. False when the directory cannot be synced.
inline bool sync_parent_directory(const std::string &path) {
    const size_t slash = path.find_last_of('/');
    const std::string dir = slash == std::string::npos ? "."
                            : slash == 0               ? "/"
                                                       : path.substr(0, slash);
    UniqueFd fd(::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    return fd && ::fsync(fd.get()) == 0;
}

}  // namespace rv::util

#endif
