#include "stderr_filter.h"

#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <set>
#include <string>
#include <string_view>

namespace rvcli {
namespace {

bool chatter(std::string_view line) {
    static constexpr std::array<std::string_view, 2> kPrefixes{"ALSA lib ",
                                                               "unable to open pcm device"};
    for (std::string_view p : kPrefixes) {
        if (line.starts_with(p)) {
            return true;
        }
    }
    return false;
}

void write_all(int fd, std::string_view text) {
    while (!text.empty()) {
        const ssize_t n = ::write(fd, text.data(), text.size());
        if (n <= 0) {
            return;
        }
        text.remove_prefix(static_cast<size_t>(n));
    }
}

}  // namespace

StderrFilter::StderrFilter() {
    int ends[2];
    if (pipe2(ends, O_CLOEXEC) != 0) {
        return;
    }
    std::fflush(stderr);
    original_ = fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 3);
    if (original_ < 0 || dup2(ends[1], STDERR_FILENO) < 0) {
        ::close(ends[0]);
        ::close(ends[1]);
        return;
    }
    ::close(ends[1]);
    read_end_ = ends[0];
    thread_ = std::thread(&StderrFilter::run, this);
}

StderrFilter::~StderrFilter() {
    if (!thread_.joinable()) {
        return;
    }
    std::fflush(stderr);
    dup2(original_, STDERR_FILENO);  // closes the pipe's last write end: the reader ends
    thread_.join();
    ::close(read_end_);
    ::close(original_);
}

void StderrFilter::run() {
    std::set<std::string> warned;
    std::string pending;
    char buffer[4096];
    auto pass = [&](const std::string &line) {
        if (chatter(line)) {
            return;
        }
        // An engine warning once: it repeats it for every item it opens.
        if (line.starts_with("orvellaplayer: W") && !warned.insert(line).second) {
            return;
        }
        write_all(original_, line);
    };
    while (true) {
        const ssize_t n = ::read(read_end_, buffer, sizeof buffer);
        if (n <= 0) {
            break;
        }
        pending.append(buffer, static_cast<size_t>(n));
        for (size_t end; (end = pending.find('\n')) != std::string::npos;) {
            pass(pending.substr(0, end + 1));
            pending.erase(0, end + 1);
        }
    }
    if (!pending.empty()) {
        pass(pending);
    }
}

}  // namespace rvcli
