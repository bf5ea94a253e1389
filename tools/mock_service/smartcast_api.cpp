// Smartcast radios and the operate list.
//
// A radio hands out its audios in batches, each named by a clock id: an empty
// clock id asks for the first batch, a batch's clock id for the one after it,
// and the last batch's clock id gets an empty list, so a radio can run out.
#include <array>

#include "endpoints.h"
#include "records.h"

namespace rvmock {

namespace {

constexpr std::array<Field, 9> kSmartcastFields{{
    {"id", FieldType::Int},
    {"type", FieldType::Int},
    {"followedNum", FieldType::Int},
    {"isOnline", FieldType::Int},
    {"listenNum", FieldType::Int},
    {"commentNum", FieldType::Int},
    {"name", FieldType::Str},
    {"img", FieldType::Str},
    {"desc", FieldType::Str},
}};

constexpr std::array<Field, 7> kOperateFields{{
    {"rid", FieldType::Int},
    {"listenNum", FieldType::Int},
    {"rtype", FieldType::Int},
    {"cornerMark", FieldType::Int},
    {"image", FieldType::Str},
    {"rname", FieldType::Str},
    {"rvalue", FieldType::Str},
}};

Json smartcast_json(const cJSON *radio, const Call &call, const UserState &users) {
    Json o = project(radio, kSmartcastFields);
    absolutise_picture(o.get(), "img", call.media_base);
    put_int(o.get(), "isSubscribe",
            users.is_subscribed("device:" + call.device(), get_int(radio, "id")) ? 1 : 0);
    return o;
}

const cJSON *radio_or_throw(const Fixtures &fixtures, int64_t id) {
    const cJSON *radio = fixtures.smartcast(id);
    if (!radio) {
        throw ApiError(kErrNotFound, "no smartcast radio " + std::to_string(id));
    }
    return radio;
}

// The batch after the one named `clock_id` (the first for an empty one); null
// after the last; 50600 for a clock id the radio never handed out.
const cJSON *next_batch(const cJSON *radio, const std::string &clock_id) {
    const cJSON *batches = cJSON_GetObjectItemCaseSensitive(radio, "batches");
    if (clock_id.empty()) {
        return cJSON_GetArrayItem(batches, 0);
    }
    const cJSON *batch = nullptr;
    cJSON_ArrayForEach(batch, batches) {
        if (get_str(batch, "clockId") == clock_id) {
            return batch->next;
        }
    }
    throw ApiError(kErrNotFound, "unknown clockid " + clock_id);
}

}  // namespace

void add_smartcast_endpoints(Router &router, Context &context) {
    const Fixtures &fixtures = context.fixtures;
    const UserState &users = context.users;

    router.api("/v2/category/radio", Method::Get, Guard::Signed, [&fixtures](const Call &call) {
        return Answer{category_list(fixtures.smartcast_categories(), call.media_base), nullptr, {}};
    });

    router.api("/v2/typeradio/list", Method::Get, Guard::Signed,
               [&fixtures, &users](const Call &call) {
                   int64_t cid = call.int_param("cid");
                   Json list = json_array();
                   for (const cJSON *radio : fixtures.smartcasts()) {
                       if (get_int(radio, "cid") == cid) {
                           append(list.get(), smartcast_json(radio, call, users));
                       }
                   }
                   return Answer{std::move(list), nullptr, {}};
               });

    router.api("/v2/radio/detail", Method::Get, Guard::Signed,
               [&fixtures, &users](const Call &call) {
                   return Answer{
                       smartcast_json(radio_or_throw(fixtures, call.int_param("rid")), call, users),
                       nullptr,
                       {}};
               });

    router.api("/v2/radio/list", Method::Get, Guard::Signed, [&fixtures](const Call &call) {
        const cJSON *batch =
            next_batch(radio_or_throw(fixtures, call.int_param("rid")), call.text("clockid"));
        Json list = json_array();
        std::string clock_id = get_str(batch, "clockId");
        const cJSON *id = nullptr;
        cJSON_ArrayForEach(id, cJSON_GetObjectItemCaseSensitive(batch, "audios")) {
            const cJSON *audio = fixtures.audio(static_cast<int64_t>(id->valuedouble));
            append(list.get(), audio_json(audio, call.media_base, clock_id.c_str()));
        }
        return Answer{std::move(list), nullptr, {}};
    });

    router.api("/v2/operate", Method::Get, Guard::Signed, [&fixtures](const Call &call) {
        const cJSON *entries = fixtures.operate();
        Page page = make_page(call.int_param_or("pagenum", 1), call.int_param_or("pagesize", 20),
                              static_cast<size_t>(cJSON_GetArraySize(entries)));
        Json list = json_array();
        for (size_t i = page.begin(); i < page.end(); ++i) {
            Json o = project(cJSON_GetArrayItem(entries, static_cast<int>(i)), kOperateFields);
            absolutise_picture(o.get(), "image", call.media_base);
            append(list.get(), std::move(o));
        }
        return Answer{page_object(page, std::move(list)), nullptr, {}};
    });
}

}  // namespace rvmock
