// The report outbox's file against a writer killed at random moments: a helper
// process adds and removes reports until it is killed (SIGKILL), a few dozen
// times over one file. After each kill the file read back holds whole reports
// only, every report whose add was acknowledged and whose removal was not, and
// none whose removal was acknowledged.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "request/report_store.h"
#include "request/sdk_fixture.h"

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
    const std::string path = dir.path() + "/report_outbox.log";
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
        std::this_thread::sleep_for(std::chrono::microseconds(2000 + random() % 30000));
        kill(pid, SIGKILL);
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        ASSERT_TRUE(WIFSIGNALED(status)) << "the writer failed: " << WEXITSTATUS(status);
        std::string told;
        char buffer[4096];
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

}  // namespace
