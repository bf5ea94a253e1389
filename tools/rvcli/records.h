// The columns rvcli shows for each record type of the SDK, shared by the
// commands and the demo.
#pragma once

#include <vector>

#include "output.h"
#include "radio_sdk.hpp"

namespace rvcli::columns {

extern const std::vector<Column<rv::Category>> kCategory;
extern const std::vector<Column<rv::Album>> kAlbum;
extern const std::vector<Column<rv::AlbumInfo>> kAlbumInfo;
extern const std::vector<Column<rv::Audio>> kAudio;
extern const std::vector<Column<rv::Smartcast>> kSmartcast;
extern const std::vector<Column<rv::Broadcast>> kBroadcast;
extern const std::vector<Column<rv::Program>> kProgram;
extern const std::vector<Column<rv::SearchResult>> kSearchResult;
extern const std::vector<Column<std::string>> kWord;
extern const std::vector<Column<rv::Subscription>> kSubscription;
extern const std::vector<Column<rv::History>> kHistory;
extern const std::vector<Column<rv::AuthUserInfo>> kUser;

}  // namespace rvcli::columns
