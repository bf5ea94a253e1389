// The report outbox's file against a writer killed at random moments: a helper
// process adds and removes reports until it is killed (SIGKILL), a few dozen
// times over one file. After each kill the file read back holds whole reports
// only, every report whose add was acknowledged and whose removal was not, and
// none whose removal was acknowledged. The same invariants hold when appends
// are stopped mid-line by the file size limit. And the files the SDK keeps are
// private, never reached through a link, never anything but regular files.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/fs.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "request/report_store.h"
#include "request/sdk_fixture.h"
#include "util/util.h"

namespace {

using rv::req::ReportStore;

// Recognisable, and of varying length so that a kill can tear a line anywhere.
std::string text_of(uint64_t seq) {
    return "radioid=" + std::to_string(seq) + "&eventcode=101010&remarks2=" +
           std::string(50 + seq * 37 % 400, static_cast<char>('a' + seq % 26)) + "&";
}

void tell(int fd, char kind, uint64_t seq) {
    char line[32];
    const int n =
        std::snprintf(line, sizeof line, "%c %llu\n", kind, static_cast<unsigned long long>(seq));
    if (write(fd, line, static_cast<size_t>(n)) != n) {
        _exit(4);
    }
}

// The helper: opens the file, then adds or removes the oldest, telling the parent
// "A <seq>" after an add returned, "d <seq>" before a removal and "D <seq>" after.
[[noreturn]] void writer(const std::string &path, int fd, unsigned seed) {
    ReportStore store;
    std::vector<ReportStore::Record> kept = store.open(path);
    uint64_t next = kept.empty() ? 1 : kept.back().seq + 1;
    std::minstd_rand random(seed);
    for (;;) {
        if (kept.size() < 20 || (kept.size() < 60 && random() % 2 == 0)) {
            ReportStore::Record record{next++, {}};
            record.text = text_of(record.seq);
            if (!store.add(record)) {
                _exit(2);
            }
            kept.push_back(record);
            tell(fd, 'A', record.seq);
        } else {
            const uint64_t seq = kept.front().seq;
            tell(fd, 'd', seq);
            if (!store.remove(seq)) {
                _exit(3);
            }
            kept.erase(kept.begin());
            tell(fd, 'D', seq);
        }
    }
}

TEST(ReportStore, AWriterKilledAtRandomMomentsLosesNothingAcknowledgedAndRevivesNothingRemoved) {
    rv::test::TempDir dir;
    const std::string path = dir.path();
    std::mt19937 random(20);
    std::set<uint64_t> added, removing, removed;  // as told by the writer
    size_t most_kept = 0;
    // A few dozen kills, and on until the file has been rewritten at least once.
    for (int round = 0; round < 40 || (removed.size() <= 64 && round < 400); round++) {
        SCOPED_TRACE("round " + std::to_string(round));
        int fds[2];
        ASSERT_EQ(pipe(fds), 0);
        const pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            close(fds[0]);
            writer(path, fds[1], static_cast<unsigned>(round));
        }
        close(fds[1]);
        // Killed a moment after its first word, however slow the machine (or sanitizer).
        std::string told;
        char buffer[4096];
        if (const ssize_t n = read(fds[0], buffer, 1); n > 0) {
            told.append(buffer, static_cast<size_t>(n));
        }
        std::this_thread::sleep_for(std::chrono::microseconds(2000 + random() % 30000));
        kill(pid, SIGKILL);
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        ASSERT_TRUE(WIFSIGNALED(status)) << "the writer failed: " << WEXITSTATUS(status);
        for (ssize_t n; (n = read(fds[0], buffer, sizeof buffer)) > 0;) {
            told.append(buffer, static_cast<size_t>(n));
        }
        close(fds[0]);
        char kind;
        unsigned long long seq;
        int used = 0;
        for (const char *p = told.c_str(); std::sscanf(p, "%c %llu\n%n", &kind, &seq, &used) == 2;
             p += used) {
            (kind == 'A' ? added : kind == 'd' ? removing : removed).insert(seq);
        }

        ReportStore store;
        const std::vector<ReportStore::Record> kept = store.open(path);
        ASSERT_TRUE(store.is_open());
        std::set<uint64_t> found;
        for (const ReportStore::Record &record : kept) {
            EXPECT_EQ(record.text, text_of(record.seq));  // whole, never a torn line
            EXPECT_EQ(removed.count(record.seq), 0u) << record.seq;
            found.insert(record.seq);
        }
        for (uint64_t s : added) {
            if (removing.count(s) == 0) {
                EXPECT_EQ(found.count(s), 1u) << "acknowledged report " << s << " lost";
            }
        }
        most_kept = std::max(most_kept, kept.size());
    }
    // Far enough for the file to have been rewritten (removals outweighed the kept).
    EXPECT_GT(removed.size(), 64u);
    EXPECT_GT(most_kept, 0u);
}

