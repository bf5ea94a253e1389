#include "fixtures.h"

#include <fstream>
#include <sstream>

namespace rvmock {

namespace {

Json read_json_file(const std::string &path, std::string &error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "cannot read " + path;
        return nullptr;
    }
    std::ostringstream text;
    text << in.rdbuf();
    Json root = json_parse(text.str());
    if (!cJSON_IsObject(root.get())) {
        error = path + " is not a JSON object";
        return nullptr;
    }
    return root;
}

const cJSON *array_member(const cJSON *object, const char *key) {
    const cJSON *item = cJSON_GetObjectItemCaseSensitive(object, key);
    return cJSON_IsArray(item) ? item : nullptr;
}

std::string replace_all(std::string text, const std::string &from, const std::string &to) {
    for (size_t at = text.find(from); at != std::string::npos;
         at = text.find(from, at + to.size())) {
        text.replace(at, from.size(), to);
    }
    return text;
}

// An album's audios are written as a series: first id, count, title pattern with
// "{n}" for the 1-based number, and durations (milliseconds) used in turn.
bool generate_audios(const cJSON *album, AlbumEntry &entry, std::string &error) {
    const cJSON *series = cJSON_GetObjectItemCaseSensitive(album, "audios");
    const cJSON *durations = array_member(series, "durations_ms");
    int64_t first_id = get_int(series, "first_id", 0);
    int64_t count = get_int(series, "count", 0);
    if (!cJSON_IsObject(series) || first_id < 1 || count < 1 || !durations ||
        cJSON_GetArraySize(durations) < 1) {
        error = "album " + std::to_string(get_int(album, "id")) +
                ": \"audios\" needs first_id, count and durations_ms";
        return false;
    }
    // A continuous series is one tone cut into parts: each part starts where the last ended.
    const std::string continuous = get_str(series, "continuous");
    int64_t start_ms = 0;
    for (int64_t n = 1; n <= count; ++n) {
        int64_t duration = static_cast<int64_t>(
            cJSON_GetArrayItem(durations, static_cast<int>((n - 1) % cJSON_GetArraySize(durations)))
                ->valuedouble);
        std::string number = std::to_string(n);
        Json audio = json_object();
        cJSON *a = audio.get();
        put_str(a, "audioName", replace_all(get_str(series, "title"), "{n}", number));
        put_str(a, "audioPic", get_str(album, "img"));
        put_str(a, "audioDes", replace_all(get_str(series, "description"), "{n}", number));
        put_str(a, "albumName", get_str(album, "name"));
        put_str(a, "albumPic", get_str(album, "img"));
        put_int(a, "albumId", get_int(album, "id"));
        put_int(a, "audioId", first_id + n - 1);
        put_int(a, "updateTime", get_int(series, "updateTime") + n * 60000);
        put_int(a, "orderNum", n);
        put_int(a, "duration", duration);
        put_int(a, "originalDuration", duration);
        put_int(a, "listenNum", 100 * n);
        put_int(a, "likedNum", n);
        put_int(a, "hasCopyright", 1);
        put_int(a, "commentNum", n % 7);
        put_int(a, "trailerStart", 0);
        put_int(a, "trailerEnd", 0);
        put_int(a, "categoryId", get_int(album, "cid"));
        put_int(a, "isListened", 0);
        if (!continuous.empty()) {
            put_str(a, "continuous", continuous);
            put_int(a, "startMs", start_ms);
        }
        start_ms += duration;
        entry.audios.push_back(std::move(audio));
    }
    return true;
}

}  // namespace

bool Fixtures::load(const std::string &dir, std::string &error) {
    catalogue_ = read_json_file(dir + "/catalogue.json", error);
    smartcast_ = catalogue_ ? read_json_file(dir + "/smartcast.json", error) : nullptr;
    broadcast_ = smartcast_ ? read_json_file(dir + "/broadcast.json", error) : nullptr;
    return broadcast_ && index_catalogue(error) && index_smartcasts(error) &&
           index_broadcasts(error);
}

