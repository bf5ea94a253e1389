#include "request/album_dao.h"

#include <array>

namespace rv::dao {

using json::free_as;

namespace {

constexpr std::array kCategoryFields{
    RV_FIELD(dao_category, cid, "cid", Int),
    RV_FIELD(dao_category, hasSub, "hasSub", Int),
    RV_FIELD(dao_category, name, "name", String),
    RV_FIELD(dao_category, img, "img", String),
};

constexpr std::array kAlbumFields{
    RV_FIELD(dao_album, source, "source", Int),
    RV_FIELD(dao_album, id, "id", Long),
    RV_FIELD(dao_album, listenNum, "listenNum", Long),
    RV_FIELD(dao_album, name, "name", String),
    RV_FIELD(dao_album, img, "img", String),
    RV_FIELD(dao_album, sourceName, "sourceName", String),
};

constexpr std::array kAlbumSetFields{
    RV_PAGE_FIELDS(dao_album_set),
    RV_FIELD(dao_album_set, list, "dataList", List, &kAlbum),
};

constexpr std::array kHostFields{
    RV_FIELD(dao_host, name, "name", String),
    RV_FIELD(dao_host, des, "des", String),
    RV_FIELD(dao_host, img, "img", String),
};

constexpr std::array kAlbumInfoFields{
    RV_FIELD(dao_album_info, id, "id", Long),
    RV_FIELD(dao_album_info, lastCheckDate, "lastCheckDate", Long),
    RV_FIELD(dao_album_info, followedNum, "followedNum", Int),
    RV_FIELD(dao_album_info, countNum, "countNum", Int),
    RV_FIELD(dao_album_info, isOnline, "isOnline", Int),
    RV_FIELD(dao_album_info, listenNum, "listenNum", Int),
    RV_FIELD(dao_album_info, sortType, "sortType", Int),
    RV_FIELD(dao_album_info, hasCopyright, "hasCopyright", Int),
    RV_FIELD(dao_album_info, commentNum, "commentNum", Int),
    RV_FIELD(dao_album_info, type, "type", Int),
    RV_FIELD(dao_album_info, isSubscribe, "isSubscribe", Int),
    RV_FIELD(dao_album_info, name, "name", String),
    RV_FIELD(dao_album_info, img, "img", String),
    RV_FIELD(dao_album_info, desc, "desc", String),
    RV_FIELD(dao_album_info, produce, "produce", String),
    RV_FIELD(dao_album_info, status, "status", String),
    RV_FIELD(dao_album_info, updateDay, "updateDay", String),
    RV_FIELD(dao_album_info, copyrightLabel, "copyrightLabel", String),
    RV_FIELD(dao_album_info, host, "host", ListOrNull, &kHost),
    RV_FIELD(dao_album_info, keyWords, "keyWords", Joined),
};

}  // namespace

const json::RecordDesc kCategory{sizeof(dao_category), false, kCategoryFields, free_as<kCategory>};
const json::RecordDesc kAlbum{sizeof(dao_album), true, kAlbumFields, free_as<kAlbum>};
const json::RecordDesc kAlbumSet{sizeof(dao_album_set), false, kAlbumSetFields, free_as<kAlbumSet>};
const json::RecordDesc kHost{sizeof(dao_host), false, kHostFields, free_as<kHost>};
const json::RecordDesc kAlbumInfo{sizeof(dao_album_info), false, kAlbumInfoFields,
                                  free_as<kAlbumInfo>};

}  // namespace rv::dao

RV_DAO_FUNCTIONS(dao_category, rv::dao::kCategory)
RV_DAO_FUNCTIONS(dao_album, rv::dao::kAlbum)
RV_DAO_FUNCTIONS(dao_album_set, rv::dao::kAlbumSet)
RV_DAO_FUNCTIONS(dao_host, rv::dao::kHost)
RV_DAO_FUNCTIONS(dao_album_info, rv::dao::kAlbumInfo)
