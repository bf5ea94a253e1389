// Suggested words and full search over albums, audios, smartcast radios and
// broadcasts: a name matches when it contains the keyword, ignoring ASCII case.
#include <algorithm>
#include <cctype>
#include <functional>

#include "endpoints.h"
#include "programme_guide.h"
#include "records.h"
#include "signature.h"

namespace rvmock {

namespace {

std::string lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

struct Hit {
    int type = 0;  // 0 album, 1 audio, 3 smartcast radio, 11 broadcast
    const cJSON *object = nullptr;
    std::string name;
};

// Every named thing whose name holds `keyword`, in catalogue order.
std::vector<Hit> find(const Fixtures &fixtures, const std::string &keyword) {
    std::vector<Hit> hits;
    std::string needle = lower(keyword);
    if (needle.empty()) {
        return hits;
    }
    auto consider = [&](int type, const cJSON *object, const char *key) {
        std::string name = get_str(object, key);
        if (lower(name).find(needle) != std::string::npos) {
            hits.push_back({type, object, name});
        }
    };
    for (const AlbumEntry &album : fixtures.albums()) {
        consider(0, album.album, "name");
    }
    for (const AlbumEntry &album : fixtures.albums()) {
        for (const Json &audio : album.audios) {
            consider(1, audio.get(), "audioName");
        }
    }
    for (const cJSON *radio : fixtures.smartcasts()) {
        consider(3, radio, "name");
    }
    for (const cJSON *broadcast : fixtures.broadcasts()) {
        consider(11, broadcast, "name");
    }
    return hits;
}

Json search_item(const Hit &hit, const Fixtures &fixtures, const std::string &base) {
    const cJSON *o = hit.object;
    bool audio = hit.type == 1;
    int64_t id = get_int(o, audio ? "audioId" : hit.type == 11 ? "broadcastId" : "id");
    const AlbumEntry *album = audio ? fixtures.album_of_audio(id) : nullptr;
    const cJSON *source = album ? album->album : o;
    std::string play_url;
    if (audio) {
        play_url = base + audio_media_path(id, "aac_64");
    } else if (hit.type == 11 && get_bool(o, "onAir", false)) {
        play_url = base + live_path(id);
    }
    Json item = json_object();
    put_int(item.get(), "id", id);
    put_int(item.get(), "oldId", id);
    put_int(item.get(), "type", hit.type);
    put_int(item.get(), "listenNum", get_int(o, "listenNum"));
    put_int(item.get(), "source", get_int(source, "source"));
    put_int(item.get(), "isShowRed", 0);
    put_int(item.get(), "isRequest", 0);
    put_int(item.get(), "duration", get_int(o, "duration"));
    put_int(item.get(), "originalDuration", get_int(o, "originalDuration"));
    put_str(item.get(), "name", hit.name);
    put_str(item.get(), "img", picture_url(base, get_str(o, audio ? "audioPic" : "img")));
    put_str(item.get(), "albumName", audio ? get_str(o, "albumName") : std::string());
    put_str(item.get(), "sourceName", get_str(source, "sourceName"));
    put_str(item.get(), "playUrl", play_url);
    return item;
}

}  // namespace

void add_search_endpoints(Router &router, Context &context) {
    const Fixtures &fixtures = context.fixtures;
    const Config &config = context.config;

    router.api("/v2/resource/suggestionword", Method::Get, Guard::Signed,
               [&fixtures](const Call &call) {
                   int64_t limit = std::clamp<int64_t>(call.int_param_or("limit", 10), 0, 100);
                   Json list = json_array();
                   std::vector<std::string> seen;
                   for (const Hit &hit : find(fixtures, call.text("word"))) {
                       if (static_cast<int64_t>(seen.size()) >= limit) {
                           break;
                       }
                       if (std::find(seen.begin(), seen.end(), hit.name) == seen.end()) {
                           seen.push_back(hit.name);
                           append(list.get(), json_string(hit.name));
                       }
                   }
                   return Answer{std::move(list), nullptr, {}};
               });

    // The keyword travels inside a URL-encoded JSON body ("q"), signed apart
    // from the common block with MD5(secret + device id).
    router.api("/v2/resource/voice/searchall", Method::Get, Guard::Signed,
               [&fixtures, &config](const Call &call) {
                   if (!check_search_block(call.query, config.secret)) {
                       throw ApiError(kErrBadRequest, "search sign mismatch");
                   }
                   Json body = json_parse(call.text("q"));
                   if (!cJSON_IsObject(body.get())) {
                       throw ApiError(kErrBadRequest, "q is not a JSON object");
                   }
                   std::string keyword =
                       get_str(body.get(), "keyword", get_str(body.get(), "text"));
                   Json list = json_array();
                   for (const Hit &hit : find(fixtures, keyword)) {
                       append(list.get(), search_item(hit, fixtures, call.media_base));
                   }
                   Json result = json_object();
                   put_item(result.get(), "dataList", std::move(list));
                   return Answer{std::move(result), nullptr, {}};
               });
}

}  // namespace rvmock