// Appends stopped by RLIMIT_FSIZE at random points of a line, among adds, removals
// (and the rewrites they cause) and restarts: after every step the file holds whole,
// checked lines only, and exactly the reports acknowledged and not removed.
TEST(ReportStore, AppendsStoppedMidLineAreCutBackAndTheLogStaysWhole) {
    rv::test::TempDir dir;
    const std::string path = dir.file(ReportStore::kLogFile);
    struct sigaction ignore {
    }, saved{};
    ignore.sa_handler = SIG_IGN;
    ASSERT_EQ(sigaction(SIGXFSZ, &ignore, &saved), 0);  // a write past the limit fails with EFBIG
    rlimit unlimited{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &unlimited), 0);
    std::mt19937 random(28);
    std::map<uint64_t, std::string> model;  // acknowledged and not removed
    uint64_t next = 1;
    size_t stopped = 0;
    ReportStore store;
    store.open(dir.path());
    for (int step = 0; step < 600; step++) {
        SCOPED_TRACE("step " + std::to_string(step));
        struct stat st {};
        const off_t size = stat(path.c_str(), &st) == 0 ? st.st_size : 0;
        const bool limit = random() % 3 == 0;
        if (limit) {
            rlimit cut = unlimited;
            cut.rlim_cur = static_cast<rlim_t>(size) + random() % 40;
            ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &cut), 0);
        }
        const unsigned action = random() % 10;
        if (action < 6 || model.empty()) {
            const uint64_t seq = next++;
            const ReportStore::Record record{seq, text_of(seq)};
            if (store.add(record)) {
                model[record.seq] = record.text;
            } else {
                stopped++;
            }
        } else if (action < 9) {
            auto it = model.begin();
            std::advance(it, static_cast<long>(random() % model.size()));
            if (store.remove(it->first)) {
                model.erase(it);
            } else {
                stopped++;
            }
        }
        ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &unlimited), 0);
        if (action == 9) {
            std::map<uint64_t, std::string> reopened;
            for (ReportStore::Record &record : store.open(dir.path())) {
                reopened[record.seq] = std::move(record.text);
            }
            ASSERT_TRUE(store.is_open());
            EXPECT_EQ(reopened, model);
        }
        const std::string content = rv::test::read_file(path);
        const ReportStore::Log log = ReportStore::read(content);
        EXPECT_EQ(log.whole, content.size()) << "a torn line was left";
        EXPECT_EQ(log.skipped, 0u);
        std::map<uint64_t, std::string> on_disk;
        for (const ReportStore::Record &record : log.kept) {
            on_disk[record.seq] = record.text;
        }
        ASSERT_EQ(on_disk, model);
    }
    sigaction(SIGXFSZ, &saved, nullptr);
    EXPECT_GT(stopped, 20u);  // the limit did stop writes
}

// Sets or clears the append-only attribute of `path`; false where the file system or
// the user cannot.
bool append_only(const std::string &path, bool on) {
    const int fd = open(path.c_str(), O_RDONLY);
    int flags = 0;
    bool done = fd >= 0 && ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    flags = on ? flags | FS_APPEND_FL : flags & ~FS_APPEND_FL;
    done = done && ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    close(fd);
    return done;
}

