// The catalogue the service answers from: three JSON files under the fixtures
// directory (catalogue.json, smartcast.json, broadcast.json), read once at start.
// Objects keep the keys they carry on the wire; the endpoint groups add what is
// computed per request (URLs, paging, live status).
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "json.h"

namespace rvmock {

struct AlbumEntry {
    const cJSON *album = nullptr;  // the fixture object
    std::vector<Json> audios;      // generated from its "audios" series, in order
};

struct AudioRef {
    size_t album = 0;  // index into Fixtures::albums
    size_t index = 0;  // index into AlbumEntry::audios
};

class Fixtures {
  public:
    // False with a reason when a file is missing, is not JSON, or breaks the shape.
    bool load(const std::string &dir, std::string &error);

    const cJSON *categories() const;            // top-level categories, each with "sub"
    const cJSON *category(int64_t cid) const;   // any level; null when unknown
    const cJSON *parent_of(int64_t cid) const;  // null for a top-level category
    const std::vector<AlbumEntry> &albums() const { return albums_; }
    const AlbumEntry *album(int64_t id) const;
    const cJSON *audio(int64_t id) const;
    const AlbumEntry *album_of_audio(int64_t audio_id) const;

    const cJSON *smartcast_categories() const;
    const std::vector<const cJSON *> &smartcasts() const { return smartcasts_; }
    const cJSON *smartcast(int64_t id) const;
    const cJSON *operate() const;
    const cJSON *radio_labels() const;

    const cJSON *broadcast_categories() const;
    const cJSON *broadcast_areas() const;
    const std::vector<const cJSON *> &broadcasts() const { return broadcasts_; }
    const cJSON *broadcast(int64_t id) const;
    int programme_minutes() const;

  private:
    bool index_catalogue(std::string &error);
    bool index_smartcasts(std::string &error);
    bool index_broadcasts(std::string &error);

    Json catalogue_, smartcast_, broadcast_;
    std::map<int64_t, const cJSON *> categories_by_id_;
    std::map<int64_t, const cJSON *> parents_;
    std::vector<AlbumEntry> albums_;
    std::map<int64_t, size_t> album_index_;
    std::map<int64_t, AudioRef> audio_index_;
    std::vector<const cJSON *> smartcasts_;
    std::vector<const cJSON *> broadcasts_;
};

}  // namespace rvmock