bool Fixtures::index_catalogue(std::string &error) {
    const cJSON *top = categories();
    const cJSON *albums = array_member(catalogue_.get(), "albums");
    if (!top || !albums) {
        error = "catalogue.json needs \"categories\" and \"albums\" arrays";
        return false;
    }
    const cJSON *category = nullptr;
    cJSON_ArrayForEach(category, top) {
        categories_by_id_[get_int(category, "cid")] = category;
        const cJSON *sub = nullptr;
        cJSON_ArrayForEach(sub, array_member(category, "sub")) {
            categories_by_id_[get_int(sub, "cid")] = sub;
            parents_[get_int(sub, "cid")] = category;
        }
    }
    const cJSON *album = nullptr;
    cJSON_ArrayForEach(album, albums) {
        AlbumEntry entry;
        entry.album = album;
        if (!generate_audios(album, entry, error)) {
            return false;
        }
        size_t index = albums_.size();
        album_index_[get_int(album, "id")] = index;
        for (size_t i = 0; i < entry.audios.size(); ++i) {
            audio_index_[get_int(entry.audios[i].get(), "audioId")] = AudioRef{index, i};
        }
        albums_.push_back(std::move(entry));
    }
    return true;
}

bool Fixtures::index_smartcasts(std::string &error) {
    const cJSON *radios = array_member(smartcast_.get(), "radios");
    if (!radios || !smartcast_categories() || !operate() || !radio_labels()) {
        error = "smartcast.json needs \"categories\", \"radios\", \"operate\" and \"radioLabels\"";
        return false;
    }
    const cJSON *radio = nullptr;
    cJSON_ArrayForEach(radio, radios) {
        const cJSON *batch = nullptr;
        cJSON_ArrayForEach(batch, array_member(radio, "batches")) {
            const cJSON *id = nullptr;
            cJSON_ArrayForEach(id, array_member(batch, "audios")) {
                if (!audio(static_cast<int64_t>(id->valuedouble))) {
                    error = "smartcast " + std::to_string(get_int(radio, "id")) +
                            " names an unknown audio";
                    return false;
                }
            }
        }
        smartcasts_.push_back(radio);
    }
    return true;
}

bool Fixtures::index_broadcasts(std::string &error) {
    const cJSON *list = array_member(broadcast_.get(), "broadcasts");
    if (!list || !broadcast_categories() || !broadcast_areas()) {
        error = "broadcast.json needs \"categories\", \"areas\" and \"broadcasts\"";
        return false;
    }
    const cJSON *broadcast = nullptr;
    cJSON_ArrayForEach(broadcast, list) {
        int64_t id = get_int(broadcast, "broadcastId");
        if (id < 1 || id > 900000) {
            // Programme ids are the broadcast id times 10^10 plus the slot number.
            error = "broadcast ids must lie in 1..900000";
            return false;
        }
        broadcasts_.push_back(broadcast);
    }
    return true;
}

const cJSON *Fixtures::categories() const {
    return array_member(catalogue_.get(), "categories");
}

const cJSON *Fixtures::category(int64_t cid) const {
    auto it = categories_by_id_.find(cid);
    return it == categories_by_id_.end() ? nullptr : it->second;
}

const cJSON *Fixtures::parent_of(int64_t cid) const {
    auto it = parents_.find(cid);
    return it == parents_.end() ? nullptr : it->second;
}

const AlbumEntry *Fixtures::album(int64_t id) const {
    auto it = album_index_.find(id);
    return it == album_index_.end() ? nullptr : &albums_[it->second];
}

const cJSON *Fixtures::audio(int64_t id) const {
    auto it = audio_index_.find(id);
    return it == audio_index_.end() ? nullptr
                                    : albums_[it->second.album].audios[it->second.index].get();
}

const AlbumEntry *Fixtures::album_of_audio(int64_t audio_id) const {
    auto it = audio_index_.find(audio_id);
    return it == audio_index_.end() ? nullptr : &albums_[it->second.album];
}

const cJSON *Fixtures::smartcast_categories() const {
    return array_member(smartcast_.get(), "categories");
}

const cJSON *Fixtures::smartcast(int64_t id) const {
    for (const cJSON *radio : smartcasts_) {
        if (get_int(radio, "id") == id) {
            return radio;
        }
    }
    return nullptr;
}

const cJSON *Fixtures::operate() const {
    return array_member(smartcast_.get(), "operate");
}
const cJSON *Fixtures::radio_labels() const {
    return array_member(smartcast_.get(), "radioLabels");
}

const cJSON *Fixtures::broadcast_categories() const {
    return array_member(broadcast_.get(), "categories");
}

const cJSON *Fixtures::broadcast_areas() const {
    return array_member(broadcast_.get(), "areas");
}

const cJSON *Fixtures::broadcast(int64_t id) const {
    for (const cJSON *broadcast : broadcasts_) {
        if (get_int(broadcast, "broadcastId") == id) {
            return broadcast;
        }
    }
    return nullptr;
}

int Fixtures::programme_minutes() const {
    return static_cast<int>(get_int(broadcast_.get(), "programmeMinutes", 60));
}

}  // namespace rvmock
