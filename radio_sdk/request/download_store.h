// The download store: audio files in `data_dir`/downloads and the index that lists
// them (layout and guarantees in rv_download.h).
//
// Threading: a Store is not locked itself; its owner (the download manager) calls it
// under one mutex. bytes() is atomic and may be read and changed without it.
#ifndef RV_REQUEST_DOWNLOAD_STORE_H
#define RV_REQUEST_DOWNLOAD_STORE_H

#include <atomic>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace rv::dl {

struct StoredItem {
    int64_t album = 0;
    int64_t audio = 0;
    bool whole = false;  // its file is in the store, checked and renamed
    int64_t total = -1;  // the file's size as its host announced it; -1 unknown
    std::string etag;    // the host's ETag ("" without one), for resuming
    std::string name;    // file name within the store, "<audioId>.<ext>"
    int order = 0;       // its place in the album's list, from 1
    std::string meta;    // its record as the album's list gave it (one line of JSON)
};

struct StoredAlbum {
    int64_t id = 0;
    int state = 0;  // rv_download_state
    int items_total = 0;
    int64_t last_played = 0;  // seconds since the epoch
};

class Store {
  public:
    // Opens (makes) `data_dir`/downloads, reads the index and deletes every file
    // it does not list (a crash's leftovers). False when the directory is unusable.
    bool open(const std::string &data_dir);
    void close();
    bool is_open() const { return !dir_.empty(); }

    std::string path_of(const std::string &name) const { return dir_ + "/" + name; }
    std::string part_of(const StoredItem &item) const { return path_of(item.name) + ".part"; }

    StoredAlbum *album(int64_t id);
    StoredAlbum &add_album(int64_t id);  // an album known already is returned as it is
    const std::vector<StoredAlbum> &albums() const { return albums_; }
    StoredItem *item(int64_t audio);
    StoredItem &put_item(const StoredItem &item);
    std::vector<StoredItem *> items_of(int64_t album);
    // Deletes the item's files (whole and partial) and its entry.
    void remove_item(int64_t audio);
    // Deletes a partial file and forgets its ETag; the entry stays.
    void drop_part(StoredItem &item);
    void remove_album(int64_t id);
    // Bytes of the album's files, partial ones included.
    int64_t album_bytes(int64_t album) const;

    // Enters the item's partial file, synced by the caller and `size` bytes long, into
    // the store: renamed whole, the directory synced, the item listed whole in a
    // rewritten index. False (nothing listed) when the rename fails.
    bool enter(StoredItem &item, int64_t size);

    // Rewrites the index atomically. False (index unchanged on disk) on failure.
    bool save() const;

    // The file of a whole audio when its size is still the one checked in; else "".
    std::string playable(int64_t audio) const;

    // Bytes of the store's audio files, whole and partial: what the quota counts.
    std::atomic<int64_t> &bytes() { return bytes_; }

  private:
    void load();
    void sweep();

    std::string dir_;
    std::vector<StoredAlbum> albums_;  // oldest first
    std::map<int64_t, StoredItem> items_;
    std::atomic<int64_t> bytes_{0};
};

// Size of a file, -1 when it is missing or not a regular file.
int64_t file_size(const std::string &path);

}  // namespace rv::dl

#endif
