// The download functions of rv_download.h over the download manager.

#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <new>
#include <vector>

#include "request/download_manager.h"
#include "rv_download.h"
#include "rv_error.h"
#include "rv_sdk_info.h"
#include "util/debug.h"

namespace {

constexpr const char *kTag = "DOWNLOAD";

// Every slot after the user pointer is a function pointer: a size ending inside one
// is no version's record.
bool record_size_ok(size_t size) {
    constexpr size_t kHead = offsetof(rv_download_events, on_progress);
    constexpr size_t kSlot = sizeof(rv_download_events::on_progress);
    return size >= kHead && (size - kHead) % kSlot == 0;
}

bool started() {
    return mSdkInitOk != 0;
}

// `call`'s result, out of memory as its code. What the store holds is the
// application's also while a start-up has not reached the service (offline): only a
// new download needs a started SDK; the rest needs the store, open from rv_initSdk
// to rv_releaseSdk (the download manager answers RVE_NOT_READY outside).
template <class Call>
int guarded(bool needs_service, Call call) {
    if (needs_service && !started()) {
        return RVE_NOT_READY;
    }
    try {
        return call();
    } catch (const std::bad_alloc &) {
        return RVE_NO_MEMORY;
    }
}

}  // namespace

int rv_downloadAlbum(int64_t album_id, const rv_download_events *events) {
    LOGD(kTag, "CALL API [%s] \n", "rv_downloadAlbum");
    if (events == nullptr || !record_size_ok(events->struct_size) || album_id < 1) {
        return RVE_BAD_ARGS;
    }
    return guarded(true, [&] { return rv::dl::download_album(album_id, events); });
}

int rv_cancelDownload(int64_t album_id) {
    LOGD(kTag, "CALL API [%s] \n", "rv_cancelDownload");
    return guarded(false, [&] { return rv::dl::cancel(album_id); });
}

int rv_removeDownload(int64_t album_id) {
    LOGD(kTag, "CALL API [%s] \n", "rv_removeDownload");
    return guarded(false, [&] { return rv::dl::remove(album_id); });
}

int rv_setDownloadLimit(int64_t max_bytes) {
    if (max_bytes < 0) {
        return RVE_BAD_ARGS;
    }
    rv::dl::set_limit(max_bytes);
    return RVE_OK;
}

int rv_getDownloads(rv_download_info **out, size_t *count) {
    if (out == nullptr || count == nullptr) {
        return RVE_BAD_ARGS;
    }
    *out = nullptr;
    *count = 0;
    std::vector<rv_download_info> albums;
    try {
        if (int code = rv::dl::list(albums); code != RVE_OK) {
            return code;
        }
    } catch (const std::bad_alloc &) {
        return RVE_NO_MEMORY;
    }
    if (albums.empty()) {
        return RVE_OK;
    }
    // malloc'ed: the application frees it through rv_freeDownloads whatever its allocator.
    auto *array =
        static_cast<rv_download_info *>(std::calloc(albums.size(), sizeof(rv_download_info)));
    if (array == nullptr) {
        return RVE_NO_MEMORY;
    }
    std::copy(albums.begin(), albums.end(), array);
    *out = array;
    *count = albums.size();
    return RVE_OK;
}

void rv_freeDownloads(rv_download_info *list) {
    std::free(list);
}

int64_t rv_getDownloadBytes(void) {
    return rv::dl::store_bytes();
}
