#include "request/report_store.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <map>
#include <system_error>
#include <utility>

#include "util/debug.h"
#include "util/private_file.h"

namespace rv::req {

namespace {

constexpr const char *kTag = "DATA_REPORT";
// Rewrite when this many removal lines are in the file and they outnumber the kept.
constexpr size_t kRewriteAfter = 64;

uint64_t checksum(char kind, uint64_t seq, std::string_view text) {
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
    if (checksum(k, s, text) != sum || (k == 'D' && !text.empty())) {
        return false;
    }
    kind = k;
    seq = s;
    return true;
}

std::string slot_path(const std::string &dir, unsigned slot) {
    if (slot == 0) {
        return dir + "/" + ReportStore::kLogFile;
    }
    return dir + "/report_outbox." + std::to_string(slot) + ".log";
}

// An exclusive lock on byte `slot` of the lock file (F_SETLK: never waits), or its release.
bool lock_byte(int fd, unsigned slot, short type) {
    struct flock lock {};
    lock.l_type = type;
    lock.l_whence = SEEK_SET;
    lock.l_start = static_cast<off_t>(slot);
    lock.l_len = 1;
    return ::fcntl(fd, F_OFD_SETLK, &lock) == 0;
}

}  // namespace

ReportStore::Log ReportStore::read(std::string_view content) {
    Log log;
    std::map<uint64_t, std::string> kept;
    for (size_t end; (end = content.find('\n', log.whole)) != std::string_view::npos;
         log.whole = end + 1) {
        char kind;
        uint64_t seq;
        std::string text;
        if (!parse(std::string(content.substr(log.whole, end - log.whole)), kind, seq, text)) {
            log.skipped++;  // a spoilt line says nothing about the lines after it
            continue;
        }
        log.last_seq = std::max(log.last_seq, seq);
        if (kind == 'R') {
            kept[seq] = std::move(text);
        } else {
            kept.erase(seq);
            log.removals++;
        }
    }
    for (auto &[seq, text] : kept) {
        log.kept.push_back({seq, std::move(text)});
    }
    return log;
}

bool ReportStore::lock(unsigned slot) {
    return lock_byte(lock_.get(), slot, F_WRLCK);
}

void ReportStore::unlock(unsigned slot) {
    lock_byte(lock_.get(), slot, F_UNLCK);
}

// Opens the log at `path` into `fd` (left closed when there is none yet), cutting an
// unfinished last line, and reads it. Throws std::system_error when it cannot.
ReportStore::Log ReportStore::load(const std::string &path, UniqueFd &fd) {
    fd = util::open_private(path, O_RDWR | O_APPEND);
    if (!fd) {
        if (errno != ENOENT) {
            LOGW(kTag, "report outbox: %s is not a regular file of ours, not used\n", path.c_str());
            throw std::system_error(errno, std::generic_category());
        }
        return {};
    }
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0) {
        throw std::system_error(errno, std::generic_category());
    }
    if (static_cast<uint64_t>(st.st_size) > kMaxLogBytes) {
        // More than the outbox can ever have written: set aside, never read whole.
        fd.close();
        const std::string aside = path + ".bad";
        if (::rename(path.c_str(), aside.c_str()) != 0) {
            throw std::system_error(errno, std::generic_category());
        }
        util::sync_parent_directory(path);
        LOGW(kTag, "report outbox: %s larger than %zu bytes, set aside as %s\n", path.c_str(),
             kMaxLogBytes, aside.c_str());
        return {};
    }
    std::string content;
    char buffer[8192];
    for (;;) {
        const ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            throw std::system_error(errno, std::generic_category());
        }
        if (n == 0 || content.size() + static_cast<size_t>(n) > kMaxLogBytes) {
            break;
        }
        content.append(buffer, static_cast<size_t>(n));
    }
    Log log = read(content);
    if (log.skipped > 0) {
        LOGW(kTag, "report outbox: %zu spoilt line(s) in %s skipped\n", log.skipped, path.c_str());
    }
    if (log.whole < content.size() &&
        (::ftruncate(fd.get(), static_cast<off_t>(log.whole)) != 0 || ::fdatasync(fd.get()) != 0)) {
        // Appending after a torn line would spoil the next record.
        throw std::system_error(errno, std::generic_category());
    }
    return log;
}

// The size of our log now (0 while there is none).
size_t ReportStore::logged_bytes() const {
    struct stat st {};
    return fd_ && ::fstat(fd_.get(), &st) == 0 ? static_cast<size_t>(st.st_size) : 0;
}

