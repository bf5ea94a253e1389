#include "records.h"

#include <array>

#include "envelope.h"

namespace rvmock {

namespace {

constexpr std::array<Field, 21> kAudioFields{{
    {"audioName", FieldType::Str},        {"audioPic", FieldType::Str},
    {"audioDes", FieldType::Str},         {"albumName", FieldType::Str},
    {"albumPic", FieldType::Str},         {"albumId", FieldType::Int},
    {"audioId", FieldType::Int},          {"updateTime", FieldType::Int},
    {"orderNum", FieldType::Int},         {"duration", FieldType::Int},
    {"originalDuration", FieldType::Int}, {"listenNum", FieldType::Int},
    {"likedNum", FieldType::Int},         {"hasCopyright", FieldType::Int},
    {"commentNum", FieldType::Int},       {"trailerStart", FieldType::Int},
    {"trailerEnd", FieldType::Int},       {"categoryId", FieldType::Int},
    {"isListened", FieldType::Int},       {"aacFileSize", FieldType::Int},
    {"mp3FileSize32", FieldType::Int},
}};

constexpr std::array<Field, 6> kAlbumItemFields{{
    {"source", FieldType::Int},
    {"id", FieldType::Int},
    {"listenNum", FieldType::Int},
    {"name", FieldType::Str},
    {"img", FieldType::Str},
    {"sourceName", FieldType::Str},
}};

struct UrlField {
    const char *key;
    const char *format;
};
constexpr std::array<UrlField, 6> kUrlFields{{
    {"mp3PlayUrl32", "mp3_32"},
    {"mp3PlayUrl64", "mp3_64"},
    {"aacPlayUrl", "aac_64"},
    {"aacPlayUrl32", "aac_32"},
    {"aacPlayUrl64", "aac_64"},
    {"aacPlayUrl128", "aac_128"},
}};

// Constant-bit-rate estimate; the exact size is the Content-Length of the file.
int64_t estimated_size(int64_t duration_ms, int kbps) {
    return duration_ms * kbps / 8;
}

}  // namespace

std::string continuous_part_path(int64_t audio_id, const std::string &codec) {
    return "/media/audio/" + std::to_string(audio_id) + "/part." +
           (codec.starts_with("mp4") ? "m4a" : "mp3");
}

std::string audio_media_path(int64_t audio_id, const std::string &format) {
    std::string extension = format.rfind("mp3", 0) == 0 ? ".mp3" : ".aac";
    return "/media/audio/" + std::to_string(audio_id) + "/" + format + extension;
}

std::string picture_url(const std::string &media_base, const std::string &path) {
    return !path.empty() && path.front() == '/' ? media_base + path : path;
}

void absolutise_picture(cJSON *object, const char *key, const std::string &media_base) {
    std::string url = picture_url(media_base, get_str(object, key));
    cJSON_ReplaceItemInObjectCaseSensitive(object, key, cJSON_CreateString(url.c_str()));
}

Json audio_json(const cJSON *audio, const std::string &media_base, const char *clock_id) {
    Json object = project(audio, kAudioFields);
    cJSON *o = object.get();
    int64_t id = get_int(audio, "audioId");
    int64_t duration = get_int(audio, "duration");
    const std::string continuous = get_str(audio, "continuous");
    for (const UrlField &field : kUrlFields) {
        put_str(o, field.key,
                media_base + (continuous.empty() ? audio_media_path(id, field.format)
                                                 : continuous_part_path(id, continuous)));
    }
    absolutise_picture(o, "audioPic", media_base);
    absolutise_picture(o, "albumPic", media_base);
    cJSON_ReplaceItemInObjectCaseSensitive(
        o, "aacFileSize", cJSON_CreateNumber(static_cast<double>(estimated_size(duration, 64))));
    cJSON_ReplaceItemInObjectCaseSensitive(
        o, "mp3FileSize32", cJSON_CreateNumber(static_cast<double>(estimated_size(duration, 32))));
    put_int(o, "mp3FileSize64", estimated_size(duration, 64));
    if (clock_id) {
        put_str(o, "clockId", clock_id);
    }
    return object;
}

Json category_list(const cJSON *categories, const std::string &media_base) {
    Json list = json_array();
    const cJSON *category = nullptr;
    cJSON_ArrayForEach(category, categories) {
        Json object = json_object();
        put_int(object.get(), "cid", get_int(category, "cid"));
        const cJSON *sub = cJSON_GetObjectItemCaseSensitive(category, "sub");
        put_int(object.get(), "hasSub", cJSON_GetArraySize(sub) > 0 ? 1 : 0);
        put_str(object.get(), "name", get_str(category, "name"));
        put_str(object.get(), "img", picture_url(media_base, get_str(category, "img")));
        append(list.get(), std::move(object));
    }
    return list;
}

Json album_item_json(const cJSON *album, const std::string &media_base) {
    Json object = project(album, kAlbumItemFields);
    absolutise_picture(object.get(), "img", media_base);
    return object;
}

}  // namespace rvmock
