/*
 * The radio SDK for C++20: a header-only layer over the C API of radio_sdk.h.
 *
 * Nothing here is compiled into libradio_sdk.so: only the C functions cross
 * the library boundary, so this header works with any C++20 compiler against
 * the same library.
 *
 * Ownership: every record handed to the application is a value (std::string,
 * std::vector, std::optional); the C record it was made from is freed with its
 * dao_<name>_del before the application's code runs. Nothing the application
 * holds points into SDK memory.
 *
 * Errors: failures arrive as rv::Error (a std::runtime_error carrying the
 * result code of rv_error.h). No exception ever crosses into the SDK: an
 * exception thrown by an application callable inside an SDK callback is
 * caught, logged as an E line with tag "RADIO_SDK_HPP" and dropped.
 *
 * Threads: see rv::Sdk for the data calls and rv::set_log_sink for the log
 * sink. In short: a callable runs either on the calling thread before the
 * call returns (refusals) or on one of the SDK's worker threads, with no lock
 * of the SDK held; it may start further calls but must not block (no waiting
 * on a future of the SDK, no destruction of the rv::Sdk).
 *
 * The C API has one log sink per process; this header keeps the callable
 * for it in each module (executable or shared library) that includes it, so
 * install the sink from one module only.
 */
#ifndef RADIO_SDK_HPP
#define RADIO_SDK_HPP

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <tuple>
#include <type_traits>
#include <utility>
#include <variant>
#include <vector>

#include "radio_sdk.h"
#include "rv_callback_gate.hpp"

namespace rv {

/* --- Errors ---------------------------------------------------------------- */

// A failed call: its result code (rv_error.h), the code's name and a text for
// people ("rv_getAlbumInfo: RVE_SERVER_50600 (0x00030001)").
class Error : public std::runtime_error {
  public:
    explicit Error(int code, std::string_view context = {})
        : std::runtime_error(describe(code, context)), code_(code) {}

    int code() const noexcept { return code_; }
    const char *name() const noexcept { return name_of(code_); }

    // The name of every code of rv_error.h ("RVE_FAILED"); for any other code
    // the text of rve_strerror ("RVE_UNKNOWN").
    static const char *name_of(int code) noexcept {
        static constexpr std::pair<int, const char *> kNames[] = {
            {RVE_OK, "RVE_OK"},
            {RVE_FAILED, "RVE_FAILED"},
            {RVE_NOT_READY, "RVE_NOT_READY"},
            {RVE_BAD_ARGS, "RVE_BAD_ARGS"},
            {RVE_NO_MEMORY, "RVE_NO_MEMORY"},
            {RVE_QUEUE_FULL, "RVE_QUEUE_FULL"},
            {RVE_NO_ACCESS, "RVE_NO_ACCESS"},
            {RVE_LIVE_STREAM, "RVE_LIVE_STREAM"},
            {RVE_NO_SDK_INFO, "RVE_NO_SDK_INFO"},
            {RVE_STR_TOO_SHORT, "RVE_STR_TOO_SHORT"},
            {RVE_NULL_STRING, "RVE_NULL_STRING"},
            {RVE_BAD_RESPONSE, "RVE_BAD_RESPONSE"},
            {RVE_SAVE_FAILED, "RVE_SAVE_FAILED"},
            {RVE_SERVER_ERROR, "RVE_SERVER_ERROR"},
            {RVE_SERVER_50600, "RVE_SERVER_50600"},
            {RVE_SERVER_40000, "RVE_SERVER_40000"},
            {RVE_SERVER_40100, "RVE_SERVER_40100"},
            {RVE_SERVER_40431, "RVE_SERVER_40431"},
            {RVE_SERVER_40432, "RVE_SERVER_40432"},
        };
        for (const auto &[value, name] : kNames) {
            if (value == code) {
                return name;
            }
        }
        return rve_strerror(code);
    }

  private:
    static std::string describe(int code, std::string_view context) {
        std::string text(context);
        if (!text.empty()) {
            text += ": ";
        }
        return text + name_of(code) + " (" + rve_rve2str(code) + ")";
    }

