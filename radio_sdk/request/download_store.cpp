#include "request/download_store.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <memory>
#include <set>
#include <sstream>

#include "util/debug.h"
#include "util/private_file.h"

namespace rv::dl {

namespace {

constexpr const char *kTag = "DOWNLOAD";
constexpr const char *kIndex = "index";
constexpr const char *kIndexTemp = "index.tmp";
constexpr const char *kMagic = "rv-downloads 1";

struct DirCloser {
    void operator()(DIR *dir) const { ::closedir(dir); }
};

// A name the index may hold: one path component of ours, no whitespace.
bool safe_name(const std::string &name) {
    return !name.empty() && name[0] != '.' && name.find_first_of("/ \t\r\n") == std::string::npos;
}

}  // namespace

int64_t file_size(const std::string &path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
        return -1;
    }
    return static_cast<int64_t>(st.st_size);
}

bool Store::open(const std::string &data_dir) {
    const std::string dir = data_dir + "/downloads";
    if (::mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST) {
        LOGE(kTag, "cannot make %s \n", dir.c_str());
        return false;
    }
    struct stat st {};
    if (::lstat(dir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        LOGE(kTag, "%s is not a directory \n", dir.c_str());
        return false;
    }
    dir_ = dir;
    albums_.clear();
    items_.clear();
    load();
    sweep();
    return true;
}

void Store::close() {
    dir_.clear();
    albums_.clear();
    items_.clear();
    bytes_ = 0;
}

void Store::load() {
    const UniqueFd fd = rv::util::open_private(path_of(kIndex), O_RDONLY);
    if (!fd) {
        return;
    }
    std::string text;
    char chunk[4096];
    for (ssize_t n; (n = ::read(fd.get(), chunk, sizeof chunk)) > 0;) {
        text.append(chunk, static_cast<size_t>(n));
    }
    std::istringstream in(text);
    std::string line;
    if (!std::getline(in, line) || line != kMagic) {
        LOGW(kTag, "download index not readable, the store starts empty \n");
        return;
    }
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::string kind;
        fields >> kind;
        if (kind == "A") {
            StoredAlbum album;
            if (fields >> album.id >> album.state >> album.items_total >> album.last_played) {
                albums_.push_back(album);
            }
        } else if (kind == "I") {
            StoredItem item;
            int whole = 0;
            if (fields >> item.album >> item.audio >> whole >> item.total >> item.etag >>
                    item.name &&
                safe_name(item.name)) {
                item.whole = whole != 0;
                if (fields >> item.order) {
                    std::getline(fields >> std::ws, item.meta);
                }
                if (item.etag == "-") {
                    item.etag.clear();
                }
                items_[item.audio] = item;
            }
        }
    }
}

// Deletes what the index does not list (a file renamed in before the index that
// would have named it was written, a part of a forgotten item) and counts the rest.
void Store::sweep() {
    std::set<std::string> listed{kIndex};
    for (const auto &[audio, item] : items_) {
        (item.whole ? listed.insert(item.name) : listed.insert(item.name + ".part"));
    }
    const std::unique_ptr<DIR, DirCloser> dir(::opendir(dir_.c_str()));
    int64_t total = 0;
    while (dir) {
        const dirent *entry = ::readdir(dir.get());
        if (entry == nullptr) {
            break;
        }
        const std::string name = entry->d_name;
        if (name == "." || name == "..") {
            continue;
        }
        if (listed.count(name) == 0) {
            LOGD(kTag, "removing %s: not in the index \n", name.c_str());
            ::unlink(path_of(name).c_str());
        } else if (name != kIndex) {
            total += std::max<int64_t>(0, file_size(path_of(name)));
        }
    }
    bytes_ = total;
}

StoredAlbum *Store::album(int64_t id) {
    const auto it = std::find_if(albums_.begin(), albums_.end(),
                                 [id](const StoredAlbum &a) { return a.id == id; });
    return it == albums_.end() ? nullptr : &*it;
}