// A log that can be neither written nor cut back (append-only, at the size limit):
// the store keeps the directory's lock, so no other process takes over the reports
// this one still sends, and what it delivers afterwards leaves the file as soon as a
// whole new log can be written: at the next delivery or at close.
TEST(ReportStore, ALogThatCannotBeRepairedStaysOursAndDeliveriesStillLeaveIt) {
    struct sigaction ignore {
    }, saved{};
    ignore.sa_handler = SIG_IGN;
    ASSERT_EQ(sigaction(SIGXFSZ, &ignore, &saved), 0);
    rlimit unlimited{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &unlimited), 0);
    for (const bool deliver_after_recovery : {true, false}) {
        SCOPED_TRACE(deliver_after_recovery ? "repaired by a delivery" : "repaired at close");
        rv::test::TempDir dir;
        const std::string path = dir.file(ReportStore::kLogFile);
        ReportStore store;
        store.open(dir.path());
        for (uint64_t seq = 1; seq <= 3; seq++) {
            ASSERT_TRUE(store.add({seq, text_of(seq)}));
        }
        if (!append_only(path, true)) {
            sigaction(SIGXFSZ, &saved, nullptr);
            GTEST_SKIP() << "no append-only attribute here";
        }
        struct stat st {};
        ASSERT_EQ(stat(path.c_str(), &st), 0);
        rlimit cut = unlimited;
        cut.rlim_cur = static_cast<rlim_t>(st.st_size);
        ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &cut), 0);
        const bool added = store.add({4, text_of(4)});
        ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &unlimited), 0);
        EXPECT_FALSE(added);
        EXPECT_FALSE(store.is_open());
        {
            ReportStore other;
            other.open(dir.path());
            EXPECT_FALSE(other.owns_directory()) << "the failed log was taken over";
        }
        // Still append-only: delivered, but in the file for now.
        EXPECT_FALSE(store.remove(1));
        EXPECT_TRUE(deliver_after_recovery || !store.remove(2));
        ASSERT_TRUE(append_only(path, false));
        std::vector<uint64_t> expected{3};
        if (deliver_after_recovery) {
            EXPECT_TRUE(store.remove(2));
            EXPECT_TRUE(store.is_open());
            EXPECT_TRUE(store.add({5, text_of(5)}));
            expected.push_back(5);
        }
        store.close();
        std::vector<uint64_t> kept;
        for (const ReportStore::Record &record :
             ReportStore::read(rv::test::read_file(path)).kept) {
            kept.push_back(record.seq);
        }
        EXPECT_EQ(kept, expected);
    }
    sigaction(SIGXFSZ, &saved, nullptr);
}

// Where a file of the SDK or rvcli is about to be written, something else may be:
// nothing, an old file, a link to a file of someone else's, a FIFO. Each row puts
// one there and writes; the file ends up a private regular file of ours (or is
// refused), the link's target is untouched, nothing blocks.
// Logs of ended processes beyond the owner's cap stay where they are for a later
// start, instead of pushing the owner's log past the size it will read.
TEST(ReportStore, AdoptionKeepsTheOwnersLogWithinWhatItReads) {
    rv::test::TempDir dir;
    const std::string text(64 * 1024, 'x');
    {
        ReportStore owner;  // holds the directory, so the others take slots
        owner.open(dir.path());
        std::vector<std::unique_ptr<ReportStore>> others(5);
        for (auto &other : others) {
            other = std::make_unique<ReportStore>();
            ASSERT_FALSE(other->open(dir.path()).size());
            for (uint64_t seq = 1; seq <= 16; ++seq) {
                ASSERT_TRUE(other->add({seq, text}));
            }
        }
    }
    size_t adopted = 0;
    {
        ReportStore first;
        adopted = first.open(dir.path()).size();
    }
    ReportStore next;
    EXPECT_GT(adopted, 0u);
    EXPECT_EQ(next.open(dir.path()).size(), adopted);  // read again, not set aside
    struct stat st {};
    EXPECT_NE(stat((dir.path() + "/report_outbox.log.bad").c_str(), &st), 0);
}

