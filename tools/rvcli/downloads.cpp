// Albums kept on the device: download one (with its progress), list them, remove one.
#include <condition_variable>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>

#include "commands.h"
#include "output.h"
#include "rv_download.h"
#include "rv_error.h"
#include "screen.h"

namespace rvcli {
namespace {

// The download's end, waited for by the command's thread.
struct Ending {
    std::mutex mutex;
    std::condition_variable cv;
    bool done = false;
    int result = RVE_OK;
};

void on_progress(void *, int64_t, int64_t audio, int64_t done, int64_t total) {
    print_line("audio " + std::to_string(audio) + ": " + std::to_string(done) + " of " +
               (total < 0 ? std::string("?") : std::to_string(total)) + " bytes");
}

void on_item_done(void *, int64_t, int64_t audio, int result) {
    print_line("audio " + std::to_string(audio) + ": " +
               (result == RVE_OK ? std::string("done") : rv_resultText(result)));
}

void on_album_done(void *user, int64_t, int result) {
    auto *ending = static_cast<Ending *>(user);
    std::lock_guard lock(ending->mutex);
    ending->done = true;
    ending->result = result;
    ending->cv.notify_all();
}

int checked(int code) {
    if (code != RVE_OK) {
        throw std::runtime_error(rv_resultText(code));
    }
    return 0;
}

int download(Context &c, const Args &a) {
    const int64_t album = a.number(0, "ALBUM");
    c.session();
    Ending ending;
    rv_download_events events{};
    events.struct_size = sizeof events;
    events.user = &ending;
    events.on_progress = on_progress;
    events.on_item_done = on_item_done;
    events.on_album_done = on_album_done;
    checked(rv_downloadAlbum(album, &events));
    std::unique_lock lock(ending.mutex);
    ending.cv.wait(lock, [&] { return ending.done; });
    print_text("download", ending.result == RVE_OK ? "complete" : rv_resultText(ending.result),
               c.options.json);
    return ending.result == RVE_OK ? 0 : 1;
}

const char *state_name(int32_t state) {
    switch (state) {
        case RV_DOWNLOAD_RUNNING:
            return "downloading";
        case RV_DOWNLOAD_COMPLETE:
            return "complete";
        default:
            return "partial";
    }
}

int downloads(Context &c, const Args &) {
    c.session();
    rv_download_info *list = nullptr;
    size_t count = 0;
    checked(rv_getDownloads(&list, &count));
    const std::unique_ptr<rv_download_info, decltype(&rv_freeDownloads)> owned(list,
                                                                               rv_freeDownloads);
    Table table{{"album", "state", "audios", "of", "bytes", "last_played"}, {}};
    for (size_t i = 0; i < count; ++i) {
        const rv_download_info &d = list[i];
        table.rows.push_back({d.album_id, std::string(state_name(d.state)), int64_t{d.items_done},
                              int64_t{d.items_total}, d.bytes, d.last_played});
    }
    print_list(table, c.options.json);
    return 0;
}

int remove(Context &c, const Args &a) {
    const int64_t album = a.number(0, "ALBUM");
    c.session();
    checked(rv_removeDownload(album));
    print_text("removed", std::to_string(album), c.options.json);
    return 0;
}

}  // namespace

std::vector<Command> download_commands() {
    return {
        {"download", "ALBUM", "keep every audio of an album on this device", 1, 1, {}, download},
        {"downloads", "", "the albums kept on this device", 0, 0, {}, downloads},
        {"remove", "ALBUM", "delete an album kept on this device", 1, 1, {}, remove},
    };
}

}  // namespace rvcli
