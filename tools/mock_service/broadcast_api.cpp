// Live broadcasts: categories, areas, dates and server time, lists, details,
// programme guides, city lists and radio labels.
#include <algorithm>
#include <array>
#include <ctime>

#include "endpoints.h"
#include "programme_guide.h"
#include "records.h"

namespace rvmock {

namespace {

constexpr int64_t kDayMs = 86400000;

constexpr std::array<Field, 4> kCategoryFields{{{"id", FieldType::Int},
                                                {"type", FieldType::Int},
                                                {"name", FieldType::Str},
                                                {"img", FieldType::Str}}};
constexpr std::array<Field, 2> kAreaFields{{{"id", FieldType::Int}, {"name", FieldType::Str}}};
constexpr std::array<Field, 11> kLabelFields{{
    {"rid", FieldType::Int},
    {"rtype", FieldType::Int},
    {"rname", FieldType::Str},
    {"rvalue", FieldType::Str},
    {"image", FieldType::Str},
    {"desc", FieldType::Str},
    {"updateTime", FieldType::Str},
    {"cornerMark", FieldType::Int},
    {"optType", FieldType::Int},
    {"isOpt", FieldType::Int},
    {"index", FieldType::Int},
}};

// The top-level "serverTime" member: milliseconds since the epoch, as text.
Json server_time_member(int64_t now) {
    Json extras = json_object();
    put_str(extras.get(), "serverTime", std::to_string(now));
    return extras;
}

Json projected_list(const cJSON *items, std::span<const Field> fields, const std::string &base) {
    Json list = json_array();
    const cJSON *item = nullptr;
    cJSON_ArrayForEach(item, items) {
        Json object = project(item, fields);
        if (cJSON_GetObjectItemCaseSensitive(object.get(), "img")) {
            absolutise_picture(object.get(), "img", base);
        }
        append(list.get(), std::move(object));
    }
    return list;
}

// A week back to tomorrow, by UTC day.
Json date_list() {
    static const char *kWeekDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    Json list = json_array();
    int64_t today = now_ms() / kDayMs * kDayMs;
    for (int offset = -6; offset <= 1; ++offset) {
        int64_t midnight = today + offset * kDayMs;
        time_t seconds = static_cast<time_t>(midnight / 1000);
        tm parts{};
        gmtime_r(&seconds, &parts);
        char day[16];
        strftime(day, sizeof(day), "%Y-%m-%d", &parts);
        Json date = json_object();
        put_str(date.get(), "weekDay", kWeekDays[parts.tm_wday]);
        put_str(date.get(), "dateTime", day);
        put_str(date.get(), "time", std::to_string(midnight));
        append(list.get(), std::move(date));
    }
    return list;
}

class BroadcastApi {
  public:
    explicit BroadcastApi(Context &context)
        : context_(context), guide_(context.fixtures, context.config.short_programmes) {}

    void add(Router &router);

  private:
    const cJSON *broadcast_or_throw(int64_t id) const {
        const cJSON *broadcast = context_.fixtures.broadcast(id);
        if (!broadcast) {
            throw ApiError(kErrNotFound, "no broadcast " + std::to_string(id));
        }
        return broadcast;
    }

    bool subscribed(const Call &call, const cJSON *broadcast) const {
        return context_.users.is_subscribed("device:" + call.device(),
                                            get_int(broadcast, "broadcastId"));
    }

    // The fields both broadcast shapes share.
    Json broadcast_common(const cJSON *b, const Call &call) const {
        bool on_air = get_bool(b, "onAir", false);
        Json o = json_object();
        put_int(o.get(), "broadcastId", get_int(b, "broadcastId"));
        put_int(o.get(), "status", on_air ? 1 : 0);
        put_int(o.get(), "onLineNum", get_int(b, "onLineNum"));
        put_int(o.get(), "likedNum", get_int(b, "likedNum"));
        put_int(o.get(), "isSubscribe", subscribed(call, b) ? 1 : 0);
        put_str(o.get(), "name", get_str(b, "name"));
        put_str(o.get(), "img", picture_url(call.media_base, get_str(b, "img")));
        put_str(o.get(), "playUrl",
                on_air ? call.media_base + live_path(get_int(b, "broadcastId")) : "");
        return o;
    }

