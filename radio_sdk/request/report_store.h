/*
 * The report outbox's file: an append-only log in the SDK's data directory, one
 * line a record, each with its own checksum, so that a crash or a power loss in the
 * middle of a write can only spoil the line being written.
 *
 *   "R <seq> <checksum> <event text>\n"   a report was kept
 *   "D <seq> <checksum> \n"               that report is gone (delivered or dropped)
 *
 * The checksum is the 64-bit FNV-1a of the line's text before it with the checksum
 * left out ("R <seq> <event text>"), as 16 hexadecimal digits. Reading stops at the
 * first line that is incomplete or does not check out and cuts the file there, so
 * later appends never follow a torn line. Every append is synced before the call
 * returns: a record whose add() returned is on the disk. The file is made by the
 * first add and removed when no report is left; when removed records outweigh the
 * kept ones it is rewritten as a new file renamed over the old one.
 *
 * Threading: not thread-safe; the outbox calls it under its own lock. Blocks for the
 * file writes.
 */
#ifndef RV_REQUEST_REPORT_STORE_H
#define RV_REQUEST_REPORT_STORE_H

#include <cstdint>
#include <string>
#include <vector>

namespace rv::req {

class ReportStore {
  public:
    struct Record {
        uint64_t seq;      // order of the reports; never reused within a file
        std::string text;  // the event text, without line ends
    };

    ReportStore() = default;
    ~ReportStore() { close(); }
    ReportStore(const ReportStore &) = delete;
    ReportStore &operator=(const ReportStore &) = delete;

    // Reads the log at `path` (none yet is fine) and returns its kept records, oldest
    // first (empty, with the store closed, when the file cannot be read). Throws
    // std::bad_alloc.
    std::vector<Record> open(const std::string &path);
    bool is_open() const { return ready_; }
    // Appends and syncs; false when the store is closed, the text holds a line end or
    // the write fails.
    bool add(const Record &record);
    // Appends the removal and syncs (compacting as described above); false when the
    // store is closed or the write fails.
    bool remove(uint64_t seq);
    void close();

  private:
    bool append(char kind, uint64_t seq, const std::string &text);
    bool rewrite();
    void sync_directory() const;

    bool ready_ = false;  // open() succeeded; the file may not exist yet
    int fd_ = -1;
    std::string path_;
    std::vector<Record> kept_;  // what the file holds, oldest first
    size_t removed_ = 0;        // removal lines in the file
};

}  // namespace rv::req

#endif
