// Subscriptions and listening history. Each operation exists for the device
// (plain HTTP, the owner is the common block's device id) and for an authorised
// user (HTTPS POST under /v2/authuser/, the owner is the token's user); both
// variants share one handler.
//
// A subscription list filters by resource type: 0 albums, 3 smartcast radios,
// 11 broadcasts, any other value lists everything.
#include <functional>

#include "endpoints.h"
#include "programme_guide.h"
#include "records.h"

namespace rvmock {

namespace {

struct Resource {
    int type = -1;  // 0 album, 3 smartcast radio, 11 broadcast; -1 unknown
    const cJSON *object = nullptr;
    const AlbumEntry *album = nullptr;
};

Resource resource_of(const Fixtures &fixtures, int64_t id) {
    if (const AlbumEntry *album = fixtures.album(id)) {
        return {0, album->album, album};
    }
    if (const cJSON *radio = fixtures.smartcast(id)) {
        return {3, radio, nullptr};
    }
    if (const cJSON *broadcast = fixtures.broadcast(id)) {
        return {11, broadcast, nullptr};
    }
    return {};
}

using OwnedHandler = std::function<Answer(const Call &, const std::string &owner)>;

struct UserOperation {
    const char *device_path;
    Method device_method;
    const char *user_path;
    OwnedHandler handler;
};

class UserApi {
  public:
    explicit UserApi(Context &context) : context_(context) {}

    void add(Router &router) const {
        for (const UserOperation &op : operations()) {
            OwnedHandler handler = op.handler;
            router.api(
                op.device_path, op.device_method, Guard::Signed,
                [handler](const Call &call) { return handler(call, "device:" + call.device()); });
            router.api(op.user_path, Method::Post, Guard::AuthUser,
                       [handler](const Call &call) { return handler(call, "user:" + call.user); });
        }
    }

  private:
    std::vector<UserOperation> operations() const {
        return {
            {"/v2/subscribe", Method::Get, "/v2/authuser/subscribe",
             [this](const Call &call, const std::string &owner) { return subscribe(call, owner); }},
            {"/v2/unsubscribe", Method::Get, "/v2/authuser/unsubscribe",
             [this](const Call &call, const std::string &owner) {
                 return Answer{
                     status_object(context_.users.unsubscribe(owner, call.int_param("id"))),
                     nullptr,
                     {}};
             }},
            {"/v2/issubscribe", Method::Get, "/v2/authuser/issubscribe",
             [this](const Call &call, const std::string &owner) {
                 return Answer{
                     status_object(context_.users.is_subscribed(owner, call.int_param("id"))),
                     nullptr,
                     {}};
             }},
            {"/v2/subscribe/list", Method::Get, "/v2/authuser/subscribelist",
             [this](const Call &call, const std::string &owner) {
                 return subscription_page(call, owner);
             }},
            {"/v2/history/save", Method::Post, "/v2/authuser/savehistory",
             [this](const Call &call, const std::string &owner) {
                 context_.users.save_history(
                     owner, HistoryEntry{call.int_param("radioId"), call.int_param("audioId"),
                                         call.int_param_or("playedTime", 0),
                                         call.int_param_or("duration", 0),
                                         call.int_param_or("timeStamp", 0)});
                 return Answer{status_object(1), nullptr, {}};
             }},
            {"/v2/history/list", Method::Get, "/v2/authuser/listhistory",
             [this](const Call &call, const std::string &owner) {
                 return history_page(call, owner);
             }},
            {"/v2/history/clear", Method::Get, "/v2/authuser/clearhistory",
             [this](const Call &, const std::string &owner) {
                 context_.users.clear_history(owner);
                 return Answer{status_object(1), nullptr, {}};
             }},
        };
    }

    Answer subscribe(const Call &call, const std::string &owner) const {
        int64_t id = call.int_param("id");
        Resource resource = resource_of(context_.fixtures, id);
        if (resource.type < 0) {
            throw ApiError(kErrNotFound, "nothing to subscribe with id " + std::to_string(id));
        }
        context_.users.subscribe(owner, Subscription{id, resource.type, now_ms()});
        return {status_object(1), nullptr, {}};
    }

    Answer subscription_page(const Call &call, const std::string &owner) const {
        int64_t type = call.int_param_or("type", -1);
        bool filter = type == 0 || type == 3 || type == 11;
        std::vector<Subscription> matching;
        for (const Subscription &s : context_.users.subscriptions(owner)) {
            if (!filter || s.type == type) {
                matching.push_back(s);
            }
        }
        Page page = make_page(call.int_param_or("pagenum", 1), call.int_param_or("pagesize", 20),
                              matching.size());
        Json list = json_array();
        for (size_t i = page.begin(); i < page.end(); ++i) {
            Resource r = resource_of(context_.fixtures, matching[i].id);
            Json o = json_object();
            put_int(o.get(), "type", matching[i].type);
            put_int(o.get(), "id", matching[i].id);
            put_str(o.get(), "name", get_str(r.object, "name"));
            put_str(o.get(), "desc", get_str(r.object, "desc"));
            put_str(o.get(), "img", picture_url(call.media_base, get_str(r.object, "img")));
            put_int(o.get(), "isOnline",
                    r.type == 11 ? get_bool(r.object, "onAir", false)
                                 : get_int(r.object, "isOnline", 1));
            put_int(o.get(), "hasCopyright", get_int(r.object, "hasCopyright", 1));
            put_int(o.get(), "countNum",
                    r.album ? static_cast<int64_t>(r.album->audios.size()) : 0);
            put_int(o.get(), "updateTime", matching[i].time_ms);
            append(list.get(), std::move(o));
        }
        return {page_object(page, std::move(list)), nullptr, {}};
    }

    // Ids are sent as text in history items; titles and URLs come from the catalogue.
    Answer history_page(const Call &call, const std::string &owner) const {
        std::vector<HistoryEntry> entries = context_.users.history(owner);
        Page page = make_page(1, 200, entries.size());
        Json list = json_array();
        for (size_t i = page.begin(); i < page.end(); ++i) {
            const HistoryEntry &e = entries[i];
            Resource radio = resource_of(context_.fixtures, e.radio_id);
            const cJSON *audio = context_.fixtures.audio(e.audio_id);
            Json o = json_object();
            put_str(o.get(), "radioId", std::to_string(e.radio_id));
            put_str(o.get(), "radioTitle", get_str(radio.object, "name"));
            put_str(o.get(), "picUrl", picture_url(call.media_base, get_str(radio.object, "img")));
            put_str(o.get(), "audioId", std::to_string(e.audio_id));
            put_str(o.get(), "audioTitle", get_str(audio, "audioName"));
            put_str(o.get(), "playUrl",
                    audio ? call.media_base + audio_media_path(e.audio_id, "aac_64") : "");
            put_str(o.get(), "shareUrl",
                    call.media_base + "/share/" + std::to_string(e.radio_id) + "/" +
                        std::to_string(e.audio_id));
            put_int(o.get(), "playedTime", e.played_time);
            put_int(o.get(), "duration", e.duration);
            put_int(o.get(), "orderNum", get_int(audio, "orderNum"));
            put_int(o.get(), "timeStamp", e.time_stamp);
            append(list.get(), std::move(o));
        }
        return {page_object(page, std::move(list), true), nullptr, {}};
    }

    Context &context_;
};

}  // namespace

void add_user_endpoints(Router &router, Context &context) {
    auto api = std::make_shared<UserApi>(context);
    router.keep(api);
    api->add(router);
}

}  // namespace rvmock