    int code_;
};

// Builds one callable out of several lambdas, for the two outcomes of a call:
//   sdk.get_all_category(rv::overloaded{[](std::vector<rv::Category> c) {...},
//                                       [](const rv::Error &e) {...}});
template <class... Fs>
struct overloaded : Fs... {
    using Fs::operator()...;
};

/* --- Records ----------------------------------------------------------------
 * Value copies of the C records (rv_data.h, rv_broadcast.h, rv_smartcast.h
 * ...), field for field under the same names: see there for their meaning. Flags become bool; a C
 * string that may be null becomes std::optional, every other null string the empty string; Lists
 * become std::vector.
 */

struct Category {
    int32_t cid = 0;
    bool hasSub = false;
    std::string name;
    std::string img;
};

struct Album {
    int32_t source = 0;
    int64_t id = 0;
    int64_t listenNum = 0;
    std::string name;
    std::string img;
    std::string sourceName;
};

struct Host {
    std::string name;
    std::string des;
    std::string img;
};

struct AlbumInfo {
    int64_t id = 0;
    int64_t lastCheckDate = 0;
    int32_t followedNum = 0;
    int32_t countNum = 0;
    int32_t isOnline = 0;
    int32_t listenNum = 0;
    int32_t sortType = 0;
    int32_t hasCopyright = 0;
    int32_t commentNum = 0;
    int32_t type = 0;
    int32_t isSubscribe = 0;
    std::string name;
    std::string img;
    std::string desc;
    std::vector<Host> host;  // empty when the album has no presenters
    std::string produce;
    std::string status;
    std::string updateDay;
    std::string copyrightLabel;
    std::string keyWords;  // the key words joined with "&"
};

struct Audio {
    std::string audioName;
    std::string audioPic;
    std::string audioDes;
    std::string albumName;
    std::string albumPic;
    std::string mp3PlayUrl32;
    std::string mp3PlayUrl64;
    std::string aacPlayUrl;
    std::string aacPlayUrl32;
    std::string aacPlayUrl64;
    std::string aacPlayUrl128;
    std::optional<std::string> clockId;  // smartcast play lists only
    int64_t albumId = 0;
    int64_t audioId = 0;
    int64_t updateTime = 0;
    int32_t aacFileSize = 0;
    int32_t mp3FileSize32 = 0;
    int32_t mp3FileSize64 = 0;
    int32_t orderNum = 0;
    int32_t duration = 0;
    int32_t originalDuration = 0;
    int32_t listenNum = 0;
    int32_t likedNum = 0;
    int32_t hasCopyright = 0;
    int32_t commentNum = 0;
    int32_t trailerStart = 0;
    int32_t trailerEnd = 0;
    int32_t categoryId = 0;
    int32_t isListened = 0;
};

// A page of a paged list (the C dao_<name>_set records).
template <class T>
struct Page {
    bool haveNext = false;
    int32_t nextPage = 0;
    bool havePre = false;
    int32_t prePage = 0;
    int32_t currentPage = 0;
    int32_t count = 0;     // item count as sent by the server
    int32_t sumPage = 0;   // page count as sent by the server
    int32_t pageSize = 0;  // page size as sent by the server
    std::vector<T> list;
};

struct BroadcastCategory {
    int32_t id = 0;
    int32_t type = 0;
    std::string name;
    std::string img;
};

struct BroadcastArea {
    int32_t id = 0;
    std::string name;
};

struct BroadcastDate {
    std::string weekDay;
    std::string dateTime;
    std::string time;
};

struct Broadcast {
    int64_t broadcastId = 0;
    int32_t status = 0;
    int32_t onLineNum = 0;
    int32_t likedNum = 0;
    int32_t isSubscribe = 0;
    std::string name;
    std::string img;
    std::string currentProgramTitle;
    std::string playUrl;
};

struct BroadcastInfo {
    int64_t broadcastId = 0;
    int32_t status = 0;
    int32_t onLineNum = 0;
    int32_t likedNum = 0;
    int32_t isSubscribe = 0;
    int32_t roomId = 0;
    int32_t classifyId = 0;
    std::string name;
    std::string img;
    std::string classifyName;
    std::string playUrl;
};

struct Program {
    int64_t programId = 0;
    int64_t broadcastId = 0;
    int64_t nextProgramId = 0;
    int64_t preProgramId = 0;
    int64_t startTime = 0;
    int64_t finishTime = 0;
    int32_t status = 0;
    int32_t isSubscribe = 0;
    std::string title;
    std::string backLiveUrl;
    std::string playUrl;
    std::string comperes;
    std::string beginTime;
    std::string endTime;
    std::string desc;
    std::string broadcastDesc;
    std::string broadcastName;
    std::string broadcastImg;
    std::optional<std::string> serverTime;  // the current programme only
};

struct Smartcast {
    int64_t id = 0;
    int32_t type = 0;
    int32_t followedNum = 0;
    int32_t isOnline = 0;
    int32_t listenNum = 0;
    int32_t commentNum = 0;
    int32_t isSubscribe = 0;
    std::string name;
    std::string img;
    std::string desc;
};

struct Operate {
    int64_t rid = 0;
    int64_t listenNum = 0;
    int32_t rtype = 0;
    int32_t cornerMark = 0;
    std::string image;
    std::string rname;
    std::string rvalue;
};

// The service's status value of an operation (dao_subscribe_result,
// dao_unsubscribe_result, dao_subscribe_status, dao_history_save_result,
// dao_history_clear_result, dao_auth_qrcode_status, dao_auth_revoke_result).
struct Status {
    int32_t status = 0;
};

struct AuthQrCode {
    int32_t status = 0;
    std::string uuid;         // names this QR code in the next steps
    std::string qrcode_path;  // the URL the QR code stands for
};

struct AuthGrantCode {
    std::string code;
    std::string state;
};

struct AuthAccessToken {
    std::string access_token;
    std::string refresh_token;
    std::string open_uid;
    std::string scope;
    int32_t expires_in = 0;  // seconds
};

struct AuthUserInfo {
    std::string nickname;
    std::string avatar;
};

struct Subscription {
    int32_t type = 0;  // 0 album, 3 smartcast radio, 11 broadcast
    int64_t id = 0;
    std::string name;
    std::string desc;
    std::string img;
    int32_t isOnline = 0;
    int32_t hasCopyright = 0;
    int32_t countNum = 0;
    int64_t updateTime = 0;
};

struct History {
    std::string radioId;
    std::string radioTitle;
    std::string picUrl;
    std::string audioId;
    std::string audioTitle;
    std::string playUrl;
    std::string shareUrl;
    int64_t playedTime = 0;
    int64_t duration = 0;
    int64_t orderNum = 0;
    int64_t timeStamp = 0;
};

struct SearchResult {
    int64_t id = 0;
    int64_t oldId = 0;
    int32_t type = 0;  // 0 album, 1 audio, 3 smartcast radio, 11 broadcast
    int32_t listenNum = 0;
    int32_t source = 0;
    int32_t isShowRed = 0;
    int32_t isRequest = 0;
    int32_t duration = 0;
    int32_t originalDuration = 0;
    std::string name;
    std::string img;
    std::string albumName;
    std::string sourceName;
    std::string playUrl;
};

namespace detail {

inline std::string text(const char *s) {
    return s != nullptr ? std::string(s) : std::string();
}
inline std::optional<std::string> optional_text(const char *s) {
    return s != nullptr ? std::optional<std::string>(s) : std::nullopt;
}

// One specialisation per C record: `del` frees it, `value` copies it.
template <class C>
struct Record;

// The items of a List of C records `C`, as values.
template <class C>
auto values(const List *list) {
    std::vector<decltype(Record<C>::value(std::declval<const C &>()))> out;
    out.reserve(ListLength(list));
    for (const ListItem *node = ListFirst(list); node != nullptr; node = ListNext(node)) {
        if (node->data != nullptr) {
            out.push_back(Record<C>::value(*static_cast<const C *>(node->data)));
        }
    }
    return out;
}

// A paging field that not every page record has (0 where absent).
template <class Set>
int32_t count_of(const Set &s) {
    if constexpr (requires { s.count; }) {
        return s.count;
    } else {
        return 0;
    }
}
template <class Set>
int32_t sum_page_of(const Set &s) {
    if constexpr (requires { s.sumPage; }) {
        return s.sumPage;
    } else {
        return 0;
    }
}
template <class Set>
int32_t page_size_of(const Set &s) {
    if constexpr (requires { s.pageSize; }) {
        return s.pageSize;
    } else {
        return 0;
    }
}

// The records of paged lists share their layout: the paging fields, then a
// List of `Item`.
template <class Set, void (*Del)(Set *), class Item>
struct PageRecord {
    static constexpr auto del = Del;
    static auto value(const Set &s) {
        return Page<decltype(Record<Item>::value(std::declval<const Item &>()))>{
            .haveNext = s.haveNext != 0,
            .nextPage = s.nextPage,
            .havePre = s.havePre != 0,
            .prePage = s.prePage,
            .currentPage = s.currentPage,
            .count = count_of(s),
            .sumPage = sum_page_of(s),
            .pageSize = page_size_of(s),
            .list = values<Item>(s.list),
        };
    }
};

template <>
struct Record<dao_category> {
    static constexpr auto del = dao_category_del;
    static Category value(const dao_category &c) {
        return {.cid = c.cid, .hasSub = c.hasSub != 0, .name = text(c.name), .img = text(c.img)};
    }
};

template <>
struct Record<dao_album> {
    static constexpr auto del = dao_album_del;
    static Album value(const dao_album &a) {
        return {.source = a.source,
                .id = a.id,
                .listenNum = a.listenNum,
                .name = text(a.name),
                .img = text(a.img),
                .sourceName = text(a.sourceName)};
    }
};

template <>
struct Record<dao_album_set> : PageRecord<dao_album_set, dao_album_set_del, dao_album> {};

template <>
struct Record<dao_host> {
    static constexpr auto del = dao_host_del;
    static Host value(const dao_host &h) {
        return {.name = text(h.name), .des = text(h.des), .img = text(h.img)};
    }
};

template <>
struct Record<dao_album_info> {
    static constexpr auto del = dao_album_info_del;
    static AlbumInfo value(const dao_album_info &a) {
        return {.id = a.id,
                .lastCheckDate = a.lastCheckDate,
                .followedNum = a.followedNum,
                .countNum = a.countNum,
                .isOnline = a.isOnline,
                .listenNum = a.listenNum,
                .sortType = a.sortType,
                .hasCopyright = a.hasCopyright,
                .commentNum = a.commentNum,
                .type = a.type,
                .isSubscribe = a.isSubscribe,
                .name = text(a.name),
                .img = text(a.img),
                .desc = text(a.desc),
                .host = values<dao_host>(a.host),
                .produce = text(a.produce),
                .status = text(a.status),
                .updateDay = text(a.updateDay),
                .copyrightLabel = text(a.copyrightLabel),
                .keyWords = text(a.keyWords)};
    }
};

template <>
struct Record<dao_audio> {
    static constexpr auto del = dao_audio_del;
    static Audio value(const dao_audio &a) {
        return {.audioName = text(a.audioName),
                .audioPic = text(a.audioPic),
                .audioDes = text(a.audioDes),
                .albumName = text(a.albumName),
                .albumPic = text(a.albumPic),
                .mp3PlayUrl32 = text(a.mp3PlayUrl32),
                .mp3PlayUrl64 = text(a.mp3PlayUrl64),
                .aacPlayUrl = text(a.aacPlayUrl),
                .aacPlayUrl32 = text(a.aacPlayUrl32),
                .aacPlayUrl64 = text(a.aacPlayUrl64),
                .aacPlayUrl128 = text(a.aacPlayUrl128),
                .clockId = optional_text(a.clockId),
                .albumId = a.albumId,
                .audioId = a.audioId,
                .updateTime = a.updateTime,
                .aacFileSize = a.aacFileSize,
                .mp3FileSize32 = a.mp3FileSize32,
                .mp3FileSize64 = a.mp3FileSize64,
                .orderNum = a.orderNum,
                .duration = a.duration,
                .originalDuration = a.originalDuration,
                .listenNum = a.listenNum,
                .likedNum = a.likedNum,
                .hasCopyright = a.hasCopyright,
                .commentNum = a.commentNum,
                .trailerStart = a.trailerStart,
                .trailerEnd = a.trailerEnd,
                .categoryId = a.categoryId,
                .isListened = a.isListened};
    }
};

template <>
struct Record<dao_audio_set> : PageRecord<dao_audio_set, dao_audio_set_del, dao_audio> {};

template <>
struct Record<dao_broadcast_category> {
    static constexpr auto del = dao_broadcast_category_del;
    static BroadcastCategory value(const dao_broadcast_category &c) {
        return {.id = c.id, .type = c.type, .name = text(c.name), .img = text(c.img)};
    }
};

template <>
struct Record<dao_broadcast_area> {
    static constexpr auto del = dao_broadcast_area_del;
    static BroadcastArea value(const dao_broadcast_area &a) {
        return {.id = a.id, .name = text(a.name)};
    }
};

template <>
struct Record<dao_broadcast_date> {
    static constexpr auto del = dao_broadcast_date_del;
    static BroadcastDate value(const dao_broadcast_date &d) {
        return {.weekDay = text(d.weekDay), .dateTime = text(d.dateTime), .time = text(d.time)};
    }
};

template <>
struct Record<dao_broadcast> {
    static constexpr auto del = dao_broadcast_del;
    static Broadcast value(const dao_broadcast &b) {
        return {.broadcastId = b.broadcastId,
                .status = b.status,
                .onLineNum = b.onLineNum,
                .likedNum = b.likedNum,
                .isSubscribe = b.isSubscribe,
                .name = text(b.name),
                .img = text(b.img),
                .currentProgramTitle = text(b.currentProgramTitle),
                .playUrl = text(b.playUrl)};
    }
};

template <>
struct Record<dao_broadcast_set>
    : PageRecord<dao_broadcast_set, dao_broadcast_set_del, dao_broadcast> {};

template <>
struct Record<dao_broadcast_info> {
    static constexpr auto del = dao_broadcast_info_del;
    static BroadcastInfo value(const dao_broadcast_info &b) {
        return {.broadcastId = b.broadcastId,
                .status = b.status,
                .onLineNum = b.onLineNum,
                .likedNum = b.likedNum,
                .isSubscribe = b.isSubscribe,
                .roomId = b.roomId,
                .classifyId = b.classifyId,
                .name = text(b.name),
                .img = text(b.img),
                .classifyName = text(b.classifyName),
                .playUrl = text(b.playUrl)};
    }
};

template <>
struct Record<dao_program> {
    static constexpr auto del = dao_program_del;
    static Program value(const dao_program &p) {
        return {.programId = p.programId,
                .broadcastId = p.broadcastId,
                .nextProgramId = p.nextProgramId,
                .preProgramId = p.preProgramId,
                .startTime = p.startTime,
                .finishTime = p.finishTime,
                .status = p.status,
                .isSubscribe = p.isSubscribe,
                .title = text(p.title),
                .backLiveUrl = text(p.backLiveUrl),
                .playUrl = text(p.playUrl),
                .comperes = text(p.comperes),
                .beginTime = text(p.beginTime),
                .endTime = text(p.endTime),
                .desc = text(p.desc),
                .broadcastDesc = text(p.broadcastDesc),
                .broadcastName = text(p.broadcastName),
                .broadcastImg = text(p.broadcastImg),
                .serverTime = optional_text(p.serverTime)};
    }
};

template <>
struct Record<dao_smartcast> {
    static constexpr auto del = dao_smartcast_del;
    static Smartcast value(const dao_smartcast &s) {
        return {.id = s.id,
                .type = s.type,
                .followedNum = s.followedNum,
                .isOnline = s.isOnline,
                .listenNum = s.listenNum,
                .commentNum = s.commentNum,
                .isSubscribe = s.isSubscribe,
                .name = text(s.name),
                .img = text(s.img),
                .desc = text(s.desc)};
    }
};

template <>
struct Record<dao_operate> {
    static constexpr auto del = dao_operate_del;
    static Operate value(const dao_operate &o) {
        return {.rid = o.rid,
                .listenNum = o.listenNum,
                .rtype = o.rtype,
                .cornerMark = o.cornerMark,
                .image = text(o.image),
                .rname = text(o.rname),
                .rvalue = text(o.rvalue)};
    }
};

template <>
struct Record<dao_operate_set> : PageRecord<dao_operate_set, dao_operate_set_del, dao_operate> {};

template <class C, void (*Del)(C *)>
struct StatusRecord {
    static constexpr auto del = Del;
    static Status value(const C &c) { return {c.status}; }
};
template <>
struct Record<dao_subscribe_result> : StatusRecord<dao_subscribe_result, dao_subscribe_result_del> {
};
template <>
struct Record<dao_unsubscribe_result>
    : StatusRecord<dao_unsubscribe_result, dao_unsubscribe_result_del> {};
template <>
struct Record<dao_subscribe_status> : StatusRecord<dao_subscribe_status, dao_subscribe_status_del> {
};
template <>
struct Record<dao_history_save_result>
    : StatusRecord<dao_history_save_result, dao_history_save_result_del> {};
template <>
struct Record<dao_history_clear_result>
    : StatusRecord<dao_history_clear_result, dao_history_clear_result_del> {};
template <>
struct Record<dao_auth_qrcode_status>
    : StatusRecord<dao_auth_qrcode_status, dao_auth_qrcode_status_del> {};
template <>
struct Record<dao_auth_revoke_result>
    : StatusRecord<dao_auth_revoke_result, dao_auth_revoke_result_del> {};

template <>
struct Record<dao_auth_qrcode> {
    static constexpr auto del = dao_auth_qrcode_del;
    static AuthQrCode value(const dao_auth_qrcode &q) {
        return {.status = q.status, .uuid = text(q.uuid), .qrcode_path = text(q.qrcode_path)};
    }
};

template <>
struct Record<dao_auth_grant_code> {
    static constexpr auto del = dao_auth_grant_code_del;
    static AuthGrantCode value(const dao_auth_grant_code &g) {
        return {.code = text(g.code), .state = text(g.state)};
    }
};

template <>
struct Record<dao_auth_access_token> {
    static constexpr auto del = dao_auth_access_token_del;
    static AuthAccessToken value(const dao_auth_access_token &t) {
        return {.access_token = text(t.access_token),
                .refresh_token = text(t.refresh_token),
                .open_uid = text(t.open_uid),
                .scope = text(t.scope),
                .expires_in = t.expires_in};
    }
};

template <>
struct Record<dao_auth_user_info> {
    static constexpr auto del = dao_auth_user_info_del;
    static AuthUserInfo value(const dao_auth_user_info &u) {
        return {.nickname = text(u.nickname), .avatar = text(u.avatar)};
    }
};

template <>
struct Record<dao_subscribe> {
    static constexpr auto del = dao_subscribe_del;
    static Subscription value(const dao_subscribe &s) {
        return {.type = s.type,
                .id = s.id,
                .name = text(s.name),
                .desc = text(s.desc),
                .img = text(s.img),
                .isOnline = s.isOnline,
                .hasCopyright = s.hasCopyright,
                .countNum = s.countNum,
                .updateTime = s.updateTime};
    }
};

template <>
struct Record<dao_subscribe_set>
    : PageRecord<dao_subscribe_set, dao_subscribe_set_del, dao_subscribe> {};

template <>
struct Record<dao_history> {
    static constexpr auto del = dao_history_del;
    static History value(const dao_history &h) {
        return {.radioId = text(h.radioId),
                .radioTitle = text(h.radioTitle),
                .picUrl = text(h.picUrl),
                .audioId = text(h.audioId),
                .audioTitle = text(h.audioTitle),
                .playUrl = text(h.playUrl),
                .shareUrl = text(h.shareUrl),
                .playedTime = h.playedTime,
                .duration = h.duration,
                .orderNum = h.orderNum,
                .timeStamp = h.timeStamp};
    }
};

template <>
struct Record<dao_history_set> : PageRecord<dao_history_set, dao_history_set_del, dao_history> {};

template <>
struct Record<dao_search_result> {
    static constexpr auto del = dao_search_result_del;
    static SearchResult value(const dao_search_result &r) {
        return {.id = r.id,
                .oldId = r.oldId,
                .type = r.type,
                .listenNum = r.listenNum,
                .source = r.source,
                .isShowRed = r.isShowRed,
                .isRequest = r.isRequest,
                .duration = r.duration,
                .originalDuration = r.originalDuration,
                .name = text(r.name),
                .img = text(r.img),
                .albumName = text(r.albumName),
                .sourceName = text(r.sourceName),
                .playUrl = text(r.playUrl)};
    }
};

template <>
struct Record<dao_search_suggest_word> {
    static constexpr auto del = dao_search_suggest_word_del;
    static std::string value(const dao_search_suggest_word &w) { return text(w.word); }
};

// What a data call delivers: one record of type C (count 1), which the
// receiver frees unless the SDK keeps it (`Owned` false: an item of the play
// list) ...
template <class C, bool Owned = true>
struct One {
    using CType = C;
    using Value = decltype(Record<C>::value(std::declval<const C &>()));
    static void del(C *record) {
        if constexpr (Owned) {
            Record<C>::del(record);
        }
    }
    static Value value(const C *record) {
        if (record == nullptr) {
            throw Error(RVE_BAD_RESPONSE, "no record delivered");
        }
        return Record<C>::value(*record);
    }
};

// ... or a bare List of records of type C.
template <class C>
struct ListOf {
    using CType = List;
    using Value = decltype(values<C>(nullptr));
    static void del(List *list) { ListFree(list); }
    static Value value(const List *list) { return values<C>(list); }
};

// ... or nothing: the call only succeeds or fails.
struct NoData {
    using CType = void;
    using Value = void;
    static void del(void *) {}
};

// How a value waits in a call: std::monostate for calls without data.
template <class T>
using Stored = std::conditional_t<std::is_void_v<T>, std::monostate, T>;

// The callable behind the future form of a call.
template <class T>
class Promise {
  public:
    void operator()() requires std::is_void_v<T> { promise_.set_value(); }
    void operator()(Stored<T> &&value) requires(!std::is_void_v<T>) {
        promise_.set_value(std::move(value));
    }
    void operator()(const Error &error) { promise_.set_exception(std::make_exception_ptr(error)); }
    std::future<T> future() { return promise_.get_future(); }

