/*
 * The report outbox's files: append-only logs in the SDK's data directory, one line
 * a record, each with its own checksum, so that a crash or a power loss in the middle
 * of a write can only spoil the line being written.
 *
 *   "R <seq> <checksum> <event text>\n"   a report was kept
 *   "D <seq> <checksum> \n"               that report is gone (delivered or dropped)
 *
 * The checksum is the 64-bit FNV-1a of the line's text before it with the checksum
 * left out ("R <seq> <event text>"), as 16 hexadecimal digits. Reading skips a whole
 * line that does not check out and cuts only an unfinished last line, so later
 * appends never follow a torn line. An append that fails (disk full, I/O error) is
 * cut back to the last whole line; when even that fails add() fails from then on,
 * while remove() tries to rewrite the log as a whole new file (and, when that works,
 * the store is usable again); the lock is kept until close(), which tries that
 * rewrite once more, so that no other process takes over reports this one still
 * sends. Every append is synced before the call
 * returns: a record whose add() returned is on the disk. A log is made by the first
 * add and removed when no report is left; when removed records outweigh the kept ones
 * it is rewritten as a new file renamed over the old one. A log larger than
 * kMaxLogBytes is not read: it is renamed to "<log>.bad" and a new one begun.
 *
 * One directory, several processes: "report_outbox.lock" holds one advisory lock
 * (open file description lock) per log. The process that holds byte 0 owns the
 * directory's log "report_outbox.log"; any other takes the first free slot n of
 * 1..kSlots and keeps its reports in "report_outbox.<n>.log". The owner adopts, when
 * it opens, every slot log whose slot no process holds: their reports move into its
 * own log and the slot log is removed, unless its own log would grow past
 * kMaxLogBytes (then the slot log waits for a later start). No process ever touches a log whose
 * lock another holds. Files are made 0600; links and non-regular files are refused.
 *
 * Threading: not thread-safe; the outbox calls it under its own lock. Blocks for the
 * file writes.
 */
#ifndef RV_REQUEST_REPORT_STORE_H
#define RV_REQUEST_REPORT_STORE_H

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "util/unique_fd.h"

namespace rv::req {

class ReportStore {
  public:
    static constexpr const char *kLockFile = "report_outbox.lock";
    static constexpr const char *kLogFile = "report_outbox.log";
    static constexpr unsigned kSlots = 16;
    static constexpr size_t kMaxLogBytes = 4 * 1024 * 1024;

    struct Record {
        uint64_t seq;      // order of the reports; never reused within a file
        std::string text;  // the event text, without line ends
    };

    // What a log's bytes hold.
    struct Log {
        std::vector<Record> kept;  // oldest first
        size_t whole = 0;          // bytes up to the end of the last whole line
        size_t removals = 0;       // removal lines
        size_t skipped = 0;        // whole lines that did not check out
        uint64_t last_seq = 0;     // highest seq of any line that checked out
    };
    // Reads a log's bytes. Throws std::bad_alloc.
    static Log read(std::string_view content);

    ReportStore() = default;
    ~ReportStore() { close(); }
    ReportStore(const ReportStore &) = delete;
    ReportStore &operator=(const ReportStore &) = delete;

    // Opens the outbox of directory `dir` as described above and returns the kept
    // records, adopted ones included, oldest first (empty, with the store closed, when
    // there is no lock to take or no log can be read). Throws std::bad_alloc.
    std::vector<Record> open(const std::string &dir);
    bool is_open() const { return ready_; }
    // The directory's own log (not a slot's).
    bool owns_directory() const { return slot_ == 0; }
    // The log in use.
    const std::string &path() const { return path_; }
    // Appends and syncs; false when the store is closed, the text holds a line end or
    // the write fails.
    bool add(const Record &record);
    // Appends the removal and syncs (then compacts as described above, when due);
    // false when the store is closed or the write fails.
    bool remove(uint64_t seq);
    // Releases the lock (the file stays).
    void close();

  private:
    bool lock(unsigned slot);
    void unlock(unsigned slot);
    Log load(const std::string &path, UniqueFd &fd);
    void adopt(const std::string &dir, unsigned slot, uint64_t &next_seq);
    size_t logged_bytes() const;
    bool append(char kind, uint64_t seq, const std::string &text);
    bool rewrite();
    void fail();

    bool ready_ = false;   // open() succeeded; the log may not exist yet
    bool broken_ = false;  // the log failed: no appends, but the lock is kept
    UniqueFd lock_;        // the directory's lock file
    unsigned slot_ = 0;    // lock byte held: 0 for the directory's log
    UniqueFd fd_;          // the log, once it exists
    std::string path_;
    std::vector<Record> kept_;  // what the log holds, oldest first
    size_t removed_ = 0;        // removal lines in the log
};

}  // namespace rv::req

#endif
