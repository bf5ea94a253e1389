/** @file
 * The radio SDK for C++20 (radio_sdk.hpp): the records it delivers, as
 * values, and their conversions from and to the C records.
 */
#ifndef RV_VALUES_HPP
#define RV_VALUES_HPP

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "radio_sdk.h"

namespace rv {

/* --- Records ----------------------------------------------------------------
 * Value copies of the C records (rv_data.h, rv_broadcast.h, rv_smartcast.h
 * ...), field for field under the same names: see there for their meaning. Flags become bool; a C
 * string that may be null becomes std::optional, every other null string the empty string; Lists
 * become std::vector.
 */

/// Value copy of dao_category.
struct Category {
    int32_t cid = 0;      ///< @copydoc dao_category::cid
    bool hasSub = false;  ///< @copydoc dao_category::hasSub
    std::string name;     ///< @copydoc dao_category::name
    std::string img;      ///< @copydoc dao_category::img
};

/// Value copy of dao_album.
struct Album {
    int32_t source = 0;      ///< @copydoc dao_album::source
    int64_t id = 0;          ///< @copydoc dao_album::id
    int64_t listenNum = 0;   ///< @copydoc dao_album::listenNum
    std::string name;        ///< @copydoc dao_album::name
    std::string img;         ///< @copydoc dao_album::img
    std::string sourceName;  ///< @copydoc dao_album::sourceName
};

/// Value copy of dao_host.
struct Host {
    std::string name;  ///< @copydoc dao_host::name
    std::string des;   ///< @copydoc dao_host::des
    std::string img;   ///< @copydoc dao_host::img
};

/// Value copy of dao_album_info.
struct AlbumInfo {
    int64_t id = 0;              ///< @copydoc dao_album_info::id
    int64_t lastCheckDate = 0;   ///< @copydoc dao_album_info::lastCheckDate
    int32_t followedNum = 0;     ///< @copydoc dao_album_info::followedNum
    int32_t countNum = 0;        ///< @copydoc dao_album_info::countNum
    int32_t isOnline = 0;        ///< @copydoc dao_album_info::isOnline
    int32_t listenNum = 0;       ///< @copydoc dao_album_info::listenNum
    int32_t sortType = 0;        ///< @copydoc dao_album_info::sortType
    int32_t hasCopyright = 0;    ///< @copydoc dao_album_info::hasCopyright
    int32_t commentNum = 0;      ///< @copydoc dao_album_info::commentNum
    int32_t type = 0;            ///< @copydoc dao_album_info::type
    int32_t isSubscribe = 0;     ///< @copydoc dao_album_info::isSubscribe
    std::string name;            ///< @copydoc dao_album_info::name
    std::string img;             ///< @copydoc dao_album_info::img
    std::string desc;            ///< @copydoc dao_album_info::desc
    std::vector<Host> host;      ///< empty when the album has no presenters
    std::string produce;         ///< @copydoc dao_album_info::produce
    std::string status;          ///< @copydoc dao_album_info::status
    std::string updateDay;       ///< @copydoc dao_album_info::updateDay
    std::string copyrightLabel;  ///< @copydoc dao_album_info::copyrightLabel
    std::string keyWords;        ///< the key words joined with "&"
};

/// Value copy of dao_audio.
struct Audio {
    std::string audioName;               ///< @copydoc dao_audio::audioName
    std::string audioPic;                ///< @copydoc dao_audio::audioPic
    std::string audioDes;                ///< @copydoc dao_audio::audioDes
    std::string albumName;               ///< @copydoc dao_audio::albumName
    std::string albumPic;                ///< @copydoc dao_audio::albumPic
    std::string mp3PlayUrl32;            ///< @copydoc dao_audio::mp3PlayUrl32
    std::string mp3PlayUrl64;            ///< @copydoc dao_audio::mp3PlayUrl64
    std::string aacPlayUrl;              ///< @copydoc dao_audio::aacPlayUrl
    std::string aacPlayUrl32;            ///< @copydoc dao_audio::aacPlayUrl32
    std::string aacPlayUrl64;            ///< @copydoc dao_audio::aacPlayUrl64
    std::string aacPlayUrl128;           ///< @copydoc dao_audio::aacPlayUrl128
    std::optional<std::string> clockId;  ///< smartcast play lists only
    int64_t albumId = 0;                 ///< @copydoc dao_audio::albumId
    int64_t audioId = 0;                 ///< @copydoc dao_audio::audioId
    int64_t updateTime = 0;              ///< @copydoc dao_audio::updateTime
    int32_t aacFileSize = 0;             ///< @copydoc dao_audio::aacFileSize
    int32_t mp3FileSize32 = 0;           ///< @copydoc dao_audio::mp3FileSize32
    int32_t mp3FileSize64 = 0;           ///< @copydoc dao_audio::mp3FileSize64
    int32_t orderNum = 0;                ///< @copydoc dao_audio::orderNum
    int32_t duration = 0;                ///< @copydoc dao_audio::duration
    int32_t originalDuration = 0;        ///< @copydoc dao_audio::originalDuration
    int32_t listenNum = 0;               ///< @copydoc dao_audio::listenNum
    int32_t likedNum = 0;                ///< @copydoc dao_audio::likedNum
    int32_t hasCopyright = 0;            ///< @copydoc dao_audio::hasCopyright
    int32_t commentNum = 0;              ///< @copydoc dao_audio::commentNum
    int32_t trailerStart = 0;            ///< @copydoc dao_audio::trailerStart
    int32_t trailerEnd = 0;              ///< @copydoc dao_audio::trailerEnd
    int32_t categoryId = 0;              ///< @copydoc dao_audio::categoryId
    int32_t isListened = 0;              ///< @copydoc dao_audio::isListened
};

/// A page of a paged list (the C dao_<name>_set records).
template <class T>
struct Page {
    bool haveNext = false;    ///< @copydoc dao_album_set::haveNext
    int32_t nextPage = 0;     ///< @copydoc dao_album_set::nextPage
    bool havePre = false;     ///< @copydoc dao_album_set::havePre
    int32_t prePage = 0;      ///< @copydoc dao_album_set::prePage
    int32_t currentPage = 0;  ///< @copydoc dao_album_set::currentPage
    int32_t count = 0;        ///< item count as sent by the server
    int32_t sumPage = 0;      ///< page count as sent by the server
    int32_t pageSize = 0;     ///< page size as sent by the server
    std::vector<T> list;      ///< @copydoc dao_album_set::list
};

/// Value copy of dao_broadcast_category.
struct BroadcastCategory {
    int32_t id = 0;    ///< @copydoc dao_broadcast_category::id
    int32_t type = 0;  ///< @copydoc dao_broadcast_category::type
    std::string name;  ///< @copydoc dao_broadcast_category::name
    std::string img;   ///< @copydoc dao_broadcast_category::img
};

/// Value copy of dao_broadcast_area.
struct BroadcastArea {
    int32_t id = 0;    ///< @copydoc dao_broadcast_area::id
    std::string name;  ///< @copydoc dao_broadcast_area::name
};

/// Value copy of dao_broadcast_date.
struct BroadcastDate {
    std::string weekDay;   ///< @copydoc dao_broadcast_date::weekDay
    std::string dateTime;  ///< @copydoc dao_broadcast_date::dateTime
    std::string time;      ///< @copydoc dao_broadcast_date::time
};

/// Value copy of dao_broadcast.
struct Broadcast {
    int64_t broadcastId = 0;          ///< @copydoc dao_broadcast::broadcastId
    int32_t status = 0;               ///< @copydoc dao_broadcast::status
    int32_t onLineNum = 0;            ///< @copydoc dao_broadcast::onLineNum
    int32_t likedNum = 0;             ///< @copydoc dao_broadcast::likedNum
    int32_t isSubscribe = 0;          ///< @copydoc dao_broadcast::isSubscribe
    std::string name;                 ///< @copydoc dao_broadcast::name
    std::string img;                  ///< @copydoc dao_broadcast::img
    std::string currentProgramTitle;  ///< @copydoc dao_broadcast::currentProgramTitle
    std::string playUrl;              ///< @copydoc dao_broadcast::playUrl
};

/// Value copy of dao_broadcast_info.
struct BroadcastInfo {
    int64_t broadcastId = 0;   ///< @copydoc dao_broadcast_info::broadcastId
    int32_t status = 0;        ///< @copydoc dao_broadcast_info::status
    int32_t onLineNum = 0;     ///< @copydoc dao_broadcast_info::onLineNum
    int32_t likedNum = 0;      ///< @copydoc dao_broadcast_info::likedNum
    int32_t isSubscribe = 0;   ///< @copydoc dao_broadcast_info::isSubscribe
    int32_t roomId = 0;        ///< @copydoc dao_broadcast_info::roomId
    int32_t classifyId = 0;    ///< @copydoc dao_broadcast_info::classifyId
    std::string name;          ///< @copydoc dao_broadcast_info::name
    std::string img;           ///< @copydoc dao_broadcast_info::img
    std::string classifyName;  ///< @copydoc dao_broadcast_info::classifyName
    std::string playUrl;       ///< @copydoc dao_broadcast_info::playUrl
};

/// Value copy of dao_program.
struct Program {
    int64_t programId = 0;                  ///< @copydoc dao_program::programId
    int64_t broadcastId = 0;                ///< @copydoc dao_program::broadcastId
    int64_t nextProgramId = 0;              ///< @copydoc dao_program::nextProgramId
    int64_t preProgramId = 0;               ///< @copydoc dao_program::preProgramId
    int64_t startTime = 0;                  ///< @copydoc dao_program::startTime
    int64_t finishTime = 0;                 ///< @copydoc dao_program::finishTime
    int32_t status = 0;                     ///< @copydoc dao_program::status
    int32_t isSubscribe = 0;                ///< @copydoc dao_program::isSubscribe
    std::string title;                      ///< @copydoc dao_program::title
    std::string backLiveUrl;                ///< @copydoc dao_program::backLiveUrl
    std::string playUrl;                    ///< @copydoc dao_program::playUrl
    std::string comperes;                   ///< @copydoc dao_program::comperes
    std::string beginTime;                  ///< @copydoc dao_program::beginTime
    std::string endTime;                    ///< @copydoc dao_program::endTime
    std::string desc;                       ///< @copydoc dao_program::desc
    std::string broadcastDesc;              ///< @copydoc dao_program::broadcastDesc
    std::string broadcastName;              ///< @copydoc dao_program::broadcastName
    std::string broadcastImg;               ///< @copydoc dao_program::broadcastImg
    std::optional<std::string> serverTime;  ///< the current programme only
};

/// Value copy of dao_smartcast.
struct Smartcast {
    int64_t id = 0;           ///< @copydoc dao_smartcast::id
    int32_t type = 0;         ///< @copydoc dao_smartcast::type
    int32_t followedNum = 0;  ///< @copydoc dao_smartcast::followedNum
    int32_t isOnline = 0;     ///< @copydoc dao_smartcast::isOnline
    int32_t listenNum = 0;    ///< @copydoc dao_smartcast::listenNum
    int32_t commentNum = 0;   ///< @copydoc dao_smartcast::commentNum
    int32_t isSubscribe = 0;  ///< @copydoc dao_smartcast::isSubscribe
    std::string name;         ///< @copydoc dao_smartcast::name
    std::string img;          ///< @copydoc dao_smartcast::img
    std::string desc;         ///< @copydoc dao_smartcast::desc
};

/// Value copy of dao_operate.
struct Operate {
    int64_t rid = 0;         ///< @copydoc dao_operate::rid
    int64_t listenNum = 0;   ///< @copydoc dao_operate::listenNum
    int32_t rtype = 0;       ///< @copydoc dao_operate::rtype
    int32_t cornerMark = 0;  ///< @copydoc dao_operate::cornerMark
    std::string image;       ///< @copydoc dao_operate::image
    std::string rname;       ///< @copydoc dao_operate::rname
    std::string rvalue;      ///< @copydoc dao_operate::rvalue
};

/// The service's status value of an operation (dao_subscribe_result,
/// dao_unsubscribe_result, dao_subscribe_status, dao_history_save_result,
/// dao_history_clear_result, dao_auth_qrcode_status, dao_auth_revoke_result).
struct Status {
    int32_t status = 0;  ///< @copydoc dao_subscribe_result::status
};

/// Value copy of dao_auth_qrcode.
struct AuthQrCode {
    int32_t status = 0;       ///< @copydoc dao_auth_qrcode::status
    std::string uuid;         ///< names this QR code in the next steps
    std::string qrcode_path;  ///< the URL the QR code stands for
};

/// Value copy of dao_auth_grant_code.
struct AuthGrantCode {
    std::string code;   ///< @copydoc dao_auth_grant_code::code
    std::string state;  ///< @copydoc dao_auth_grant_code::state
};

/// Value copy of dao_auth_access_token.
struct AuthAccessToken {
    std::string access_token;   ///< @copydoc dao_auth_access_token::access_token
    std::string refresh_token;  ///< @copydoc dao_auth_access_token::refresh_token
    std::string open_uid;       ///< @copydoc dao_auth_access_token::open_uid
    std::string scope;          ///< @copydoc dao_auth_access_token::scope
    int32_t expires_in = 0;     ///< seconds
};

/// Value copy of dao_auth_user_info.
struct AuthUserInfo {
    std::string nickname;  ///< @copydoc dao_auth_user_info::nickname
    std::string avatar;    ///< @copydoc dao_auth_user_info::avatar
};

/// Value copy of dao_subscribe.
struct Subscription {
    int32_t type = 0;          ///< 0 album, 3 smartcast radio, 11 broadcast
    int64_t id = 0;            ///< @copydoc dao_subscribe::id
    std::string name;          ///< @copydoc dao_subscribe::name
    std::string desc;          ///< @copydoc dao_subscribe::desc
    std::string img;           ///< @copydoc dao_subscribe::img
    int32_t isOnline = 0;      ///< @copydoc dao_subscribe::isOnline
    int32_t hasCopyright = 0;  ///< @copydoc dao_subscribe::hasCopyright
    int32_t countNum = 0;      ///< @copydoc dao_subscribe::countNum
    int64_t updateTime = 0;    ///< @copydoc dao_subscribe::updateTime
};

/// Value copy of dao_history.
struct History {
    std::string radioId;     ///< @copydoc dao_history::radioId
    std::string radioTitle;  ///< @copydoc dao_history::radioTitle
    std::string picUrl;      ///< @copydoc dao_history::picUrl
    std::string audioId;     ///< @copydoc dao_history::audioId
    std::string audioTitle;  ///< @copydoc dao_history::audioTitle
    std::string playUrl;     ///< @copydoc dao_history::playUrl
    std::string shareUrl;    ///< @copydoc dao_history::shareUrl
    int64_t playedTime = 0;  ///< @copydoc dao_history::playedTime
    int64_t duration = 0;    ///< @copydoc dao_history::duration
    int64_t orderNum = 0;    ///< @copydoc dao_history::orderNum
    int64_t timeStamp = 0;   ///< @copydoc dao_history::timeStamp
};

/// Value copy of dao_search_result.
struct SearchResult {
    int64_t id = 0;                ///< @copydoc dao_search_result::id
    int64_t oldId = 0;             ///< @copydoc dao_search_result::oldId
    int32_t type = 0;              ///< 0 album, 1 audio, 3 smartcast radio, 11 broadcast
    int32_t listenNum = 0;         ///< @copydoc dao_search_result::listenNum
    int32_t source = 0;            ///< @copydoc dao_search_result::source
    int32_t isShowRed = 0;         ///< @copydoc dao_search_result::isShowRed
    int32_t isRequest = 0;         ///< @copydoc dao_search_result::isRequest
    int32_t duration = 0;          ///< @copydoc dao_search_result::duration
    int32_t originalDuration = 0;  ///< @copydoc dao_search_result::originalDuration
    std::string name;              ///< @copydoc dao_search_result::name
    std::string img;               ///< @copydoc dao_search_result::img
    std::string albumName;         ///< @copydoc dao_search_result::albumName
    std::string sourceName;        ///< @copydoc dao_search_result::sourceName
    std::string playUrl;           ///< @copydoc dao_search_result::playUrl
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

}  // namespace detail

/// One item of a play list (dao_play_item): an audio of an album, single audio or
/// smartcast radio, or a programme of a broadcast. Fields that the
/// item's source does not fill are empty or 0.
struct PlayItem {
    std::string audioName;         ///< @copydoc dao_play_item::audioName
    std::string audioPic;          ///< @copydoc dao_play_item::audioPic
    std::string audioDes;          ///< @copydoc dao_play_item::audioDes
    std::string radioName;         ///< @copydoc dao_play_item::radioName
    std::string albumName;         ///< @copydoc dao_play_item::albumName
    std::string albumPic;          ///< @copydoc dao_play_item::albumPic
    std::string mp3PlayUrl32;      ///< @copydoc dao_play_item::mp3PlayUrl32
    std::string mp3PlayUrl64;      ///< @copydoc dao_play_item::mp3PlayUrl64
    std::string aacPlayUrl;        ///< @copydoc dao_play_item::aacPlayUrl
    std::string aacPlayUrl32;      ///< @copydoc dao_play_item::aacPlayUrl32
    std::string aacPlayUrl64;      ///< @copydoc dao_play_item::aacPlayUrl64
    std::string aacPlayUrl128;     ///< @copydoc dao_play_item::aacPlayUrl128
    std::string clockId;           ///< @copydoc dao_play_item::clockId
    std::string playUrl;           ///< @copydoc dao_play_item::playUrl
    std::string title;             ///< @copydoc dao_play_item::title
    std::string beginTime;         ///< @copydoc dao_play_item::beginTime
    std::string endTime;           ///< @copydoc dao_play_item::endTime
    int64_t albumId = 0;           ///< @copydoc dao_play_item::albumId
    int64_t updateTime = 0;        ///< @copydoc dao_play_item::updateTime
    int64_t audioId = 0;           ///< @copydoc dao_play_item::audioId
    int64_t duration = 0;          ///< @copydoc dao_play_item::duration
    int64_t startTime = 0;         ///< @copydoc dao_play_item::startTime
    int64_t finishTime = 0;        ///< @copydoc dao_play_item::finishTime
    int64_t reserved64 = 0;        ///< @copydoc dao_play_item::reserved64
    int32_t orderNum = 0;          ///< @copydoc dao_play_item::orderNum
    int32_t originalDuration = 0;  ///< @copydoc dao_play_item::originalDuration
    int32_t listenNum = 0;         ///< @copydoc dao_play_item::listenNum
    int32_t likedNum = 0;          ///< @copydoc dao_play_item::likedNum
    int32_t hasCopyright = 0;      ///< @copydoc dao_play_item::hasCopyright
    int32_t commentNum = 0;        ///< @copydoc dao_play_item::commentNum
    int32_t categoryId = 0;        ///< @copydoc dao_play_item::categoryId
    int32_t reserved32a = 0;       ///< @copydoc dao_play_item::reserved32a
    int32_t isListened = 0;        ///< @copydoc dao_play_item::isListened
    int32_t status = 0;            ///< @copydoc dao_play_item::status
    int32_t needRestart = 0;       ///< @copydoc dao_play_item::needRestart
    int32_t reserved32b = 0;       ///< @copydoc dao_play_item::reserved32b
    int32_t type = 0;              ///< @copydoc dao_play_item::type
};

/// What starts a resource (dao_play_audio_bean). Usually made by the
/// rv::Player::play overloads from a catalogue value.
struct AudioBean {
    int32_t type = RV_RESOURCE_ALBUM;    ///< @copydoc dao_play_audio_bean::type
    int64_t id = 0;                      ///< @copydoc dao_play_audio_bean::id
    int64_t audioId = 0;                 ///< the audio to start with; 0: the first
    int32_t sortType = 0;                ///< @copydoc dao_play_audio_bean::sortType
    int32_t prePage = 0;                 ///< @copydoc dao_play_audio_bean::prePage
    int32_t nextPage = 0;                ///< @copydoc dao_play_audio_bean::nextPage
    std::string name;                    ///< @copydoc dao_play_audio_bean::name
    std::string img;                     ///< @copydoc dao_play_audio_bean::img
    std::optional<std::string> clockId;  ///< @copydoc dao_play_audio_bean::clockId
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

}  // namespace detail

}  // namespace rv

#endif
