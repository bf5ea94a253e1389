// Categories, albums and their audios.
//
// Album order (sorttype of the album list): 2 = most listened first, anything
// else = catalogue order. Audio order (sorttype of the audio list): 2 = last
// episode first, anything else = first episode first.
#include <algorithm>
#include <array>

#include "endpoints.h"
#include "records.h"

namespace rvmock {

namespace {

constexpr std::array<Field, 17> kAlbumInfoFields{{
    {"id", FieldType::Int},
    {"lastCheckDate", FieldType::Int},
    {"followedNum", FieldType::Int},
    {"isOnline", FieldType::Int},
    {"listenNum", FieldType::Int},
    {"sortType", FieldType::Int},
    {"hasCopyright", FieldType::Int},
    {"commentNum", FieldType::Int},
    {"type", FieldType::Int},
    {"name", FieldType::Str},
    {"img", FieldType::Str},
    {"desc", FieldType::Str},
    {"produce", FieldType::Str},
    {"status", FieldType::Str},
    {"updateDay", FieldType::Str},
    {"copyrightLabel", FieldType::Str},
    {"countNum", FieldType::Int},
}};

constexpr std::array<Field, 3> kHostFields{
    {{"name", FieldType::Str}, {"des", FieldType::Str}, {"img", FieldType::Str}}};

// Sort type 2: most listened first; anything else: catalogue order.
std::vector<const AlbumEntry *> albums_in_order(const Fixtures &fixtures, int64_t sorttype) {
    std::vector<const AlbumEntry *> albums;
    for (const AlbumEntry &entry : fixtures.albums()) {
        albums.push_back(&entry);
    }
    if (sorttype != 2) {
        return albums;
    }
    std::stable_sort(albums.begin(), albums.end(), [](const AlbumEntry *a, const AlbumEntry *b) {
        return get_int(a->album, "listenNum") > get_int(b->album, "listenNum");
    });
    return albums;
}

Answer album_page(const Call &call, const std::vector<const AlbumEntry *> &albums) {
    Page page = make_page(call.int_param_or("pagenum", 1), call.int_param_or("pagesize", 20),
                          albums.size());
    Json list = json_array();
    for (size_t i = page.begin(); i < page.end(); ++i) {
        append(list.get(), album_item_json(albums[i]->album, call.media_base));
    }
    return {page_object(page, std::move(list)), nullptr, {}};
}

Json album_info_json(const AlbumEntry &entry, const Call &call, const UserState &users) {
    Json info = project(entry.album, kAlbumInfoFields);
    cJSON *o = info.get();
    cJSON_ReplaceItemInObjectCaseSensitive(
        o, "countNum", cJSON_CreateNumber(static_cast<double>(entry.audios.size())));
    absolutise_picture(o, "img", call.media_base);
    int64_t id = get_int(entry.album, "id");
    put_int(o, "isSubscribe", users.is_subscribed("device:" + call.device(), id) ? 1 : 0);
    Json hosts = json_array();
    const cJSON *host = nullptr;
    cJSON_ArrayForEach(host, cJSON_GetObjectItemCaseSensitive(entry.album, "host")) {
        Json item = project(host, kHostFields);
        absolutise_picture(item.get(), "img", call.media_base);
        append(hosts.get(), std::move(item));
    }
    put_item(o, "host", std::move(hosts));
    const cJSON *keywords = cJSON_GetObjectItemCaseSensitive(entry.album, "keyWords");
    put_item(o, "keyWords", keywords ? json_copy(keywords) : json_string(""));
    return info;
}

const AlbumEntry &album_or_throw(const Fixtures &fixtures, int64_t id) {
    const AlbumEntry *entry = fixtures.album(id);
    if (!entry) {
        throw ApiError(kErrNotFound, "no album " + std::to_string(id));
    }
    return *entry;
}

}  // namespace

void add_catalogue_endpoints(Router &router, Context &context) {
    const Fixtures &fixtures = context.fixtures;

    router.api("/v2/category", Method::Get, Guard::Signed, [&fixtures](const Call &call) {
        return Answer{category_list(fixtures.categories(), call.media_base), nullptr, {}};
    });

    router.api("/v2/category/sublist", Method::Get, Guard::Signed, [&fixtures](const Call &call) {
        int64_t cid = call.int_param("cid");
        const cJSON *category = fixtures.category(cid);
        if (!category) {
            throw ApiError(kErrNotFound, "no category " + std::to_string(cid));
        }
        return Answer{
            category_list(cJSON_GetObjectItemCaseSensitive(category, "sub"), call.media_base),
            nullptr,
            {}};
    });

    router.api("/v2/album/list", Method::Get, Guard::Signed, [&fixtures](const Call &call) {
        int64_t cid = call.int_param("cid");
        if (!fixtures.category(cid)) {
            throw ApiError(kErrNotFound, "no category " + std::to_string(cid));
        }
        std::vector<const AlbumEntry *> albums;
        for (const AlbumEntry *entry :
             albums_in_order(fixtures, call.int_param_or("sorttype", 1))) {
            int64_t album_cid = get_int(entry->album, "cid");
            const cJSON *parent = fixtures.parent_of(album_cid);
            if (album_cid == cid || (parent && get_int(parent, "cid") == cid)) {
                albums.push_back(entry);
            }
        }
        return album_page(call, albums);
    });

    router.api("/v2/album/top", Method::Get, Guard::Signed, [&fixtures](const Call &call) {
        return album_page(call, albums_in_order(fixtures, 2));
    });

    router.api("/v2/album/recommend", Method::Get, Guard::Signed, [&fixtures](const Call &call) {
        Json list = json_array();
        std::vector<const AlbumEntry *> albums = albums_in_order(fixtures, 2);
        for (size_t i = 0; i < albums.size() && i < 4; ++i) {
            append(list.get(), album_item_json(albums[i]->album, call.media_base));
        }
        return Answer{std::move(list), nullptr, {}};
    });

    router.api("/v2/album/detail", Method::Get, Guard::Signed,
               [&fixtures, &context](const Call &call) {
                   // "ids" may name several albums, separated by commas.
                   std::string ids = call.text("ids");
                   Json list = json_array();
                   for (size_t start = 0; start <= ids.size();) {
                       size_t comma = std::min(ids.find(',', start), ids.size());
                       std::optional<int64_t> id = parse_int(ids.substr(start, comma - start));
                       if (const AlbumEntry *entry = id ? fixtures.album(*id) : nullptr) {
                           append(list.get(), album_info_json(*entry, call, context.users));
                       }
                       start = comma + 1;
                   }
                   if (cJSON_GetArraySize(list.get()) == 0) {
                       throw ApiError(kErrNotFound, "no album " + ids);
                   }
                   return Answer{std::move(list), nullptr, {}};
               });

    router.api("/v2/audio/list", Method::Get, Guard::Signed, [&fixtures](const Call &call) {
        const AlbumEntry &entry = album_or_throw(fixtures, call.int_param("aid"));
        std::vector<const cJSON *> audios;
        for (const Json &audio : entry.audios) {
            audios.push_back(audio.get());
        }
        if (call.int_param_or("sorttype", 1) == 2) {
            std::reverse(audios.begin(), audios.end());
        }
        int64_t pagesize = call.int_param_or("pagesize", 20);
        Page page = make_page(call.int_param_or("pagenum", 1), pagesize, audios.size());
        int64_t audio_id = call.int_param_or("audioid", 0);
        if (audio_id > 0 && !call.query.has("pagenum")) {
            // The page that holds the audio; page 1 when the album lacks it.
            auto it = std::find_if(audios.begin(), audios.end(), [audio_id](const cJSON *a) {
                return get_int(a, "audioId") == audio_id;
            });
            page = it == audios.end()
                       ? make_page(1, pagesize, audios.size())
                       : page_of(static_cast<size_t>(it - audios.begin()), pagesize, audios.size());
        }
        Json list = json_array();
        for (size_t i = page.begin(); i < page.end(); ++i) {
            append(list.get(), audio_json(audios[i], call.media_base));
        }
        return Answer{page_object(page, std::move(list)), nullptr, {}};
    });

    router.api("/v2/audio/detail", Method::Get, Guard::Signed, [&fixtures](const Call &call) {
        int64_t id = call.int_param("id");
        const cJSON *audio = fixtures.audio(id);
        if (!audio) {
            throw ApiError(kErrNotFound, "no audio " + std::to_string(id));
        }
        return Answer{audio_json(audio, call.media_base), nullptr, {}};
    });
}

}  // namespace rvmock
