// Answer shapes shared by several endpoint groups: audios (album pages,
// smartcast batches, radio labels), album list items and picture URLs.
#pragma once

#include <cstdint>
#include <string>

#include "json.h"

namespace rvmock {

// Media URL paths of an audio; `format` is one of aac_32, aac_64, aac_128,
// mp3_32, mp3_64 (the file extension follows the codec).
std::string audio_media_path(int64_t audio_id, const std::string &format);
// The one file of an audio of a continuous series ("mp3", "mp4" or "mp4_itunes"), whatever
// the format.
std::string continuous_part_path(int64_t audio_id, const std::string &codec);

// A stored audio with its media URLs and estimated file sizes; `clock_id`
// (smartcast batches and radio labels only) adds "clockId".
Json audio_json(const cJSON *audio, const std::string &media_base, const char *clock_id = nullptr);
// An album as list items carry it: source, id, listenNum, name, img, sourceName.
Json album_item_json(const cJSON *album, const std::string &media_base);

// Categories as lists carry them: cid, hasSub (from the "sub" array), name, img.
Json category_list(const cJSON *categories, const std::string &media_base);

// Fixture pictures are paths on the service ("/img/..."); answers carry full URLs.
std::string picture_url(const std::string &media_base, const std::string &path);
// Replaces the string member `key` (which must exist) by its full picture URL.
void absolutise_picture(cJSON *object, const char *key, const std::string &media_base);

}  // namespace rvmock
