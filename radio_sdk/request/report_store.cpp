#include "request/report_store.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <map>

namespace rv::req {

namespace {

// Rewrite when this many removal lines are in the file and they outnumber the kept.
constexpr size_t kRewriteAfter = 64;

uint64_t checksum(char kind, uint64_t seq, const std::string &text) {
    char head[32];
    const int n = std::snprintf(head, sizeof head, "%c %" PRIu64 " ", kind, seq);
    uint64_t hash = 14695981039346656037ull;
    auto mix = [&hash](const char *p, size_t len) {
        for (size_t i = 0; i < len; i++) {
            hash = (hash ^ static_cast<unsigned char>(p[i])) * 1099511628211ull;
        }
    };
    mix(head, static_cast<size_t>(n));
    mix(text.data(), text.size());
    return hash;
}

std::string line_of(char kind, uint64_t seq, const std::string &text) {
    char head[64];
    std::snprintf(head, sizeof head, "%c %" PRIu64 " %016" PRIx64 " ", kind, seq,
                  checksum(kind, seq, text));
    return head + text + "\n";
}

bool write_all(int fd, const std::string &data) {
    size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = ::write(fd, data.data() + done, data.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

// One line without its "\n": kind, seq and text when it checks out.
bool parse(const std::string &line, char &kind, uint64_t &seq, std::string &text) {
    char k = 0;
    uint64_t s = 0, sum = 0;
    int used = 0;
    if (std::sscanf(line.c_str(), "%c %" SCNu64 " %16" SCNx64 " %n", &k, &s, &sum, &used) != 3 ||
        used == 0 || (k != 'R' && k != 'D') || line[static_cast<size_t>(used) - 1] != ' ') {
        return false;
    }
    text = line.substr(static_cast<size_t>(used));
    if (checksum(k, s, text) != sum) {
        return false;
    }
    kind = k;
    seq = s;
    return true;
}

}  // namespace

std::vector<ReportStore::Record> ReportStore::open(const std::string &path) {
    close();
    path_ = path;
    fd_ = ::open(path.c_str(), O_RDWR | O_APPEND | O_CLOEXEC);
    if (fd_ < 0) {
        ready_ = errno == ENOENT;  // made by the first add
        return {};
    }
    std::string content;
    char buffer[8192];
    for (;;) {
        const ssize_t n = ::read(fd_, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            break;
        }
        content.append(buffer, static_cast<size_t>(n));
    }
    std::map<uint64_t, std::string> kept;
    size_t good = 0;  // end of the last line that checked out
    for (size_t end; (end = content.find('\n', good)) != std::string::npos; good = end + 1) {
        char kind;
        uint64_t seq;
        std::string text;
        if (!parse(content.substr(good, end - good), kind, seq, text)) {
            break;
        }
        if (kind == 'R') {
            kept[seq] = std::move(text);
        } else {
            kept.erase(seq);
            removed_++;
        }
    }
    if (good < content.size() &&
        (::ftruncate(fd_, static_cast<off_t>(good)) != 0 || ::fdatasync(fd_) != 0)) {
        close();  // appending after a torn line would spoil the next record
        return {};
    }
    for (auto &[seq, text] : kept) {
        kept_.push_back({seq, std::move(text)});
    }
    ready_ = true;
    return kept_;
}

bool ReportStore::append(char kind, uint64_t seq, const std::string &text) {
    if (fd_ < 0 && ready_) {
        fd_ = ::open(path_.c_str(), O_RDWR | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
        sync_directory();  // the new name survives a power cut with the line
    }
    return fd_ >= 0 && write_all(fd_, line_of(kind, seq, text)) && ::fdatasync(fd_) == 0;
}

void ReportStore::sync_directory() const {
    const std::string dir = path_.substr(0, path_.find_last_of('/') + 1);
    if (const int dfd = ::open(dir.empty() ? "." : dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        dfd >= 0) {
        ::fsync(dfd);
        ::close(dfd);
    }
}

bool ReportStore::add(const Record &record) {
    if (record.text.find('\n') != std::string::npos || !append('R', record.seq, record.text)) {
        return false;
    }
    kept_.push_back(record);
    return true;
}

bool ReportStore::remove(uint64_t seq) {
    auto it =
        std::find_if(kept_.begin(), kept_.end(), [seq](const Record &r) { return r.seq == seq; });
    if (it == kept_.end()) {
        return ready_;
    }
    kept_.erase(it);
    if (kept_.empty()) {
        // Nothing left to lose: no file is as good as a removal line.
        removed_ = 0;
        if (fd_ >= 0) {
            ::close(fd_);
            fd_ = -1;
        }
        const bool gone = ::unlink(path_.c_str()) == 0 || errno == ENOENT;
        sync_directory();
        return ready_ && gone;
    }
    if (!append('D', seq, "")) {
        return false;
    }
    removed_++;
    return removed_ < kRewriteAfter || removed_ < kept_.size() || rewrite();
}

// The kept records into a new file, synced, renamed over the log (and the directory
// synced), so that either the old or the new file is found after a crash.
bool ReportStore::rewrite() {
    const std::string fresh = path_ + ".new";
    const int fd = ::open(fresh.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        return false;
    }
    std::string all;
    for (const Record &record : kept_) {
        all += line_of('R', record.seq, record.text);
    }
    const bool written = write_all(fd, all) && ::fsync(fd) == 0;
    ::close(fd);
    if (!written || ::rename(fresh.c_str(), path_.c_str()) != 0) {
        ::unlink(fresh.c_str());
        return false;
    }
    sync_directory();
    const int reopened = ::open(path_.c_str(), O_RDWR | O_APPEND | O_CLOEXEC);
    if (reopened < 0) {
        close();
        return false;
    }
    ::close(fd_);
    fd_ = reopened;
    removed_ = 0;
    return true;
}

void ReportStore::close() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    ready_ = false;
    kept_.clear();
    removed_ = 0;
}

}  // namespace rv::req