  private:
    std::promise<T> promise_;
};

inline void log_dropped_exception(const char *where) noexcept {
    logout(2, 2, "E", "RADIO_SDK_HPP", "%s: the application's callable threw; dropped\n", where);
}

// One call in flight: the application's callable, reclaimed by the SDK's
// result callback (which runs exactly once) and destroyed after it has run.
template <class Shape, class F>
class Pending {
  public:
    Pending(F fn, const char *name) : fn_(std::move(fn)), name_(name) {}

    static void deliver(int code, void *data, int, void *user) noexcept {
        std::unique_ptr<Pending> self(static_cast<Pending *>(user));
        std::unique_ptr<typename Shape::CType, void (*)(typename Shape::CType *)> owned(
            static_cast<typename Shape::CType *>(data), &Shape::del);
        using Value = typename Shape::Value;
        std::optional<Stored<Value>> value;
        if (code == RVE_OK) {
            try {
                if constexpr (std::is_void_v<Value>) {
                    value.emplace();
                } else {
                    value.emplace(Shape::value(owned.get()));
                }
            } catch (const Error &e) {
                code = e.code();
            } catch (...) {
                code = RVE_NO_MEMORY;
            }
        }
        owned.reset();
        try {
            if (!value) {
                std::invoke(self->fn_, Error(code, self->name_));
            } else if constexpr (std::is_void_v<Value>) {
                std::invoke(self->fn_);
            } else {
                std::invoke(self->fn_, std::move(*value));
            }
        } catch (...) {
            log_dropped_exception(self->name_);
        }
    }