// Moves the reports of slot `slot`'s log, when no process holds it, into our own.
void ReportStore::adopt(const std::string &dir, unsigned slot, uint64_t &next_seq) {
    if (!lock(slot)) {
        return;  // its process is running: the log is its own
    }
    const std::string path = slot_path(dir, slot);
    try {
        UniqueFd fd;
        std::vector<Record> theirs = load(path, fd).kept;
        // Our log must stay one that the next start reads: what does not fit now
        // waits in its own file for a start after some reports were sent.
        size_t bytes = logged_bytes();
        uint64_t seq = next_seq;
        for (const Record &record : theirs) {
            bytes += line_of('R', seq++, record.text).size();
        }
        if (bytes > kMaxLogBytes) {
            unlock(slot);
            return;
        }
        bool all = true;
        for (Record &record : theirs) {
            record.seq = next_seq++;
            if (!(all = add(record))) {
                break;
            }
        }
        // Gone only once all of it is ours: a crash in between sends a report twice at
        // worst, never loses one.
        if (all && fd) {
            ::unlink(path.c_str());
            util::sync_parent_directory(path);
        }
        if (!theirs.empty()) {
            LOGW(kTag, "report outbox: %zu report(s) of an ended process taken from %s\n",
                 theirs.size(), path.c_str());
        }
    } catch (const std::system_error &) {
        // Left where it is for a later start.
    }
    unlock(slot);
}

std::vector<ReportStore::Record> ReportStore::open(const std::string &dir) {
    close();
    lock_ = util::open_private(dir + "/" + kLockFile, O_RDWR | O_CREAT);
    if (!lock_) {
        return {};
    }
    slot_ = 0;
    while (slot_ <= kSlots && !lock(slot_)) {
        slot_++;
    }
    if (slot_ > kSlots) {
        lock_.close();
        return {};
    }
    path_ = slot_path(dir, slot_);
    uint64_t next_seq;
    try {
        Log log = load(path_, fd_);
        kept_ = std::move(log.kept);
        removed_ = log.removals;
        next_seq = log.last_seq + 1;
    } catch (const std::system_error &) {
        close();
        return {};
    }
    ready_ = true;
    for (unsigned slot = 1; owns_directory() && slot <= kSlots && ready_; slot++) {
        adopt(dir, slot, next_seq);
    }
    return kept_;
}

bool ReportStore::append(char kind, uint64_t seq, const std::string &text) {
    if (!ready_) {
        return false;
    }
    if (!fd_) {
        fd_ = util::open_private(path_, O_RDWR | O_CREAT | O_APPEND);
        util::sync_parent_directory(path_);  // the new name survives a power cut with the line
        if (!fd_) {
            return false;
        }
    }
    const off_t end = ::lseek(fd_.get(), 0, SEEK_END);
    if (end >= 0 && rv::util::write_all(fd_.get(), line_of(kind, seq, text)) &&
        ::fdatasync(fd_.get()) == 0) {
        return true;
    }
    // Back to the last whole line, so that the next append starts a line of its own.
    if (end < 0 || ::ftruncate(fd_.get(), end) != 0 || ::fdatasync(fd_.get()) != 0) {
        LOGE(kTag, "report outbox: %s cannot be written or repaired, closed\n", path_.c_str());
        fail();
    }
    return false;
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
    if (kept_.size() == 1 && (ready_ || broken_)) {
        // Nothing left to lose: no file is as good as a removal line.
        fd_.close();
        const bool gone = ::unlink(path_.c_str()) == 0 || errno == ENOENT;
        util::sync_parent_directory(path_);
        if (gone) {
            kept_.clear();
            removed_ = 0;
            ready_ = ready_ || std::exchange(broken_, false);  // a new log starts whole
        }
        return gone;
    }
    if (broken_) {
        // No line can follow what may be a torn one: only a whole new file will do.
        kept_.erase(it);
        return rewrite();
    }
    if (!append('D', seq, "")) {
        return false;
    }
    kept_.erase(it);
    removed_++;
    if (removed_ >= kRewriteAfter && removed_ >= kept_.size()) {
        rewrite();  // only a compaction: the removal is on the disk either way
    }
    return true;
}

// The kept records into a new file, synced, renamed over the log (and the directory
// synced), so that either the old or the new file is found after a crash. True when
// the log is usable again.
bool ReportStore::rewrite() {
    const std::string fresh = path_ + ".new";
    ::unlink(fresh.c_str());  // a leftover of a crash, or a link put there
    UniqueFd fd = util::open_private(fresh, O_WRONLY | O_CREAT | O_EXCL);
    if (!fd) {
        return false;
    }
    std::string all;
    for (const Record &record : kept_) {
        all += line_of('R', record.seq, record.text);
    }
    const bool written = rv::util::write_all(fd.get(), all) && ::fsync(fd.get()) == 0;
    fd.close();
    if (!written || ::rename(fresh.c_str(), path_.c_str()) != 0) {
        ::unlink(fresh.c_str());
        return false;
    }
    util::sync_parent_directory(path_);
    fd_ = util::open_private(path_, O_RDWR | O_APPEND);
    if (!fd_) {
        LOGE(kTag, "report outbox: %s cannot be opened again, closed\n", path_.c_str());
        fail();
        return false;
    }
    removed_ = 0;
    ready_ = ready_ || std::exchange(broken_, false);
    return true;
}

// The lock stays ours: another process taking the log over now would send again
// the reports our outbox still sends from memory.
void ReportStore::fail() {
    fd_.close();
    ready_ = false;
    broken_ = true;
}

void ReportStore::close() {
    if (broken_ && !kept_.empty()) {
        rewrite();  // a last chance to take out what was delivered since the failure
    }
    fd_.close();
    lock_.close();  // releases the lock
    ready_ = broken_ = false;
    kept_.clear();
    removed_ = 0;
}

}  // namespace rv::req