StoredAlbum &Store::add_album(int64_t id) {
    if (StoredAlbum *known = album(id)) {
        return *known;
    }
    albums_.push_back(StoredAlbum{id, 0, 0, 0});
    return albums_.back();
}

StoredItem *Store::item(int64_t audio) {
    const auto it = items_.find(audio);
    return it == items_.end() ? nullptr : &it->second;
}

StoredItem &Store::put_item(const StoredItem &item) {
    return items_[item.audio] = item;
}

std::vector<StoredItem *> Store::items_of(int64_t album) {
    std::vector<StoredItem *> out;
    for (auto &[audio, item] : items_) {
        if (item.album == album) {
            out.push_back(&item);
        }
    }
    return out;
}

void Store::drop_part(StoredItem &item) {
    const std::string part = part_of(item);
    const int64_t size = file_size(part);
    if (size >= 0 && ::unlink(part.c_str()) == 0) {
        bytes_ -= size;
    }
    item.etag.clear();
    item.total = -1;
}

void Store::remove_item(int64_t audio) {
    StoredItem *item = this->item(audio);
    if (item == nullptr) {
        return;
    }
    drop_part(*item);
    const std::string whole = path_of(item->name);
    const int64_t size = file_size(whole);
    if (size >= 0 && ::unlink(whole.c_str()) == 0) {
        bytes_ -= size;
    }
    items_.erase(audio);
}

void Store::remove_album(int64_t id) {
    for (StoredItem *item : items_of(id)) {
        remove_item(item->audio);
    }
    std::erase_if(albums_, [id](const StoredAlbum &a) { return a.id == id; });
}

int64_t Store::album_bytes(int64_t album) const {
    int64_t total = 0;
    for (const auto &[audio, item] : items_) {
        if (item.album == album) {
            total += std::max<int64_t>(0, file_size(path_of(item.name)));
            total += std::max<int64_t>(0, file_size(part_of(item)));
        }
    }
    return total;
}

bool Store::enter(StoredItem &item, int64_t size) {
    const std::string whole = path_of(item.name);
    if (::rename(part_of(item).c_str(), whole.c_str()) != 0) {
        return false;
    }
    rv::util::sync_parent_directory(whole);
    item.whole = true;
    item.total = size;
    save();
    return true;
}

bool Store::save() const {
    std::ostringstream out;
    out << kMagic << '\n';
    for (const StoredAlbum &a : albums_) {
        out << "A " << a.id << ' ' << a.state << ' ' << a.items_total << ' ' << a.last_played
            << '\n';
    }
    for (const auto &[audio, item] : items_) {
        out << "I " << item.album << ' ' << item.audio << ' ' << (item.whole ? 1 : 0) << ' '
            << item.total << ' ' << (item.etag.empty() ? "-" : item.etag) << ' ' << item.name << ' '
            << item.order << ' ' << item.meta << '\n';
    }
    const std::string temp = path_of(kIndexTemp);
    bool written = false;
    {
        const UniqueFd fd = rv::util::open_private(temp, O_WRONLY | O_CREAT | O_TRUNC);
        written = fd && rv::util::write_all(fd.get(), out.str()) && ::fsync(fd.get()) == 0;
    }
    if (!written || ::rename(temp.c_str(), path_of(kIndex).c_str()) != 0) {
        LOGE(kTag, "download index not written \n");
        ::unlink(temp.c_str());
        return false;
    }
    rv::util::sync_parent_directory(path_of(kIndex));
    return true;
}

std::string Store::playable(int64_t audio) const {
    const auto it = items_.find(audio);
    if (it == items_.end() || !it->second.whole) {
        return {};
    }
    const std::string path = path_of(it->second.name);
    const int64_t size = file_size(path);
    if (size <= 0 || (it->second.total >= 0 && size != it->second.total)) {
        return {};
    }
    return path;
}

}  // namespace rv::dl
