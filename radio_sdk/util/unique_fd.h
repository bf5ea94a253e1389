// Owner of a file descriptor.
#ifndef RV_UTIL_UNIQUE_FD_H
#define RV_UTIL_UNIQUE_FD_H

#include <unistd.h>

#include <utility>

class UniqueFd {
  public:
    explicit UniqueFd(int fd = -1) : fd_(fd) {}
    ~UniqueFd() { close(); }
    UniqueFd(UniqueFd &&other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    UniqueFd &operator=(UniqueFd &&other) noexcept {
        if (this != &other) {
            close();
            fd_ = std::exchange(other.fd_, -1);
        }
        return *this;
    }
    UniqueFd(const UniqueFd &) = delete;
    UniqueFd &operator=(const UniqueFd &) = delete;

    explicit operator bool() const { return fd_ >= 0; }
    int get() const { return fd_; }
    // Closes now; returns close()'s result (0 when already closed).
    int close() { return fd_ >= 0 ? ::close(std::exchange(fd_, -1)) : 0; }

  private:
    int fd_;
};

#endif