  private:
    F fn_;
    const char *name_;
};

// Starts the C data function `fn` with `args` followed by the result callback
// and its user pointer. With a callable, that callable gets the value or an
// rv::Error; without one, the value arrives through the returned future.
template <class Shape, class CFn, class Args, class... F>
auto call(const char *name, CFn fn, Args args, F &&...on_done) {
    static_assert(sizeof...(F) <= 1, "pass one callable, or none for a std::future");
    using Value = typename Shape::Value;
    const auto start = [&]<class G>(G &&g) {
        using Call = Pending<Shape, std::decay_t<G>>;
        auto pending = std::make_unique<Call>(std::forward<G>(g), name);
        std::apply([&](auto... a) { fn(a..., &Call::deliver, pending.release()); }, args);
    };
    if constexpr (sizeof...(F) == 0) {
        Promise<Value> promise;
        std::future<Value> future = promise.future();
        start(std::move(promise));
        return future;
    } else {
        if constexpr (std::is_void_v<Value>) {
            static_assert((std::is_invocable_v<std::decay_t<F> &> && ...),
                          "the callable must accept no argument (success)");
        } else {
            static_assert((std::is_invocable_v<std::decay_t<F> &, Value &&> && ...),
                          "the callable must accept the call's value");
        }
        static_assert((std::is_invocable_v<std::decay_t<F> &, const Error &> && ...),
                      "the callable must accept an rv::Error");
        (start(std::forward<F>(on_done)), ...);
    }
}

inline const char *c_str(const std::optional<std::string> &s) {
    return s ? s->c_str() : nullptr;
}

// The init callback's outcome, shared by the constructor and the callback
// (which may come late, after a timed-out constructor has given up).
class InitWait {
  public:
    static void deliver(int code, void *, int, void *user) noexcept {
        std::unique_ptr<std::shared_ptr<InitWait>> self(
            static_cast<std::shared_ptr<InitWait> *>(user));
        std::lock_guard lock((*self)->mutex_);
        (*self)->code_ = code;
        (*self)->done_.notify_all();
    }
    std::optional<int> wait_for(std::chrono::milliseconds timeout) {
        std::unique_lock lock(mutex_);
        done_.wait_for(lock, timeout, [this] { return code_.has_value(); });
        return code_;
    }

  private:
    // Guards code_; written by the init callback (calling or worker thread).
    std::mutex mutex_;
    std::condition_variable done_;
    std::optional<int> code_;
};

}  // namespace detail

/* --- Playback ----------------------------------------------------------------- */

// A play item (dao_play_item of rv_play_item.h) as a value: an audio of an
// album or smartcast radio, or a programme of a broadcast. Fields that the
// item's source does not fill are empty or 0.
struct PlayItem {
    std::string audioName;
    std::string audioPic;
    std::string audioDes;
    std::string radioName;
    std::string albumName;
    std::string albumPic;
    std::string mp3PlayUrl32;
    std::string mp3PlayUrl64;
    std::string aacPlayUrl;
    std::string aacPlayUrl32;
    std::string aacPlayUrl64;
    std::string aacPlayUrl128;
    std::string clockId;
    std::string playUrl;
    std::string title;
    std::string beginTime;
    std::string endTime;
    int64_t albumId = 0;
    int64_t updateTime = 0;
    int64_t audioId = 0;
    int64_t duration = 0;
    int64_t startTime = 0;
    int64_t finishTime = 0;
    int64_t reserved64 = 0;
    int32_t orderNum = 0;
    int32_t originalDuration = 0;
    int32_t listenNum = 0;
    int32_t likedNum = 0;
    int32_t hasCopyright = 0;
    int32_t commentNum = 0;
    int32_t categoryId = 0;
    int32_t reserved32a = 0;
    int32_t isListened = 0;
    int32_t status = 0;
    int32_t needRestart = 0;
    int32_t reserved32b = 0;
    int32_t type = 0;
};

// What starts a resource (dao_play_audio_bean). Usually made by the
// rv::Player::play overloads from a catalogue value.
struct AudioBean {
    int32_t type = RV_RESOURCE_ALBUM;
    int64_t id = 0;
    int64_t audioId = 0;  // the audio to start with; 0: the first
    int32_t sortType = 0;
    int32_t prePage = 0;
    int32_t nextPage = 0;
    std::string name;
    std::string img;
    std::optional<std::string> clockId;
};

namespace detail {

// dao_play_item and rv::PlayItem have the same fields in the same order: one
// list serves both directions, `str` converting the strings.
template <class To, class From, class Str>
To play_item_fields(const From &i, Str str) {
    return {.audioName = str(i.audioName),
            .audioPic = str(i.audioPic),
            .audioDes = str(i.audioDes),
            .radioName = str(i.radioName),
            .albumName = str(i.albumName),
            .albumPic = str(i.albumPic),
            .mp3PlayUrl32 = str(i.mp3PlayUrl32),
            .mp3PlayUrl64 = str(i.mp3PlayUrl64),
            .aacPlayUrl = str(i.aacPlayUrl),
            .aacPlayUrl32 = str(i.aacPlayUrl32),
            .aacPlayUrl64 = str(i.aacPlayUrl64),
            .aacPlayUrl128 = str(i.aacPlayUrl128),
            .clockId = str(i.clockId),
            .playUrl = str(i.playUrl),
            .title = str(i.title),
            .beginTime = str(i.beginTime),
            .endTime = str(i.endTime),
            .albumId = i.albumId,
            .updateTime = i.updateTime,
            .audioId = i.audioId,
            .duration = i.duration,
            .startTime = i.startTime,
            .finishTime = i.finishTime,
            .reserved64 = i.reserved64,
            .orderNum = i.orderNum,
            .originalDuration = i.originalDuration,
            .listenNum = i.listenNum,
            .likedNum = i.likedNum,
            .hasCopyright = i.hasCopyright,
            .commentNum = i.commentNum,
            .categoryId = i.categoryId,
            .reserved32a = i.reserved32a,
            .isListened = i.isListened,
            .status = i.status,
            .needRestart = i.needRestart,
            .reserved32b = i.reserved32b,
            .type = i.type};
}

template <>
struct Record<dao_play_item> {
    static constexpr auto del = dao_play_item_del;
    static PlayItem value(const dao_play_item &i) { return play_item_fields<PlayItem>(i, text); }
};

// The C functions that take a bean or an item only read it and copy what
// they keep, so the C record may point into the value's strings.
inline char *c_text(const std::string &s) {
    return const_cast<char *>(s.c_str());
}

inline dao_play_item c_view(const PlayItem &i) {
    return play_item_fields<dao_play_item>(i, c_text);
}

inline dao_play_audio_bean c_view(const AudioBean &b) {
    return {.type = b.type,
            .id = b.id,
            .audioId = b.audioId,
            .sortType = b.sortType,
            .prePage = b.prePage,
            .nextPage = b.nextPage,
            .name = c_text(b.name),
            .img = c_text(b.img),
            .clockId = b.clockId ? c_text(*b.clockId) : nullptr};
}

inline std::optional<PlayItem> item_value(const dao_play_item *item) {
    return item != nullptr ? std::optional(Record<dao_play_item>::value(*item)) : std::nullopt;
}

// rv_fetchMorePlaylist's listener record carries no user pointer, so the
// fetches started here share one static record and go one at a time: each
// waits until the one before it has been answered. fetch() has the shape of a
// data function, so detail::call serves it like the others.
class FetchQueue {
  public:
    // Answers `done` exactly once: RVE_OK with the first item fetched (kept by
    // the play list), or RVE_FAILED when nothing was fetched.
    static void fetch(const char *clock_id, rv_result_callback done, void *user) noexcept {
        FetchQueue &queue = get();
        bool first = false;
        try {
            std::lock_guard lock(queue.mutex_);
            queue.waiting_.push_back({clock_id != nullptr ? clock_id : "", done, user});
            first = queue.waiting_.size() == 1;
        } catch (...) {
            done(RVE_NO_MEMORY, nullptr, 0, user);
            return;
        }
        if (first) {
            queue.start_front();
        }
    }

  private:
    struct Waiting {
        std::string clock_id;  // "" for albums
        rv_result_callback done;
        void *user;
    };

    static FetchQueue &get() {
        static FetchQueue queue;
        return queue;
    }
    static FetchPlaylistListener &record() {
        static FetchPlaylistListener record{
            .onPlayItemReady = [](dao_play_item *item) { get().finish(RVE_OK, item); },
            .onPlayItemUnavailable = [](void *) { get().finish(RVE_FAILED, nullptr); },
        };
        return record;
    }

    // The SDK may answer on this thread before rv_fetchMorePlaylist returns,
    // so the clock id is passed as a copy, and no lock of ours is held.
    void start_front() noexcept {
        std::string clock_id;
        try {
            std::lock_guard lock(mutex_);
            clock_id = waiting_.front().clock_id;
        } catch (...) {
            finish(RVE_NO_MEMORY, nullptr);
            return;
        }
        rv_fetchMorePlaylist(&record(), clock_id.empty() ? nullptr : clock_id.c_str());
    }

    void finish(int code, dao_play_item *item) noexcept {
        std::optional<Waiting> answered;
        bool more = false;
        {
            std::lock_guard lock(mutex_);
            if (waiting_.empty()) {
                return;  // not one of ours
            }
            answered.emplace(std::move(waiting_.front()));
            waiting_.pop_front();
            more = !waiting_.empty();
        }
        answered->done(code, item, item != nullptr ? 1 : 0, answered->user);
        if (more) {
            start_front();
        }
    }