    Json broadcast_item(const cJSON *b, const Call &call) const {
        Json o = broadcast_common(b, call);
        std::string title;
        if (get_bool(b, "onAir", false)) {
            Json live = guide_.programme_json(guide_.live(b, now_ms()), call.media_base);
            title = get_str(live.get(), "title");
        }
        put_str(o.get(), "currentProgramTitle", title);
        return o;
    }

    Json broadcast_info(const cJSON *b, const Call &call) const {
        Json o = broadcast_common(b, call);
        put_int(o.get(), "roomId", get_int(b, "roomId"));
        put_int(o.get(), "classifyId", get_int(b, "classifyId"));
        put_str(o.get(), "classifyName", get_str(b, "classifyName"));
        return o;
    }

    Answer broadcast_page(const Call &call, const std::vector<const cJSON *> &broadcasts) const {
        Page page = make_page(call.int_param_or("pagenum", 1), call.int_param_or("pagesize", 20),
                              broadcasts.size());
        Json list = json_array();
        for (size_t i = page.begin(); i < page.end(); ++i) {
            append(list.get(), broadcast_item(broadcasts[i], call));
        }
        return {page_object(page, std::move(list)), nullptr, {}};
    }

    Answer label_page(const Call &call) const {
        const cJSON *labels = context_.fixtures.radio_labels();
        Page page = make_page(call.int_param_or("pagenum", 1), call.int_param_or("pagesize", 20),
                              static_cast<size_t>(cJSON_GetArraySize(labels)));
        Json list = json_array();
        for (size_t i = page.begin(); i < page.end(); ++i) {
            const cJSON *label = cJSON_GetArrayItem(labels, static_cast<int>(i));
            Json o = project(label, kLabelFields);
            put_int(o.get(), "isMusic", get_int(label, "isMusic"));
            absolutise_picture(o.get(), "image", call.media_base);
            std::string clock_id = get_str(label, "clockId");
            Json audios = json_array();
            const cJSON *id = nullptr;
            cJSON_ArrayForEach(id, cJSON_GetObjectItemCaseSensitive(label, "audios")) {
                if (const cJSON *audio =
                        context_.fixtures.audio(static_cast<int64_t>(id->valuedouble))) {
                    append(audios.get(), audio_json(audio, call.media_base, clock_id.c_str()));
                }
            }
            put_item(o.get(), "audios", std::move(audios));
            append(list.get(), std::move(o));
        }
        return {page_object(page, std::move(list)), nullptr, {}};
    }

