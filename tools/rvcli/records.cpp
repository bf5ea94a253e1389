#include "records.h"

namespace rvcli::columns {
namespace {

// A resource type by the name rvcli's commands use for it.
std::string type_name(const Value &v) {
    static constexpr std::pair<int64_t, const char *> kNames[] = {
        {RV_RESOURCE_ALBUM, "album"},
        {RV_RESOURCE_AUDIO, "audio"},
        {RV_RESOURCE_SMARTCAST, "radio"},
        {RV_RESOURCE_BROADCAST, "broadcast"}};
    const int64_t type = std::get<int64_t>(v);
    for (const auto &[value, name] : kNames) {
        if (value == type) {
            return name;
        }
    }
    return std::to_string(type);
}

std::string date_and_time(const Value &v) {
    return local_time(std::get<int64_t>(v), "%Y-%m-%d %H:%M:%S");
}

std::string clock(const Value &v) {
    return clock_text(std::get<int64_t>(v));
}

}  // namespace

// One column reading a member as it is (numbers widen to int64_t).
#define RVCLI_FIELD(Type, member)                                       \
    Column<Type> {                                                      \
#member, [](const Type &r) -> Value { return Value(r.member); } \
    }
#define RVCLI_NUMBER(Type, member, ...)                                                          \
    Column<Type> {                                                                               \
#member, [](const Type &r) -> Value { return static_cast<int64_t>(r.member); },          \
                                                                                     __VA_ARGS__ \
    }

const std::vector<Column<rv::Category>> kCategory{RVCLI_NUMBER(rv::Category, cid),
                                                  RVCLI_FIELD(rv::Category, name),
                                                  RVCLI_NUMBER(rv::Category, hasSub)};

const std::vector<Column<rv::Album>> kAlbum{
    RVCLI_NUMBER(rv::Album, id), RVCLI_FIELD(rv::Album, name), RVCLI_NUMBER(rv::Album, listenNum),
    RVCLI_FIELD(rv::Album, sourceName)};

const std::vector<Column<rv::AlbumInfo>> kAlbumInfo{RVCLI_NUMBER(rv::AlbumInfo, id),
                                                    RVCLI_FIELD(rv::AlbumInfo, name),
                                                    RVCLI_NUMBER(rv::AlbumInfo, countNum),
                                                    RVCLI_NUMBER(rv::AlbumInfo, listenNum),
                                                    RVCLI_NUMBER(rv::AlbumInfo, followedNum),
                                                    {"host",
                                                     [](const rv::AlbumInfo &a) -> Value {
                                                         std::string names;
                                                         for (const rv::Host &h : a.host) {
                                                             names += (names.empty() ? "" : ", ") +
                                                                      h.name;
                                                         }
                                                         return names;
                                                     }},
                                                    RVCLI_FIELD(rv::AlbumInfo, produce),
                                                    RVCLI_FIELD(rv::AlbumInfo, status),
                                                    RVCLI_FIELD(rv::AlbumInfo, updateDay),
                                                    RVCLI_FIELD(rv::AlbumInfo, keyWords),
                                                    RVCLI_FIELD(rv::AlbumInfo, desc)};

const std::vector<Column<rv::Audio>> kAudio{
    RVCLI_NUMBER(rv::Audio, audioId), RVCLI_NUMBER(rv::Audio, orderNum),
    RVCLI_FIELD(rv::Audio, audioName), RVCLI_NUMBER(rv::Audio, duration),
    RVCLI_FIELD(rv::Audio, albumName)};

const std::vector<Column<rv::Smartcast>> kSmartcast{
    RVCLI_NUMBER(rv::Smartcast, id), RVCLI_FIELD(rv::Smartcast, name),
    RVCLI_NUMBER(rv::Smartcast, listenNum), RVCLI_FIELD(rv::Smartcast, desc)};

const std::vector<Column<rv::Broadcast>> kBroadcast{
    RVCLI_NUMBER(rv::Broadcast, broadcastId), RVCLI_FIELD(rv::Broadcast, name),
    RVCLI_NUMBER(rv::Broadcast, status), RVCLI_FIELD(rv::Broadcast, currentProgramTitle)};

const std::vector<Column<rv::Program>> kProgram{
    RVCLI_NUMBER(rv::Program, programId), RVCLI_FIELD(rv::Program, beginTime),
    RVCLI_FIELD(rv::Program, endTime), RVCLI_NUMBER(rv::Program, status),
    RVCLI_FIELD(rv::Program, title)};

const std::vector<Column<rv::SearchResult>> kSearchResult{
    RVCLI_NUMBER(rv::SearchResult, type, type_name), RVCLI_NUMBER(rv::SearchResult, id),
    RVCLI_FIELD(rv::SearchResult, name), RVCLI_FIELD(rv::SearchResult, albumName)};

const std::vector<Column<std::string>> kWord{
    {"word", [](const std::string &w) -> Value { return w; }}};

const std::vector<Column<rv::Subscription>> kSubscription{
    RVCLI_NUMBER(rv::Subscription, type, type_name), RVCLI_NUMBER(rv::Subscription, id),
    RVCLI_FIELD(rv::Subscription, name), RVCLI_NUMBER(rv::Subscription, countNum)};

const std::vector<Column<rv::History>> kHistory{
    RVCLI_FIELD(rv::History, radioId),
    RVCLI_FIELD(rv::History, radioTitle),
    RVCLI_FIELD(rv::History, audioId),
    RVCLI_FIELD(rv::History, audioTitle),
    RVCLI_NUMBER(rv::History, playedTime, clock),
    RVCLI_NUMBER(rv::History, timeStamp, date_and_time)};

const std::vector<Column<rv::AuthUserInfo>> kUser{RVCLI_FIELD(rv::AuthUserInfo, nickname),
                                                  RVCLI_FIELD(rv::AuthUserInfo, avatar)};

#undef RVCLI_FIELD
#undef RVCLI_NUMBER

}  // namespace rvcli::columns