    // Guards waiting_ (the front entry is the fetch in flight); taken by the
    // calling threads and by the answers (worker or calling thread).
    std::mutex mutex_;
    std::deque<Waiting> waiting_;
};

}  // namespace detail

// Receives the player's events; override what you need. Registered with
// rv::Player::listen for the lifetime of the handle it returns. Methods run on
// the SDK's threads (named per method); this header holds no lock of its own
// while they run, and the player's lock is recursive, so they may call any
// rv::Player method from any method, on_live_program_updated included. They
// must return promptly and must not destroy the rv::Sdk. An exception they
// throw is logged and dropped.
class PlayerListener {
  public:
    virtual ~PlayerListener() = default;
    // The item is ready to play. Engine event thread.
    virtual void on_prepare_complete() {}
    // Playing started or resumed. Thread of the command that caused it.
    virtual void on_playing() {}
    // Paused. Thread of the command that caused it.
    virtual void on_paused() {}
    // Position and duration in ms: kind RV_PROGRESS_PLAYER about every 500 ms
    // from the engine's event thread; RV_PROGRESS_LIVE once a second from the
    // live-programme clock's thread.
    virtual void on_progress(int32_t /*kind*/, int64_t /*position*/, int64_t /*duration*/) {}
    // An engine error (what 100) with its detail. Engine event thread.
    virtual void on_error(int32_t /*what*/, int32_t /*detail*/) {}
    // The item played to its end. Engine event thread.
    virtual void on_play_end() {}
    // A seek began. Thread of the rv::Player::seek call.
    virtual void on_seek_start() {}
    // A seek finished. Engine event thread.
    virtual void on_seek_complete() {}
    // Playback stalls for input / goes on. Engine event thread.
    virtual void on_buffering_start() {}
    virtual void on_buffering_complete() {}
    // Bytes received and total (or ms buffered ahead and duration) about once
    // a second while an item downloads (setPlayerDownloadProgressListener).
    // Engine event thread.
    virtual void on_download_progress(int64_t /*received*/, int64_t /*total*/) {}
    // Now playing on a live stream changed, as its audio is heard: title and
    // artist, UTF-8, either may be empty (setPlayerMetadataListener). Engine
    // event thread.
    virtual void on_metadata(const std::string & /*title*/, const std::string & /*artist*/) {}
    // A new programme is live on the broadcast being played. SDK worker thread.
    virtual void on_live_program_updated(const PlayItem & /*item*/) {}
};

// A listener made of individual callables; unset ones are skipped.
struct PlayerCallbacks : PlayerListener {
    std::function<void()> prepare_complete, playing, paused, play_end, seek_start, seek_complete,
        buffering_start, buffering_complete;
    std::function<void(int32_t kind, int64_t position, int64_t duration)> progress;
    std::function<void(int32_t what, int32_t detail)> error;
    std::function<void(int64_t received, int64_t total)> download_progress;
    std::function<void(const std::string &title, const std::string &artist)> metadata;
    std::function<void(const PlayItem &)> live_program_updated;

    void on_prepare_complete() override { run(prepare_complete); }
    void on_playing() override { run(playing); }
    void on_paused() override { run(paused); }
    void on_progress(int32_t k, int64_t p, int64_t d) override { run(progress, k, p, d); }
    void on_error(int32_t what, int32_t detail) override { run(error, what, detail); }
    void on_play_end() override { run(play_end); }
    void on_seek_start() override { run(seek_start); }
    void on_seek_complete() override { run(seek_complete); }
    void on_buffering_start() override { run(buffering_start); }
    void on_buffering_complete() override { run(buffering_complete); }
    void on_download_progress(int64_t r, int64_t t) override { run(download_progress, r, t); }
    void on_metadata(const std::string &t, const std::string &a) override { run(metadata, t, a); }
    void on_live_program_updated(const PlayItem &i) override { run(live_program_updated, i); }

  private:
    template <class Fn, class... A>
    static void run(const Fn &fn, const A &...a) {
        if (fn) {
            fn(a...);
        }
    }
};

namespace detail {

// The C listener records hold no user pointer, so one process-wide hub owns
// them and fans each event out to the registered C++ listeners. No lock of
// the hub is held while a listener runs: a listener calling into the player
// can never close a circle with a thread that holds the player's lock and
// waits to reach the hub.
class ListenerHub {
  public:
    struct Entry {
        // Cleared through the gate on unregistration, which therefore waits
        // for a call in progress on another thread.
        std::atomic<PlayerListener *> listener{nullptr};
        CallbackGate<PlayerListener *> gate{listener};
        std::unique_ptr<PlayerListener> owned;  // for rv::PlayerCallbacks
    };

    static ListenerHub &get() {
        static ListenerHub hub;
        return hub;
    }
    ~ListenerHub() { uninstall(); }

    std::shared_ptr<Entry> add(PlayerListener *listener, std::unique_ptr<PlayerListener> owned) {
        auto entry = std::make_shared<Entry>();
        entry->listener = listener;
        entry->owned = std::move(owned);
        std::lock_guard install(install_mutex_);
        bool first = false;
        {
            std::lock_guard lock(mutex_);
            entries_.push_back(entry);
            first = entries_.size() == 1;
        }
        if (first) {
            setPlayerStateListener(&state_record());
            setPlayerBroadcastListener(&broadcast_record());
            setPlayerDownloadProgressListener(&download_progress);
            setPlayerMetadataListener(&metadata);
        }
        return entry;
    }

    void remove(const std::shared_ptr<Entry> &entry) {
        entry->gate.set(nullptr);
        // The C removals wait for events still passing through the hub on
        // other threads; those no longer reach any listener of this entry.
        std::lock_guard install(install_mutex_);
        bool last = false;
        {
            std::lock_guard lock(mutex_);
            std::erase(entries_, entry);
            last = entries_.empty();
        }
        if (last) {
            uninstall();
        }
    }

  private:
    template <class... P, class... A>
    static void dispatch(void (PlayerListener::*method)(P...), const A &...args) noexcept {
        std::vector<std::shared_ptr<Entry>> entries;
        try {
            ListenerHub &hub = get();
            std::lock_guard lock(hub.mutex_);
            entries = hub.entries_;
        } catch (...) {
            log_dropped_exception("player listener");
            return;
        }
        for (const std::shared_ptr<Entry> &entry : entries) {
            entry->gate.call([&](PlayerListener *listener) {
                try {
                    (listener->*method)(args...);
                } catch (...) {
                    log_dropped_exception("player listener");
                }
            });
        }
    }

    static void download_progress(int64_t fetched, int64_t total) noexcept {
        dispatch(&PlayerListener::on_download_progress, fetched, total);
    }

    static void metadata(const char *title, const char *artist) noexcept {
        std::optional<std::pair<std::string, std::string>> texts;
        try {
            texts.emplace(title, artist);
        } catch (...) {
            log_dropped_exception("player listener");
        }
        if (texts) {
            dispatch(&PlayerListener::on_metadata, texts->first, texts->second);
        }
    }

    static void live_program_updated(dao_play_item *item) noexcept {
        std::optional<PlayItem> value;
        try {
            value = item_value(item);
        } catch (...) {
            log_dropped_exception("player listener");
        }
        if (value) {
            dispatch(&PlayerListener::on_live_program_updated, *value);
        }
    }

    static PlayerStateListener &state_record() {
        static PlayerStateListener record{
            .OnPrepareComplete = [] { dispatch(&PlayerListener::on_prepare_complete); },
            .OnPlaying = [] { dispatch(&PlayerListener::on_playing); },
            .OnPaused = [] { dispatch(&PlayerListener::on_paused); },
            .OnProgress =
                [](int32_t kind, int64_t position, int64_t duration) {
                    dispatch(&PlayerListener::on_progress, kind, position, duration);
                },
            .OnError = [](int32_t what,
                          int32_t detail) { dispatch(&PlayerListener::on_error, what, detail); },
            .OnPlayEnd = [] { dispatch(&PlayerListener::on_play_end); },
            .OnSeekStart = [] { dispatch(&PlayerListener::on_seek_start); },
            .OnSeekComplete = [] { dispatch(&PlayerListener::on_seek_complete); },
            .OnBufferingStart = [] { dispatch(&PlayerListener::on_buffering_start); },
            .OnBufferingComplete = [] { dispatch(&PlayerListener::on_buffering_complete); },
        };
        return record;
    }
    static PlayerBroadcastListener &broadcast_record() {
        static PlayerBroadcastListener record{.OnLiveProgramUpdated = &live_program_updated};
        return record;
    }
    void uninstall() {
        removePlayerStateListener();
        removePlayerBroadcastListener();
        setPlayerDownloadProgressListener(nullptr);
        setPlayerMetadataListener(nullptr);
    }

    // Orders installing and removing the C records; taken by (un)registration
    // only, never by an event.
    std::mutex install_mutex_;
    // Guards entries_; taken by (un)registration and, briefly, by each event.
    std::mutex mutex_;
    std::vector<std::shared_ptr<Entry>> entries_;
};

}  // namespace detail

// Keeps a listener registered; destroying it unregisters the listener, which
// receives nothing once the destructor has returned (a call in progress on
// another thread is waited for; destroy it from inside the listener itself
// only from the thread it runs on). Move-only.
class ListenerHandle {
  public:
    ListenerHandle() = default;
    ListenerHandle(ListenerHandle &&) noexcept = default;
    ListenerHandle &operator=(ListenerHandle &&other) noexcept {
        reset();
        entry_ = std::move(other.entry_);
        return *this;
    }
    ~ListenerHandle() { reset(); }
    // Unregisters now.
    void reset() noexcept {
        if (entry_) {
            detail::ListenerHub::get().remove(entry_);
            entry_.reset();
        }
    }

