// Album downloads against the local service: the fault rows (a cut or a stall resumed
// at the byte, a restart resuming what an earlier run kept, the quota, a full disk, a
// cancel, a crash's leftovers, a part of a file that changed since) and one run from a
// killed download to playback with the service gone.
#include <sys/resource.h>

#include <gtest/gtest.h>
#include <tone.h>

#include <condition_variable>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "player/sdk_playback_fixture.h"
#include "rv_download.h"
#include "rv_error.h"
#include "rv_player.h"
#include "rvcli/rvcli_process.h"
#include "support/play_bean.h"

namespace {

using namespace std::chrono_literals;
namespace fs = std::filesystem;

constexpr int64_t kGlass = 1100002;    // five audios, 3 s and 2 s
constexpr int64_t kSonatas = 1100004;  // three audios: 5, 4 and 3 s
constexpr int64_t kGlassFirst = 3000000201;
constexpr int64_t kGlassThird = 3000000203;  // 3 s, as the first
constexpr int kRate = 44100;

// What one album's download told.
struct Told {
    std::mutex mutex;
    std::condition_variable cv;
    std::map<int64_t, int> items;  // audio -> result
    int item_calls = 0;
    int album_calls = 0;
    int album_result = -1;

    static void on_item(void *user, int64_t, int64_t audio, int result) {
        auto *t = static_cast<Told *>(user);
        std::lock_guard lock(t->mutex);
        t->items[audio] = result;
        ++t->item_calls;
    }
    static void on_album(void *user, int64_t, int result) {
        auto *t = static_cast<Told *>(user);
        std::lock_guard lock(t->mutex);
        t->album_result = result;
        ++t->album_calls;
        t->cv.notify_all();
    }
    rv_download_events events() {
        rv_download_events e{};
        e.struct_size = sizeof e;
        e.user = this;
        e.on_item_done = on_item;
        e.on_album_done = on_album;
        return e;
    }
    int wait() {
        std::unique_lock lock(mutex);
        EXPECT_TRUE(cv.wait_for(lock, 60s, [&] { return album_calls > 0; }));
        return album_result;
    }
};

class Downloads : public rv::test::SdkPlaybackTest {
  public:  // the table's rows act on the test
    using SdkPlaybackTest::service_;
    std::map<int64_t, std::string> revised;  // audio -> the bytes the service now serves
    std::string store() const { return dir_.path() + "/downloads"; }
    std::string stored_file(int64_t audio) const {
        std::ifstream in(store() + "/" + std::to_string(audio) + ".aac", std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }

    // Downloads the album to its end; its result.
    int download(int64_t album, const std::function<void()> &meanwhile = {}) {
        Told told;
        const rv_download_events events = told.events();
        EXPECT_EQ(rv_downloadAlbum(album, &events), RVE_OK);
        if (meanwhile) {
            meanwhile();
        }
        const int result = told.wait();
        std::this_thread::sleep_for(100ms);  // a second call would show here
        std::lock_guard lock(told.mutex);
        EXPECT_EQ(told.album_calls, 1);
        EXPECT_EQ(told.item_calls, static_cast<int>(told.items.size()));
        return result;
    }

    // A restart of the application: the SDK stopped and started on the same directory.
    void restart() {
        rv_releaseSdk();
        ASSERT_EQ(rv::test::start_sdk(service_.http_url(), dir_.path()), 0);
    }

    rv_download_info info(int64_t album) const {
        rv_download_info *list = nullptr;
        size_t count = 0;
        EXPECT_EQ(rv_getDownloads(&list, &count), RVE_OK);
        rv_download_info found{};
        for (size_t i = 0; i < count; ++i) {
            if (list[i].album_id == album) {
                found = list[i];
            }
        }
        rv_freeDownloads(list);
        return found;
    }

    // Invariants of the store after every row: nothing partial left, every file the
    // owner's only, the quota's count equal to the files' bytes.
    void expect_store_sound(const std::string &row) {
        int64_t bytes = 0;
        for (const auto &entry : fs::directory_iterator(store())) {
            const std::string name = entry.path().filename();
            EXPECT_EQ(name.find(".part"), std::string::npos) << row << ": " << name;
            EXPECT_EQ(name.find(".tmp"), std::string::npos) << row << ": " << name;
            EXPECT_EQ(fs::status(entry).permissions() & fs::perms::all,
                      fs::perms::owner_read | fs::perms::owner_write)
                << row << ": " << name;
            bytes += name == "index" ? 0 : static_cast<int64_t>(entry.file_size());
        }
        EXPECT_EQ(rv_getDownloadBytes(), bytes) << row;
    }

    // The requests for the audio's media file, in order.
    std::vector<rvmock::Received> requests_of(int64_t audio) const {
        std::vector<rvmock::Received> asked;
        for (const rvmock::Received &r : service_.media_requests()) {
            if (r.path == media_path(audio)) {
                asked.push_back(r);
            }
        }
        return asked;
    }
    std::vector<std::string> ranges_of(int64_t audio) const {
        std::vector<std::string> ranges;
        for (const rvmock::Received &r : requests_of(audio)) {
            ranges.push_back(r.range);
        }
        return ranges;
    }
    static std::string media_path(int64_t audio) {
        return "/media/audio/" + std::to_string(audio) + "/aac_64.aac";
    }
};

const std::string kFirstPath = "/media/audio/" + std::to_string(kGlassFirst) + "/aac_64.aac";

TEST_F(Downloads, FaultRowsEndWithTheirCodeAndLeaveTheStoreSound) {
    ASSERT_TRUE(service_.prepare_media(kFirstPath));
    struct Row {
        const char *name;
        std::function<void(Downloads &)> before;  // faults, limits, a restart
        int result;
        int items_done;
        std::function<void(Downloads &)> check;
    };
    const Row rows[] = {
        {"a cut mid-file is resumed at the byte",
         [](Downloads &t) {
             t.service_.set_fault(kFirstPath,
                                  {.kind = rvmock::Fault::Kind::Cut, .bytes = 5000, .times = 1});
         },
         RVE_OK, 5,
         [](Downloads &t) {
             EXPECT_EQ(t.ranges_of(kGlassFirst), (std::vector<std::string>{"", "bytes=5000-"}));
         }},
        {"a stalled transfer is abandoned after the stall time and resumed at the byte",
         [](Downloads &t) {
             t.service_.set_fault(kFirstPath,
                                  {.kind = rvmock::Fault::Kind::Stall, .bytes = 7000, .times = 1});
         },
         RVE_OK, 5,
         [](Downloads &t) {
             EXPECT_EQ(t.ranges_of(kGlassFirst), (std::vector<std::string>{"", "bytes=7000-"}));
         }},
        {"a partial file kept by a stopped run is resumed after a restart",
         [](Downloads &t) {
             // Every try is cut: the run ends with the file partly fetched and kept.
             t.service_.set_fault(kFirstPath, {.kind = rvmock::Fault::Kind::Cut, .bytes = 3000});
             EXPECT_EQ(t.download(kGlass), RVE_FAILED);
             t.service_.clear_faults();
             t.service_.clear_requests();
             t.restart();
         },
         RVE_OK, 5,
         [](Downloads &t) {
             // Six tries of 3000 bytes each came before; not one byte is fetched twice.
             const auto ranges = t.ranges_of(kGlassFirst);
             ASSERT_FALSE(ranges.empty());
             EXPECT_EQ(ranges.back(), "bytes=18000-");
         }},
        {"the quota ends the download and keeps nothing partial",
         [](Downloads &) { rv_setDownloadLimit(30000); }, RVE_OVER_QUOTA, -1,
         [](Downloads &) { EXPECT_LE(rv_getDownloadBytes(), 30000); }},
        {"a full disk ends the download and keeps nothing partial",
         [](Downloads &) {
             // Files may not grow past 10000 bytes: write() fails as on a full disk.
             std::signal(SIGXFSZ, SIG_IGN);
             const rlimit small{10000, RLIM_INFINITY};
             setrlimit(RLIMIT_FSIZE, &small);
         },
         RVE_NO_SPACE, 0, [](Downloads &) {}},
        {"a cancel stops the transfers and deletes what they fetched",
         [](Downloads &t) {
             t.service_.set_fault("/media/*", {.kind = rvmock::Fault::Kind::None, .delay_ms = 300});
         },
         RVE_NOT_READY, -1, [](Downloads &) {}},
        {"a crash's leftovers are swept and a torn file is not counted whole",
         [](Downloads &t) {
             EXPECT_EQ(t.download(kGlass), RVE_OK);
             // Leftovers of a crash at any moment: a half-written index, a file renamed in
             // before the index listed it, a part of a forgotten item, a torn listed file.
             std::ofstream(t.store() + "/index.tmp") << "rv-downloads 1\nA 1";
             std::ofstream(t.store() + "/99.aac") << "unlisted";
             std::ofstream(t.store() + "/98.aac.part") << "forgotten";
             fs::resize_file(t.store() + "/" + std::to_string(kGlassFirst) + ".aac", 100);
             t.restart();
             EXPECT_EQ(t.info(kGlass).items_done, 4);
             t.service_.clear_requests();
         },
         RVE_OK, 5,
         [](Downloads &t) {
             // Only the torn audio is fetched again, whole.
             EXPECT_EQ(t.ranges_of(kGlassFirst), std::vector<std::string>{""});
             EXPECT_EQ(t.ranges_of(kGlassFirst + 1).size(), 0u);
         }},
        {"a part of a file that changed since is fetched again whole, If-Range honoured or not",
         [](Downloads &t) {
             // Both files are cut in every try; the run is stopped with their parts kept.
             for (const int64_t audio : {kGlassFirst, kGlassThird}) {
                 t.service_.set_fault(media_path(audio),
                                      {.kind = rvmock::Fault::Kind::Cut, .bytes = 3000});
             }
             Told cut;
             const rv_download_events events = cut.events();
             ASSERT_EQ(rv_downloadAlbum(kGlass, &events), RVE_OK);
             for (int i = 0; i < 600 && (t.ranges_of(kGlassFirst).size() < 2 ||
                                         t.ranges_of(kGlassThird).size() < 2);
                  ++i) {
                 std::this_thread::sleep_for(50ms);
             }
             t.restart();
             EXPECT_EQ(cut.wait(), RVE_NOT_READY);
             t.service_.clear_faults();
             for (const int64_t audio : {kGlassFirst, kGlassThird}) {
                 t.revised[audio] = t.service_.revise_media(media_path(audio));
                 ASSERT_FALSE(t.revised[audio].empty());
             }
             t.service_.set_fault(media_path(kGlassThird),
                                  {.kind = rvmock::Fault::Kind::NoIfRange});
             t.service_.clear_requests();
         },
         RVE_OK, 5,
         [](Downloads &t) {
             for (const auto &[audio, bytes] : t.revised) {
                 EXPECT_TRUE(t.stored_file(audio) == bytes) << audio << " is not the new version";
                 const auto asked = t.requests_of(audio);
                 ASSERT_FALSE(asked.empty());
                 EXPECT_EQ(asked.front().range.rfind("bytes=", 0), 0u) << audio;
                 EXPECT_NE(asked.front().if_range, "") << audio;
             }
             // Honoured, the resume is answered whole; ignored, its range of the new
             // version is refused and the file asked for whole.
             EXPECT_EQ(t.ranges_of(kGlassFirst).size(), 1u);
             const auto third = t.ranges_of(kGlassThird);
             ASSERT_EQ(third.size(), 2u);
             EXPECT_EQ(third.back(), "");
         }},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        service_.clear_requests();
        row.before(*this);
        const bool cancel = row.result == RVE_NOT_READY;
        EXPECT_EQ(
            download(kGlass, [&] { EXPECT_EQ(!cancel || rv_cancelDownload(kGlass) == 0, true); }),
            row.result);
        const rlimit unlimited{RLIM_INFINITY, RLIM_INFINITY};
        setrlimit(RLIMIT_FSIZE, &unlimited);
        if (row.items_done >= 0) {
            EXPECT_EQ(info(kGlass).items_done, row.items_done);
        }
        row.check(*this);
        expect_store_sound(row.name);
        service_.clear_faults();
        rv_setDownloadLimit(0);
        if (info(kGlass).album_id != 0) {  // a cancel before any audio was whole leaves none
            EXPECT_EQ(rv_removeDownload(kGlass), RVE_OK);
        }
        EXPECT_EQ(rv_getDownloadBytes(), 0);
    }
}

// Three processes on one data directory, as an application's life: a download
// killed mid-file, resumed by the next run at the byte, then the album played from
// first to last with the service gone; its reports reach the service once it is back.
TEST_F(Downloads, AnAlbumDownloadedThroughAKillPlaysWholeWithTheServiceGone) {
    rv_releaseSdk();  // the data directory is the processes' now
    const std::string url = service_.http_url();
    const rvtest::RunOptions env{{{"RV_OPEN_API_HTTP", url},
                                  {"RV_OPEN_API_HTTPS", service_.https_url()},
                                  {"RV_REPORT_HOST", url},
                                  {"RV_CA_FILE", service_.ca_file()}}};
    const std::vector<std::string> download = {"--data-dir", dir_.path(), "download",
                                               std::to_string(kSonatas)};
    constexpr int64_t kSecond = 3000000402;
    const std::string second = "/media/audio/" + std::to_string(kSecond) + "/aac_64.aac";
    ASSERT_TRUE(service_.prepare_media(second));
    service_.set_fault(second, {.kind = rvmock::Fault::Kind::Cut, .bytes = 5000});
    service_
        .clear_requests();  // a second try is asked for once the first one's 5000 bytes are kept
    {
        rvtest::RvcliProcess first(download, env);
        for (int i = 0; i < 600 && ranges_of(kSecond).size() < 2; ++i) {
            std::this_thread::sleep_for(50ms);
        }
        ASSERT_GE(ranges_of(kSecond).size(), 2u);
    }  // killed (SIGKILL) while it retries the cut file
    service_.clear_faults();
    service_.clear_requests();
    const rvtest::Result resumed = rvtest::run_rvcli(download, env);
    ASSERT_EQ(resumed.status, 0) << resumed.out << resumed.err;
    const auto ranges = ranges_of(kSecond);
    ASSERT_FALSE(ranges.empty());
    EXPECT_EQ(ranges.front().rfind("bytes=", 0), 0u)
        << "fetched again from the start: " << ::testing::PrintToString(ranges) << resumed.out;
    EXPECT_NE(ranges.front(), "bytes=0-");

    const std::string port = url.substr(url.rfind(':') + 1);
    const std::string https = service_.https_url();
    service_.stop();
    // Every output device the items open appends to one file, in the order they played.
    const std::string heard = dir_.file("heard.raw");
    rvtest::RunOptions offline = env;
    offline.env["RV_PCM_CAPTURE"] = "|cat >> " + heard;
    const rvtest::Result played = rvtest::run_rvcli(
        {"--data-dir", dir_.path(), "play", "album", std::to_string(kSonatas)}, offline);
    EXPECT_EQ(played.status, 0) << played.out << played.err;
    const auto mono = rvtone::read_raw_s16(heard, kRate, 1).mono();
    const double seconds[] = {5, 4, 3};
    for (int i = 0; i < 3; ++i) {
        EXPECT_NEAR(
            rvtone::tone_seconds(mono, kRate, rvtone::frequency_for_audio_id(3000000401 + i)),
            seconds[i], 0.4)
            << "audio " << i + 1;
    }

    // An album not downloaded cannot start offline: the run ends at once, failed.
    EXPECT_EQ(rvtest::run_rvcli(
                  {"--data-dir", dir_.path(), "play", "album", std::to_string(kGlass)}, offline)
                  .status,
              1);

    // The service back on its ports: the next start-up delivers what was heard.
    rvmock::Config again;
    again.http_port = static_cast<uint16_t>(std::stoi(port));
    again.https_port = static_cast<uint16_t>(std::stoi(https.substr(https.rfind(':') + 1)));
    rvmock::Service back(again);
    ASSERT_TRUE(back.start());
    ASSERT_EQ(rv::test::start_sdk(url, dir_.path()), 0);
    std::vector<std::string> heard_audios;
    for (int i = 0; i < 200 && heard_audios.size() < 3; ++i) {
        std::this_thread::sleep_for(50ms);
        heard_audios.clear();
        for (const rvmock::Report &r : back.reports()) {
            if (r.value("eventcode") == "101010" &&
                r.value("radioid") == std::to_string(kSonatas)) {
                heard_audios.push_back(r.value("audioid"));
            }
        }
    }
    EXPECT_EQ(heard_audios, (std::vector<std::string>{"3000000401", "3000000402", "3000000403"}));
    EXPECT_GT(info(kSonatas).last_played, 0);
    rv_releaseSdk();  // before the service it talks to
}

}  // namespace
