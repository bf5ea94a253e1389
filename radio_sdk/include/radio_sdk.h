/** @file
 * The radio SDK: umbrella header. Include this one; it pulls in every public
 * header of the SDK. Usable from C11 and C++.
 */
#ifndef RADIO_SDK_H
#define RADIO_SDK_H

#include "rv_auth.h"
#include "rv_broadcast.h"
#include "rv_config.h"
#include "rv_data.h"
#include "rv_dispatch.h"
#include "rv_download.h"
#include "rv_error.h"
#include "rv_export.h"
#include "rv_list.h"
#include "rv_log.h"
#include "rv_play_item.h"
#include "rv_player.h"
#include "rv_sdk.h"
#include "rv_sdk_info.h"
#include "rv_search.h"
#include "rv_smartcast.h"
#include "rv_user.h"
#include "rv_version.h"

#endif