  private:
    friend class Player;
    explicit ListenerHandle(std::shared_ptr<detail::ListenerHub::Entry> entry)
        : entry_(std::move(entry)) {}
    std::shared_ptr<detail::ListenerHub::Entry> entry_;
};

// The player: starts resources and controls playback (rv_player.h). Get it
// from rv::Sdk::player(); copies are interchangeable. Every method may be
// called from any thread, also from inside a listener. Queries never block on
// the network; commands that end an item (stop, reset, starting or moving to
// another item) wait at most about 200 ms for the engine to let go of it;
// play lists are fetched in the background. Before a
// resource has been started the controls do nothing and the queries answer
// false, -1 or nothing. Playback events arrive through listen().
class Player {
  public:
    /* Starting playback: albums, audios and smartcast radios go to the album
     * player, broadcasts to the broadcast player, which then serves the
     * controls below. */

    void play(const AudioBean &bean) const {
        dao_play_audio_bean c = detail::c_view(bean);
        rv_playByAudioBean(&c);
    }
    // An album from its first audio.
    void play(const Album &album) const { play(bean(RV_RESOURCE_ALBUM, album.id, 0, album)); }
    void play(const AlbumInfo &album) const { play(bean(RV_RESOURCE_ALBUM, album.id, 0, album)); }
    // An audio's album, starting at that audio.
    void play(const Audio &audio) const {
        play(AudioBean{.type = RV_RESOURCE_ALBUM,
                       .id = audio.albumId,
                       .audioId = audio.audioId,
                       .sortType = 1,
                       .prePage = 1,
                       .nextPage = 1,
                       .name = audio.albumName,
                       .img = audio.albumPic,
                       .clockId = std::nullopt});
    }
    // A smartcast radio from its first batch.
    void play(const Smartcast &radio) const {
        play(bean(RV_RESOURCE_SMARTCAST, radio.id, 0, radio));
    }
    // A broadcast, live.
    void play(const Broadcast &b) const { play(bean(RV_RESOURCE_BROADCAST, b.broadcastId, 0, b)); }
    void play(const BroadcastInfo &b) const {
        play(bean(RV_RESOURCE_BROADCAST, b.broadcastId, 0, b));
    }
    // One play item (for example one of play_list()).
    void play(const PlayItem &item) const {
        dao_play_item c = detail::c_view(item);
        rv_playByPlayItem(&c);
    }

    /* Control */

    void resume() const { rv_Play(); }
    void pause() const { rv_pause(); }
    void stop() const { rv_stop(); }
    void reset() const { rv_reset(); }
    void toggle_pause() const { rv_switchPlayOrPause(); }
    void seek(int32_t position_ms) const { rv_seek(position_ms); }
    // Playback speed, 0.5..2.0 with the pitch kept, for this item and the next
    // ones (rv_setPlaybackSpeed). rv::Error RVE_BAD_ARGS outside the range,
    // RVE_LIVE_STREAM while a live stream plays.
    void set_speed(float speed) const {
        if (const int32_t code = rv_setPlaybackSpeed(speed); code != RVE_OK) {
            throw Error(code, "rv_setPlaybackSpeed");
        }
    }
    void previous() const { rv_playPre(); }
    void next() const { rv_playNext(); }

    /* State */

    bool is_playing() const { return rv_isPlaying(); }
    bool is_paused() const { return rv_isPaused(); }
    bool can_seek() const { return rv_canSeek(); }
    bool has_previous() const { return rv_hasPre(); }
    bool has_next() const { return rv_hasNext(); }

    /* The play list: copies, taken at the call. -1 and nothing when no
     * resource has been started. The SDK may change the list on its own
     * threads meanwhile (fetching more, a new resource): call these from a
     * listener, or when nothing else starts or fetches. */

    int32_t current_index() const { return rv_getCurPlayItemIndex(); }
    std::optional<PlayItem> current_item() const { return detail::item_value(rv_getCurPlayItem()); }
    // The position of the item with the same audioId, or -1.
    int32_t index_of(const PlayItem &item) const {
        dao_play_item c = detail::c_view(item);
        return rv_getPlayItemIndex(&c);
    }
    std::optional<PlayItem> item(int32_t index) const {
        return detail::item_value(rv_getPlayItem(index));
    }
    int32_t size() const { return rv_getPlayListSize(); }
    std::vector<PlayItem> play_list() const {
        return detail::values<dao_play_item>(rv_getPlayList());
    }

    // Fetches the next page of the album (`clock_id` "") or the next batch of
    // the smartcast radio (`clock_id`: the clockId of the list's last item)
    // and appends it to the play list; nothing starts playing. The value is
    // the first item fetched; rv::Error 2 when nothing was fetched (no further
    // page or batch, the service failed, or the broadcast player is selected).
    // Two forms, as rv::Sdk's data calls: a callable, called exactly once, or a
    // std::future. The callable runs on an SDK worker thread with the player's
    // lock held, or on the calling thread when the answer is known at once: it
    // may call rv::Player methods but must not wait for a thread that does.
    // Fetches started here run one after another, in the order of the calls.
    template <class... F>
    auto fetch_more(const std::string &clock_id, F &&...on_done) const {
        return detail::call<detail::One<dao_play_item, false>>(
            "rv_fetchMorePlaylist", &detail::FetchQueue::fetch, std::tuple(clock_id.c_str()),
            std::forward<F>(on_done)...);
    }

    /* Events */

    // Registers `listener` (which must outlive the handle) / callables.
    // Any thread, also from inside a listener.
    [[nodiscard]] ListenerHandle listen(PlayerListener &listener) const {
        return ListenerHandle(detail::ListenerHub::get().add(&listener, nullptr));
    }
    [[nodiscard]] ListenerHandle listen(PlayerCallbacks callbacks) const {
        auto owned = std::make_unique<PlayerCallbacks>(std::move(callbacks));
        PlayerListener *listener = owned.get();
        return ListenerHandle(detail::ListenerHub::get().add(listener, std::move(owned)));
    }

  private:
    friend class Sdk;
    Player() = default;

    template <class Resource>
    static AudioBean bean(int32_t type, int64_t id, int64_t audio_id, const Resource &r) {
        const bool album = type == RV_RESOURCE_ALBUM;
        return {.type = type,
                .id = id,
                .audioId = audio_id,
                .sortType = album ? 1 : 0,
                .prePage = album ? 1 : 0,
                .nextPage = album ? 1 : 0,
                .name = r.name,
                .img = r.img,
                .clockId = std::nullopt};
    }
};

/* --- The SDK ----------------------------------------------------------------- */

struct Config {
    std::string app_id;
    std::string secret_key;
    std::string channel;
    std::string package_name;
    std::optional<std::string> data_dir;  // the current directory when absent
    std::optional<std::string> extra;     // kept by the SDK, read by no request
    // Hosts and CA bundle (rv_setServiceHosts, rv_setCaFile); absent values
    // leave the process's current setting: the environment variables
    // RV_OPEN_API_HTTP, RV_OPEN_API_HTTPS, RV_REPORT_HOST, RV_CA_FILE, else
    // the bundled local service.
    std::optional<std::string> open_api_http;
    std::optional<std::string> open_api_https;
    std::optional<std::string> report_host;
    std::optional<std::string> ca_file;
    // How long the constructor waits for the service's answer to start-up.
    std::chrono::milliseconds start_timeout{20000};
};

// The started SDK. One per process; neither copyable nor movable (hold it in a
// std::optional or std::unique_ptr to control its lifetime).
//
// Data calls: each method below starts one query of the service and returns
// at once, in two forms:
//   - with a callable, which is called exactly once with either the value or
//     an rv::Error (a generic lambda, or rv::overloaded{...}). It runs on the
//     calling thread before the method returns when the call is refused (for
//     example rv::Error 3 while the SDK is stopping), otherwise on one of the
//     SDK's three worker threads, where callables of different calls may run
//     at the same time and in any order. Inside it the application may start
//     further calls; it must not block on the SDK (wait on one of its
//     futures, destroy the rv::Sdk), since that would hold a worker.
//   - without one, returning a std::future of the value; get() throws the
//     rv::Error. Wait on it from the application's own threads only.
// Every call is answered, also when the rv::Sdk is destroyed meanwhile (then
// with rv::Error 2 or 3). Methods may be called from any thread at once.
class Sdk {
  public:
    // Starts the SDK and waits up to config.start_timeout for its outcome.
    // Throws rv::Error with the start-up's code: 3 when an SDK is already
    // started or starting in this process, 4 a missing credential, 16 a data
    // directory that is not readable and writable, 2 or a server code when
    // the service cannot be reached or refuses, and the code of the failure
    // when no answer came in time. Whatever failed has been released again
    // (except another instance's SDK). Blocks; call it from an application
    // thread, never from an SDK callback.
    explicit Sdk(const Config &config) {
        using detail::c_str;
        if (config.open_api_http || config.open_api_https || config.report_host) {
            const int hosts =
                rv_setServiceHosts(c_str(config.open_api_http), c_str(config.open_api_https),
                                   c_str(config.report_host));
            if (hosts != RVE_OK) {
                throw Error(hosts, "rv_setServiceHosts");
            }
        }
        if (config.ca_file) {
            rv_setCaFile(config.ca_file->c_str());
        }
        auto wait = std::make_shared<detail::InitWait>();
        auto hold = std::make_unique<std::shared_ptr<detail::InitWait>>(wait);
        rv_initSdk(config.app_id.c_str(), config.secret_key.c_str(), config.channel.c_str(),
                   c_str(config.extra), config.package_name.c_str(), c_str(config.data_dir),
                   &detail::InitWait::deliver, hold.release());
        std::optional<int> code = wait->wait_for(config.start_timeout);
        if (code == RVE_OK) {
            return;
        }
        if (code == RVE_NOT_READY) {
            // Another start-up owns the SDK: leave it alone.
            throw Error(*code, "rv::Sdk: the SDK is already started or starting in this process");
        }
        // A failed or unfinished start-up keeps its transport until released;
        // the release also makes a late start-up report its failure.
        rv_releaseSdk();
        if (code) {
            throw Error(*code, "rv::Sdk: start-up failed");
        }
        code = wait->wait_for(std::chrono::seconds(5));
        throw Error(code.value_or(RVE_FAILED) != RVE_OK ? code.value_or(RVE_FAILED) : RVE_FAILED,
                    "rv::Sdk: start-up did not finish in time");
    }

