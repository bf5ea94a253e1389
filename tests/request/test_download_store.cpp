// The download store against a writer killed at random moments: a helper process
// fetches (writes a partial file, syncs it, enters it), marks parts and removes
// audios until it is killed (SIGKILL), a few dozen times over one directory. After
// each kill the store opened again lists only whole files whose every byte is
// right, keeps no file it does not list, and counts exactly the bytes on disk.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <thread>

#include "request/download_store.h"
#include "request/sdk_fixture.h"

namespace {

using rv::dl::Store;
using rv::dl::StoredItem;

// Recognisable bytes of an audio's file, of a length that varies by audio.
std::string bytes_of(int64_t audio) {
    std::string bytes(1000 + static_cast<size_t>(audio) * 7919 % 60000, '\0');
    for (size_t i = 0; i < bytes.size(); ++i) {
        bytes[i] = static_cast<char>((static_cast<size_t>(audio) * 31 + i) % 251);
    }
    return bytes;
}

// An audio's record as the index keeps it: text with spaces, read to the line's end.
std::string meta_of(int64_t audio) {
    return R"({"audioId":)" + std::to_string(audio) + R"(,"audioName":"side \"A\" of )" +
           std::to_string(audio) + R"("})";
}

[[noreturn]] void writer(const std::string &dir, int ready, unsigned seed) {
    Store store;
    if (!store.open(dir)) {
        _exit(2);
    }
    std::minstd_rand random(seed);
    if (write(ready, "r", 1) != 1) {
        _exit(3);
    }
    for (;;) {
        const int64_t audio = 1 + static_cast<int64_t>(random() % 40);
        if (random() % 4 == 0) {
            store.remove_item(audio);
            store.save();
            continue;
        }
        StoredItem item{7,
                        audio,
                        false,
                        -1,
                        "",
                        std::to_string(audio) + ".aac",
                        static_cast<int>(audio),
                        meta_of(audio)};
        StoredItem &kept = store.put_item(item);
        const std::string bytes = bytes_of(audio);
        // Written in pieces, so that a kill can cut a file anywhere.
        const int fd = ::open(store.part_of(kept).c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        for (size_t at = 0; at < bytes.size(); at += 4096) {
            if (::write(fd, bytes.data() + at, std::min<size_t>(4096, bytes.size() - at)) < 0) {
                _exit(4);
            }
        }
        ::fsync(fd);
        ::close(fd);
        if (random() % 3 == 0) {
            store.save();  // listed as a part only
        } else if (!store.enter(kept, static_cast<int64_t>(bytes.size()))) {
            _exit(5);
        }
    }
}

TEST(DownloadStore, AWriterKilledAtRandomMomentsNeverLeavesATornFileListed) {
    rv::test::TempDir dir;
    const unsigned seed = static_cast<unsigned>(std::random_device{}());
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 random(seed);
    int whole_seen = 0;
    for (int round = 0; round < 40; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        int fds[2];
        ASSERT_EQ(pipe(fds), 0);
        const pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            close(fds[0]);
            writer(dir.path(), fds[1], random());
        }
        close(fds[1]);
        char ready = 0;
        ASSERT_EQ(read(fds[0], &ready, 1), 1);
        close(fds[0]);
        // One kill in four comes late, so that some writers finish even where they run slowly
        // (an emulated board).
        const unsigned span = random() % 4 == 0 ? 300000 : 20000;
        std::this_thread::sleep_for(std::chrono::microseconds(1000 + random() % span));
        kill(pid, SIGKILL);
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        ASSERT_TRUE(WIFSIGNALED(status)) << "the writer failed: " << WEXITSTATUS(status);

        Store store;
        ASSERT_TRUE(store.open(dir.path()));
        int64_t on_disk = 0;
        for (const auto &entry : std::filesystem::directory_iterator(dir.path() + "/downloads")) {
            const std::string name = entry.path().filename();
            if (name == "index") {
                continue;
            }
            on_disk += static_cast<int64_t>(entry.file_size());
            const int64_t audio = std::stoll(name);
            const StoredItem *item = store.item(audio);
            ASSERT_NE(item, nullptr) << name << " kept but not listed";
            EXPECT_EQ(item->meta, meta_of(audio)) << name;
            EXPECT_EQ(item->order, audio) << name;
            if (name.ends_with(".part")) {
                EXPECT_FALSE(item->whole) << name;
                continue;
            }
            ASSERT_TRUE(item->whole) << name;
            ASSERT_EQ(store.playable(audio), entry.path().string());
            std::ifstream in(entry.path(), std::ios::binary);
            const std::string bytes((std::istreambuf_iterator<char>(in)), {});
            EXPECT_EQ(bytes, bytes_of(audio)) << name << " listed torn";
            ++whole_seen;
        }
        EXPECT_EQ(store.bytes().load(), on_disk);
    }
    EXPECT_GT(whole_seen, 0);
}

}  // namespace
