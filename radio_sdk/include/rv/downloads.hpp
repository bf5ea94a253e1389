/** @file
 * The radio SDK for C++20 (radio_sdk.hpp): albums kept on the device
 * (rv_download.h: the store, its guarantees and the offline start).
 */
#ifndef RV_DOWNLOADS_HPP
#define RV_DOWNLOADS_HPP

#include <cstdint>
#include <utility>
#include <vector>

#include "calls.hpp"
#include "error.hpp"
#include "function.hpp"
#include "future.hpp"
#include "radio_sdk.h"

namespace rv {

/* --- Downloads --------------------------------------------------------------- */

/// One album of the store (rv_download_info: state, audios done of total, bytes,
/// last play).
using DownloadInfo = rv_download_info;

/// What an album's download tells; each member may stay empty. They run on the
/// SDK's threads as rv_download_events' slots do (never through Config::dispatcher);
/// an exception they throw is dropped.
struct DownloadEvents {
    /// (audio id, bytes of its file so far, its size or -1)
    Function<void(int64_t audio_id, int64_t bytes_done, int64_t bytes_total)> on_progress{};
    /// (audio id, RVE_OK or the audio's failure), once per audio
    Function<void(int64_t audio_id, int result)> on_item_done{};
};

namespace detail {

// Owns the application's events and the album's promise until the SDK's last call.
struct DownloadRun {
    DownloadEvents events;
    Promise<void> done;

    static void progress(void *user, int64_t, int64_t audio, int64_t bytes,
                         int64_t total) noexcept {
        call(static_cast<DownloadRun *>(user)->events.on_progress, audio, bytes, total);
    }
    static void item(void *user, int64_t, int64_t audio, int result) noexcept {
        call(static_cast<DownloadRun *>(user)->events.on_item_done, audio, result);
    }
    // The SDK's last call for the album: the run is freed here.
    static void album(void *user, int64_t, int result) noexcept {
        Box<DownloadRun> run(static_cast<DownloadRun *>(user));
        if (result == RVE_OK) {
            run->done();
        } else {
            run->done(Error(result, "rv::Downloads: album download"));
        }
    }

  private:
    template <class F, class... A>
    static void call(const F &slot, A... args) noexcept {
        try {
            if (slot) {
                slot(args...);
            }
        } catch (...) {
            log_dropped_exception("download event");
        }
    }
};

}  // namespace detail

/// The download store (rv_download.h). Stateless: any number may exist; every
/// method may be called from any thread and blocks only on a short lock.
class Downloads {
  public:
    /// Downloads every audio of the album (rv_downloadAlbum). The future becomes
    /// ready when the album ended: nothing, or rv::Error with the first failure
    /// (RVE_OVER_QUOTA, RVE_NO_SPACE, RVE_NOT_READY when cancelled or the SDK
    /// stopped, ...). Throws rv::Error with rv_downloadAlbum's refusal
    /// (RVE_NOT_READY offline or before start-up, RVE_ALREADY_STARTED, ...).
    Future<void> download_album(int64_t album_id, DownloadEvents events = {}) const {
        auto run = detail::Box<detail::DownloadRun>::make();
        run->events = std::move(events);
        Future<void> future = run->done.future();
        rv_download_events slots{};
        slots.struct_size = sizeof slots;
        slots.user = run.get();
        slots.on_progress = &detail::DownloadRun::progress;
        slots.on_item_done = &detail::DownloadRun::item;
        slots.on_album_done = &detail::DownloadRun::album;
        if (const int code = rv_downloadAlbum(album_id, &slots); code != RVE_OK) {
            throw Error(code, "rv_downloadAlbum");
        }
        run.release();  // the album's last call frees it
        return future;
    }
    /// Stops the album's download, deleting its partial files (rv_cancelDownload).
    void cancel(int64_t album_id) const { check(rv_cancelDownload(album_id), "rv_cancelDownload"); }
    /// Deletes the album from the store (rv_removeDownload).
    void remove(int64_t album_id) const { check(rv_removeDownload(album_id), "rv_removeDownload"); }
    /// The store's quota in bytes, 0 for none (rv_setDownloadLimit).
    void set_limit(int64_t max_bytes) const {
        check(rv_setDownloadLimit(max_bytes), "rv_setDownloadLimit");
    }
    /// The albums of the store, oldest download first (rv_getDownloads).
    std::vector<DownloadInfo> list() const {
        rv_download_info *array = nullptr;
        size_t count = 0;
        check(rv_getDownloads(&array, &count), "rv_getDownloads");
        std::vector<DownloadInfo> albums(array, array + count);
        rv_freeDownloads(array);
        return albums;
    }
    /// Bytes of the store's audio files, what the quota counts (rv_getDownloadBytes).
    int64_t bytes() const noexcept { return rv_getDownloadBytes(); }

  private:
    static void check(int code, const char *call) {
        if (code != RVE_OK) {
            throw Error(code, call);
        }
    }
};

}  // namespace rv

#endif