    // Stops the SDK: calls in flight are answered (rv::Error 2 or 3) before it
    // returns, which it does promptly also when a server does not answer.
    // Never call it from an SDK callback.
    ~Sdk() { rv_releaseSdk(); }

    Sdk(const Sdk &) = delete;
    Sdk &operator=(const Sdk &) = delete;

    // The player (rv_player.h); valid while this rv::Sdk lives.
    Player player() const { return Player(); }

    // Retries of reading calls after transient failures (rv_setRequestRetries:
    // which calls, which failures, the waits); 0 turns them off. Any thread.
    void set_request_retries(int count) const noexcept { rv_setRequestRetries(count); }

    /* Catalogue */

    // Every top-level category.
    template <class... F>
    auto get_all_category(F &&...on_done) const {
        return detail::call<detail::ListOf<dao_category>>(
            "rv_getAllCategory", rv_getAllCategory, std::tuple(), std::forward<F>(on_done)...);
    }
    // The sub-categories of `cid`.
    template <class... F>
    auto get_sub_category(int cid, F &&...on_done) const {
        return detail::call<detail::ListOf<dao_category>>(
            "rv_getSubCategory", rv_getSubCategory, std::tuple(cid), std::forward<F>(on_done)...);
    }
    // A page of the albums of category `cid` (sorttype 2: most listened first).
    template <class... F>
    auto get_album_list(int cid, int sorttype, int pagenum, int pagesize, F &&...on_done) const {
        return detail::call<detail::One<dao_album_set>>(
            "rv_getAlbumList", rv_getAlbumList, std::tuple(cid, sorttype, pagenum, pagesize),
            std::forward<F>(on_done)...);
    }
    // An album's details.
    template <class... F>
    auto get_album_info(int64_t album_id, F &&...on_done) const {
        return detail::call<detail::One<dao_album_info>>(
            "rv_getAlbumInfo", rv_getAlbumInfo, std::tuple(album_id), std::forward<F>(on_done)...);
    }
    // A page of an album's audios; with pagenum 0 and an audio_id of 1 or
    // more, the page holding that audio.
    template <class... F>
    auto get_album_audio_list(int64_t album_id, int sorttype, int pagenum, int pagesize,
                              int64_t audio_id, F &&...on_done) const {
        return detail::call<detail::One<dao_audio_set>>(
            "rv_getAlbumAudioList", rv_getAlbumAudioList,
            std::tuple(album_id, sorttype, pagenum, pagesize, audio_id),
            std::forward<F>(on_done)...);
    }
    // An audio's details.
    template <class... F>
    auto get_album_audio_info(int64_t audio_id, F &&...on_done) const {
        return detail::call<detail::One<dao_audio>>("rv_getAlbumAudioInfo", rv_getAlbumAudioInfo,
                                                    std::tuple(audio_id),
                                                    std::forward<F>(on_done)...);
    }
    // A page of the top albums of list `type`.
    template <class... F>
    auto get_album_top_list(const std::string &type, int pagenum, int pagesize,
                            F &&...on_done) const {
        return detail::call<detail::One<dao_album_set>>("rv_getAlbumTopList", rv_getAlbumTopList,
                                                        std::tuple(type.c_str(), pagenum, pagesize),
                                                        std::forward<F>(on_done)...);
    }

    /* Smartcast radios and the operate list */

    // A page of the operate list (featured entries).
    template <class... F>
    auto get_operate_list(int pagenum, int pagesize, F &&...on_done) const {
        return detail::call<detail::One<dao_operate_set>>("rv_getOperateList", rv_getOperateList,
                                                          std::tuple(pagenum, pagesize),
                                                          std::forward<F>(on_done)...);
    }
    // The smartcast categories.
    template <class... F>
    auto get_smartcast_category(F &&...on_done) const {
        return detail::call<detail::ListOf<dao_category>>("rv_getSmartcastCategory",
                                                          rv_getSmartcastCategory, std::tuple(),
                                                          std::forward<F>(on_done)...);
    }
    // The smartcast radios of category `cid`.
    template <class... F>
    auto get_smartcast_list(int cid, F &&...on_done) const {
        return detail::call<detail::ListOf<dao_smartcast>>("rv_getSmartcastList",
                                                           rv_getSmartcastList, std::tuple(cid),
                                                           std::forward<F>(on_done)...);
    }
    // A smartcast radio's details.
    template <class... F>
    auto get_smartcast_info(int64_t smartcast_id, F &&...on_done) const {
        return detail::call<detail::One<dao_smartcast>>("rv_getSmartcastInfo", rv_getSmartcastInfo,
                                                        std::tuple(smartcast_id),
                                                        std::forward<F>(on_done)...);
    }
    // The next batch of a radio's audios: `clock_id` "" for the first batch,
    // else the clockId of the last audio received; empty when no more.
    template <class... F>
    auto get_smartcast_audio_list(int64_t smartcast_id, const std::string &clock_id,
                                  F &&...on_done) const {
        return detail::call<detail::ListOf<dao_audio>>(
            "rv_getSmartcastAudioList", rv_getSmartcastAudioList,
            std::tuple(smartcast_id, clock_id.c_str()), std::forward<F>(on_done)...);
    }

    /* Broadcasts */

    template <class... F>
    auto get_broadcast_category(F &&...on_done) const {
        return detail::call<detail::ListOf<dao_broadcast_category>>(
            "rv_getBroadcastCategory", rv_getBroadcastCategory, std::tuple(),
            std::forward<F>(on_done)...);
    }
    template <class... F>
    auto get_broadcast_area(F &&...on_done) const {
        return detail::call<detail::ListOf<dao_broadcast_area>>(
            "rv_getBroadcastArea", rv_getBroadcastArea, std::tuple(), std::forward<F>(on_done)...);
    }
    // The days the programme guide covers.
    template <class... F>
    auto get_broadcast_date(F &&...on_done) const {
        return detail::call<detail::ListOf<dao_broadcast_date>>(
            "rv_getBroadcastDate", rv_getBroadcastDate, std::tuple(), std::forward<F>(on_done)...);
    }
    // A page of the broadcasts of a type, classification and area.
    template <class... F>
    auto get_broadcast_list(int type, int classifyid, int pagenum, int pagesize, int area,
                            F &&...on_done) const {
        return detail::call<detail::One<dao_broadcast_set>>(
            "rv_getBroadcastList", rv_getBroadcastList,
            std::tuple(type, classifyid, pagenum, pagesize, area), std::forward<F>(on_done)...);
    }
    template <class... F>
    auto get_broadcast_info(int64_t broadcast_id, F &&...on_done) const {
        return detail::call<detail::One<dao_broadcast_info>>(
            "rv_getBroadcastInfo", rv_getBroadcastInfo, std::tuple(broadcast_id),
            std::forward<F>(on_done)...);
    }
    // The programmes of a broadcast on `date` ("" today, "YYYY-MM-DD"), in time order.
    template <class... F>
    auto get_broadcast_program_list(int64_t broadcast_id, const std::string &date,
                                    F &&...on_done) const {
        return detail::call<detail::ListOf<dao_program>>(
            "rv_getBroadcastProgramList", rv_getBroadcastProgramList,
            std::tuple(broadcast_id, date.c_str()), std::forward<F>(on_done)...);
    }
    template <class... F>
    auto get_broadcast_program_info(int64_t program_id, F &&...on_done) const {
        return detail::call<detail::One<dao_program>>(
            "rv_getBroadcastProgramInfo", rv_getBroadcastProgramInfo, std::tuple(program_id),
            std::forward<F>(on_done)...);
    }
    // The programme on air now, with serverTime set.
    template <class... F>
    auto get_broadcast_current_program(int64_t broadcast_id, F &&...on_done) const {
        return detail::call<detail::One<dao_program>>(
            "rv_getBroadcastCurrentProgram", rv_getBroadcastCurrentProgram,
            std::tuple(broadcast_id), std::forward<F>(on_done)...);
    }
    // City broadcast lists: the SDK does not read these answers yet, so a
    // success carries no value (the callable is called with no argument; the
    // future is a std::future<void>).
    template <class... F>
    auto get_city_broadcast_list(int citycode, int pagenum, int pagesize, F &&...on_done) const {
        return detail::call<detail::NoData>("rv_getCityBroadcastList", rv_getCityBroadcastList,
                                            std::tuple(citycode, pagenum, pagesize),
                                            std::forward<F>(on_done)...);
    }
    template <class... F>
    auto get_city_broadcast_top_list(F &&...on_done) const {
        return detail::call<detail::NoData>("rv_getCityBroadcastTopList",
                                            rv_getCityBroadcastTopList, std::tuple(),
                                            std::forward<F>(on_done)...);
    }