    Context &context_;
    ProgrammeGuide guide_;
};

void BroadcastApi::add(Router &router) {
    const Fixtures &fixtures = context_.fixtures;

    router.api("/v2/category/broadcast", Method::Get, Guard::Signed, [&fixtures](const Call &call) {
        return Answer{
            projected_list(fixtures.broadcast_categories(), kCategoryFields, call.media_base),
            nullptr,
            {}};
    });
    router.api("/v2/broadcast/arealist", Method::Get, Guard::Signed, [&fixtures](const Call &call) {
        return Answer{
            projected_list(fixtures.broadcast_areas(), kAreaFields, call.media_base), nullptr, {}};
    });
    // Also the server-time request, which comes unsigned: every answer carries
    // the top-level "serverTime" (milliseconds since the epoch, as text).
    router.api("/v2/broadcast/date", Method::Get, Guard::ServerTime, [](const Call &) {
        Json result = json_object();
        put_item(result.get(), "dataList", date_list());
        return Answer{std::move(result), server_time_member(now_ms()), {}};
    });

    router.api("/v2/broadcast/list", Method::Get, Guard::Signed, [this](const Call &call) {
        int64_t type = call.int_param_or("type", 0);
        int64_t classify = call.int_param_or("classifyid", 0);
        int64_t area = call.int_param_or("area", 0);
        std::vector<const cJSON *> matching;
        for (const cJSON *b : context_.fixtures.broadcasts()) {
            if ((type <= 0 || get_int(b, "type") == type) &&
                (classify <= 0 || get_int(b, "classifyId") == classify) &&
                (area <= 0 || get_int(b, "area") == area)) {
                matching.push_back(b);
            }
        }
        return broadcast_page(call, matching);
    });

    router.api("/v2/broadcast/detail", Method::Get, Guard::Signed, [this](const Call &call) {
        return Answer{
            broadcast_info(broadcast_or_throw(call.int_param("broadcastid")), call), nullptr, {}};
    });

    router.api("/v2/broadcast/programlist", Method::Get, Guard::Signed, [this](const Call &call) {
        const cJSON *b = broadcast_or_throw(call.int_param("bid"));
        std::optional<std::vector<Programme>> programmes =
            guide_.day(b, call.text("date"), now_ms());
        if (!programmes) {
            throw ApiError(kErrBadRequest, "date must read YYYY-MM-DD");
        }
        Json list = json_array();
        for (const Programme &p : *programmes) {
            append(list.get(), guide_.programme_json(p, call.media_base));
        }
        return Answer{std::move(list), nullptr, {}};
    });

    router.api("/v2/program/detail", Method::Get, Guard::Signed, [this](const Call &call) {
        int64_t id = call.int_param("programid");
        std::optional<Programme> p = guide_.by_id(id, now_ms());
        if (!p) {
            throw ApiError(kErrNotFound, "no programme " + std::to_string(id));
        }
        return Answer{guide_.programme_json(*p, call.media_base), nullptr, {}};
    });

    router.api("/v2/broadcast/currentprogram", Method::Get, Guard::Signed,
               [this](const Call &call) {
                   const cJSON *b = broadcast_or_throw(call.int_param("broadcastid"));
                   if (!get_bool(b, "onAir", false)) {
                       throw ApiError(kErrNotFound, "broadcast is off the air");
                   }
                   int64_t now = now_ms();
                   return Answer{guide_.programme_json(guide_.live(b, now), call.media_base),
                                 server_time_member(now),
                                 {}};
               });

    router.api("/v2/broadcast/getCityBroadcast/list", Method::Get, Guard::Signed,
               [this](const Call &call) {
                   int64_t city = call.int_param("citycode");
                   std::vector<const cJSON *> matching;
                   for (const cJSON *b : context_.fixtures.broadcasts()) {
                       if (get_int(b, "area") == city) {
                           matching.push_back(b);
                       }
                   }
                   return broadcast_page(call, matching);
               });

    router.api("/v2/broadcast/getCityBroadcast/topList", Method::Get, Guard::Signed,
               [this](const Call &call) {
                   std::vector<const cJSON *> sorted = context_.fixtures.broadcasts();
                   std::stable_sort(sorted.begin(), sorted.end(),
                                    [](const cJSON *a, const cJSON *b) {
                                        return get_int(a, "onLineNum") > get_int(b, "onLineNum");
                                    });
                   Json list = json_array();
                   for (const cJSON *b : sorted) {
                       append(list.get(), broadcast_item(b, call));
                   }
                   return Answer{std::move(list), nullptr, {}};
               });

    router.api("/v2/radioLable/list", Method::Get, Guard::Signed,
               [this](const Call &call) { return label_page(call); });
}

}  // namespace

void add_broadcast_endpoints(Router &router, Context &context) {
    // The handlers point into this object; the router keeps it alive.
    auto api = std::make_shared<BroadcastApi>(context);
    router.keep(api);
    api->add(router);
}

}  // namespace rvmock
