// Descriptions of the catalogue and album records (rv_data.h), for the filler.
#ifndef RV_REQUEST_ALBUM_DAO_H
#define RV_REQUEST_ALBUM_DAO_H

#include "request/helper_json.h"
#include "rv_data.h"

namespace rv::dao {

extern const json::RecordDesc kCategory;   // dao_category, keys in any case
extern const json::RecordDesc kAlbum;      // dao_album
extern const json::RecordDesc kAlbumSet;   // dao_album_set of dao_album
extern const json::RecordDesc kHost;       // dao_host, keys in any case
extern const json::RecordDesc kAlbumInfo;  // dao_album_info, keys in any case

}  // namespace rv::dao

#endif