    /* Search */

    // At most `limit` words that complete `word`.
    template <class... F>
    auto get_search_suggest_word(const std::string &word, int limit, F &&...on_done) const {
        return detail::call<detail::ListOf<dao_search_suggest_word>>(
            "rv_getSearchSuggestWord", rv_getSearchSuggestWord, std::tuple(word.c_str(), limit),
            std::forward<F>(on_done)...);
    }
    // Everything whose name holds `keyword`; empty when nothing matches.
    template <class... F>
    auto do_search(const std::string &keyword, F &&...on_done) const {
        return detail::call<detail::ListOf<dao_search_result>>(
            "rv_doSearch", rv_doSearch, std::tuple(keyword.c_str()), std::forward<F>(on_done)...);
    }

    /* Authorisation of a user by QR code */

    template <class... F>
    auto get_auth_qrcode(const std::string &response_type, const std::string &scope,
                         const std::string &redirect_uri, const std::string &state,
                         F &&...on_done) const {
        return detail::call<detail::One<dao_auth_qrcode>>(
            "rv_getAuthQRCode", rv_getAuthQRCode,
            std::tuple(response_type.c_str(), scope.c_str(), redirect_uri.c_str(), state.c_str()),
            std::forward<F>(on_done)...);
    }
    template <class... F>
    auto get_auth_qrcode_status(const std::string &uuid, F &&...on_done) const {
        return detail::call<detail::One<dao_auth_qrcode_status>>(
            "rv_getAuthQRCodeStatus", rv_getAuthQRCodeStatus, std::tuple(uuid.c_str()),
            std::forward<F>(on_done)...);
    }
    template <class... F>
    auto get_auth_grant_code(const std::string &uuid, F &&...on_done) const {
        return detail::call<detail::One<dao_auth_grant_code>>(
            "rv_getAuthGrantCode", rv_getAuthGrantCode, std::tuple(uuid.c_str()),
            std::forward<F>(on_done)...);
    }
    template <class... F>
    auto get_auth_access_token(const std::string &code, const std::string &grant_type,
                               const std::string &redirect_uri, F &&...on_done) const {
        return detail::call<detail::One<dao_auth_access_token>>(
            "rv_getAuthAccessToken", rv_getAuthAccessToken,
            std::tuple(code.c_str(), grant_type.c_str(), redirect_uri.c_str()),
            std::forward<F>(on_done)...);
    }
    template <class... F>
    auto refresh_auth_access_token(const std::string &refresh_token, const std::string &grant_type,
                                   F &&...on_done) const {
        return detail::call<detail::One<dao_auth_access_token>>(
            "rv_refreshAuthAccessToken", rv_refreshAuthAccessToken,
            std::tuple(refresh_token.c_str(), grant_type.c_str()), std::forward<F>(on_done)...);
    }
    template <class... F>
    auto get_auth_user_info(const std::string &access_token, const std::string &open_uid,
                            F &&...on_done) const {
        return detail::call<detail::One<dao_auth_user_info>>(
            "rv_getAuthUserInfo", rv_getAuthUserInfo,
            std::tuple(access_token.c_str(), open_uid.c_str()), std::forward<F>(on_done)...);
    }
    template <class... F>
    auto do_auth_revoke(const std::string &access_token, const std::string &open_uid,
                        F &&...on_done) const {
        return detail::call<detail::One<dao_auth_revoke_result>>(
            "rv_doAuthRevoke", rv_doAuthRevoke, std::tuple(access_token.c_str(), open_uid.c_str()),
            std::forward<F>(on_done)...);
    }

    /* The authorised user's subscriptions and history (with the credentials
     * of cache_auth_access_info) */

    template <class... F>
    auto do_subscribe(int64_t id, F &&...on_done) const {
        return detail::call<detail::One<dao_subscribe_result>>(
            "rv_doSubscribe", rv_doSubscribe, std::tuple(id), std::forward<F>(on_done)...);
    }
    template <class... F>
    auto do_unsubscribe(int64_t id, F &&...on_done) const {
        return detail::call<detail::One<dao_unsubscribe_result>>(
            "rv_doUnSubscribe", rv_doUnSubscribe, std::tuple(id), std::forward<F>(on_done)...);
    }
    template <class... F>
    auto get_subscribe_status(int64_t id, F &&...on_done) const {
        return detail::call<detail::One<dao_subscribe_status>>(
            "rv_getSubscribeStatus", rv_getSubscribeStatus, std::tuple(id),
            std::forward<F>(on_done)...);
    }
    template <class... F>
    auto get_subscribe_list(int type, int pagenum, int pagesize, F &&...on_done) const {
        return detail::call<detail::One<dao_subscribe_set>>(
            "rv_getSubscribeList", rv_getSubscribeList, std::tuple(type, pagenum, pagesize),
            std::forward<F>(on_done)...);
    }
    template <class... F>
    auto save_listen_history(int64_t radio_id, int64_t audio_id, int64_t played_time,
                             int64_t duration, int64_t time_stamp, F &&...on_done) const {
        return detail::call<detail::One<dao_history_save_result>>(
            "rv_saveListenHistory", rv_saveListenHistory,
            std::tuple(radio_id, audio_id, played_time, duration, time_stamp),
            std::forward<F>(on_done)...);
    }
    // Newest first; the page carries no count, sumPage or pageSize (0).
    template <class... F>
    auto get_listen_history(F &&...on_done) const {
        return detail::call<detail::One<dao_history_set>>(
            "rv_getListenHistory", rv_getListenHistory, std::tuple(), std::forward<F>(on_done)...);
    }
    template <class... F>
    auto clear_listen_history(F &&...on_done) const {
        return detail::call<detail::One<dao_history_clear_result>>(
            "rv_clearListenHistory", rv_clearListenHistory, std::tuple(),
            std::forward<F>(on_done)...);
    }

    /* The authorised user (synchronous; any thread) */

    // Requests made on the user's behalf carry these credentials from the
    // next request on.
    void cache_auth_access_info(const std::string &access_token,
                                const std::string &open_uid) const {
        const int code = rv_cacheSdkAuthAccessInfo(access_token.c_str(), open_uid.c_str());
        if (code != RVE_OK) {
            throw Error(code, "rv_cacheSdkAuthAccessInfo");
        }
    }
    void clear_auth_access_info() const { rv_clearSdkAuthAccessInfo(); }
};

/* --- Log sink -------------------------------------------------------------- */

// One log line as the SDK emits it; the views are valid only during the call.
struct LogLine {
    int level;                 // as logout(): 1 warning, 2 error, 3 debug, 4 verbose, ...
    std::string_view letter;   // "W", "E", "D", "V"
    std::string_view tag;      // the module ("IFACE_V2", "HTTP_TASK", ...)
    std::string_view header;   // "MM-DD hh:mm:ss.mmm pid tid L/TAG >"
    std::string_view message;  // the formatted message, usually ending in "\n"
};

namespace detail {

// The installed sink; lives until the process ends, when it hands the lines
// back to standard output before it goes.
class LogSinkSlot {
  public:
    static LogSinkSlot &get() {
        static LogSinkSlot slot;
        return slot;
    }
    ~LogSinkSlot() { ::set_log_sink(nullptr, nullptr); }

    void install(std::unique_ptr<std::function<void(const LogLine &)>> sink) {
        std::lock_guard lock(mutex_);
        ::set_log_sink(sink ? &LogSinkSlot::deliver : nullptr, sink.get());
        // set_log_sink returns only once no line goes to the previous sink.
        sink_ = std::move(sink);
    }

  private:
    static void deliver(int level, const char *letter, const char *tag, const char *header,
                        const char *message, void *user) noexcept {
        try {
            (*static_cast<std::function<void(const LogLine &)> *>(user))(LogLine{
                level, text_view(letter), text_view(tag), text_view(header), text_view(message)});
        } catch (...) {
            // The sink runs inside the logger: nothing may be logged from here.
        }
    }
    static std::string_view text_view(const char *s) { return s != nullptr ? s : ""; }

    // Guards sink_; taken by set_log_sink/reset_log_sink callers only.
    std::mutex mutex_;
    std::unique_ptr<std::function<void(const LogLine &)>> sink_;
};

}  // namespace detail

// Sends the SDK's standard-output log lines to `sink` (any callable taking a
// const rv::LogLine &) until replaced or reset; the log file is unaffected.
// The sink runs on whichever thread logs, with the logger's lock held: it must
// not log through the SDK or call into it, and should return quickly. An
// exception it throws is dropped. Any thread; after it returns no line reaches
// the previous sink.
template <class F>
void set_log_sink(F &&sink) {
    detail::LogSinkSlot::get().install(
        std::make_unique<std::function<void(const LogLine &)>>(std::forward<F>(sink)));
}

// Returns the log lines to standard output.
inline void reset_log_sink() {
    detail::LogSinkSlot::get().install(nullptr);
}

// "MAJOR.MINOR.PATCH" of the library loaded at run time.
inline std::string_view version() {
    return rv_sdk_version();
}

}  // namespace rv

#endif