TEST(PrivateFiles, ModesLinksFifosAndRewritesInOneTable) {
    enum class There { Nothing, OldFile, Loose, Link, Fifo };
    enum class Expect { Written, Refused };
    struct Row {
        const char *name;
        const char *file;
        There there;
        // Writes the file: true when the writer says it did.
        std::function<bool(const std::string &dir, const std::string &path)> write;
        Expect expect;
    };
    // How the identity file and rvcli's saved login are written.
    const auto rewrite = [](const std::string &, const std::string &path) {
        return write_data_to_file(path.c_str(), "device&openid") == 1;
    };
    const auto outbox = [](const std::string &dir, const std::string &) {
        ReportStore store;
        store.open(dir);
        return store.is_open() && store.add({1, "radioid=1&"});
    };
    const auto read_back = [](const std::string &, const std::string &path) {
        char *text = nullptr;
        const bool read = read_data_from_file(path.c_str(), &text) == 1;
        str_free(text);
        return read;
    };
    const Row rows[] = {
        {"identity, new", "openid.dat", There::Nothing, rewrite, Expect::Written},
        {"saved login rewritten", "rvcli-login", There::OldFile, rewrite, Expect::Written},
        {"identity over a link", "openid.dat", There::Link, rewrite, Expect::Written},
        {"identity over a FIFO", "openid.dat", There::Fifo, rewrite, Expect::Written},
        {"identity read through a link", "openid.dat", There::Link, read_back, Expect::Refused},
        {"identity read from a FIFO", "openid.dat", There::Fifo, read_back, Expect::Refused},
        {"outbox log, new", "report_outbox.log", There::Nothing, outbox, Expect::Written},
        {"outbox log is a link", "report_outbox.log", There::Link, outbox, Expect::Refused},
        {"outbox log is a FIFO", "report_outbox.log", There::Fifo, outbox, Expect::Refused},
        {"outbox lock is a link", "report_outbox.lock", There::Link, outbox, Expect::Refused},
        {"outbox lock is a FIFO", "report_outbox.lock", There::Fifo, outbox, Expect::Refused},
        {"outbox log of an older version", "report_outbox.log", There::Loose, outbox,
         Expect::Written},
        {"outbox lock of an older version", "report_outbox.lock", There::Loose, outbox,
         Expect::Written},
    };
    const mode_t old_mask = umask(0);  // the modes below are the SDK's own, not the umask's
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        rv::test::TempDir dir, elsewhere;
        const std::string path = dir.file(row.file);
        const std::string victim = elsewhere.file("victim");
        rv::test::write_file(victim, "someone else's");
        ino_t old_inode = 0;
        int old_fd = -1;
        switch (row.there) {
            case There::Nothing:
                break;
            case There::OldFile: {
                rv::test::write_file(path, "old login\n");
                chmod(path.c_str(), 0644);
                old_fd = open(path.c_str(), O_RDONLY);
                struct stat st {};
                fstat(old_fd, &st);
                old_inode = st.st_ino;
                break;
            }
            case There::Loose:  // empty, readable by all, as an older version made it
                rv::test::write_file(path, "");
                chmod(path.c_str(), 0644);
                break;
            case There::Link:
                ASSERT_EQ(symlink(victim.c_str(), path.c_str()), 0);
                break;
            case There::Fifo:
                ASSERT_EQ(mkfifo(path.c_str(), 0666), 0);
                break;
        }
        const bool wrote = row.write(dir.path(), path);
        EXPECT_EQ(wrote, row.expect == Expect::Written);
        EXPECT_EQ(rv::test::read_file(victim), "someone else's");
        struct stat st {};
        ASSERT_EQ(lstat(path.c_str(), &st), 0);
        if (row.expect == Expect::Written) {
            EXPECT_TRUE(S_ISREG(st.st_mode));
            EXPECT_EQ(st.st_mode & 0777, 0600u);
        }
        if (old_fd >= 0) {
            // Replaced by rename, never truncated in place: the old file is whole to the end.
            EXPECT_NE(st.st_ino, old_inode);
            char buffer[32] = {};
            EXPECT_EQ(pread(old_fd, buffer, sizeof buffer - 1, 0), 10);
            EXPECT_STREQ(buffer, "old login\n");
            close(old_fd);
        }
    }
    umask(old_mask);
}

}  // namespace
