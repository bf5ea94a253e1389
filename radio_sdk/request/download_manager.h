// Album downloads: the list of an album fetched page by page through the album's
// audio-list request, each audio streamed into the store (download_store.h) by two
// threads of their own. The public face is rv_download.h.
//
// Threading: every function may be called from any thread and blocks only on a short
// lock and file operations, except close(), which waits for the two threads (a
// transfer stops within about a second). Events run on those threads (or as
// rv_download.h says) without any lock of this module held.
#ifndef RV_REQUEST_DOWNLOAD_MANAGER_H
#define RV_REQUEST_DOWNLOAD_MANAGER_H

#include <cstdint>
#include <string>
#include <vector>

#include "rv_data.h"
#include "rv_download.h"

namespace rv::dl {

// Opens the store in `data_dir` and starts the two download threads. At start-up.
void open(const char *data_dir);
// Stops the threads (partial files stay, for a later resume), tells every album still
// downloading RVE_NOT_READY on the calling thread, and closes the store. Before the
// transport stops.
void close();

int download_album(int64_t album_id, const rv_download_events *events);
int cancel(int64_t album_id);
int remove(int64_t album_id);
void set_limit(int64_t max_bytes);
int list(std::vector<rv_download_info> &out);
int64_t store_bytes();

// The album's audios whole in the store as one last page, in the album's order, their
// records as its list gave them when downloaded: what plays when the service does not
// answer. Null when the store holds none of it (or memory is short); else the
// caller's (dao_audio_set_del).
dao_audio_set *album_page(int64_t album_id);

// The file a downloaded audio plays from ("" when it is not whole in the store);
// notes the album's last play, which a download thread writes into the index (the
// caller does not wait on the disk).
std::string playable_path(int64_t audio_id);
// The same file, for a look ahead: its last play is not noted.
std::string stored_path(int64_t audio_id);

}  // namespace rv::dl

#endif
