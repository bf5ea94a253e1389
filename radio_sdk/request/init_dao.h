/*
 * The identity file openid.dat in the data directory: the device id, one
 * "&", the openid; nothing else. Any thread; blocks on the disk.
 */
#ifndef RV_REQUEST_INIT_DAO_H
#define RV_REQUEST_INIT_DAO_H

#include "rv_export.h"

RV_BEGIN_DECLS

/*
 * The device id (text before the first "&") or the openid (everything after
 * it) stored in the identity file at `path`, as a heap text the caller frees
 * with free(); null when the file cannot be read or holds no "&".
 */
RV_API char *get_deviceid_from_local(const char *path);
RV_API char *get_openid_from_local(const char *path);

RV_END_DECLS

#ifdef __cplusplus
#include <string>

namespace rv {

// "<data_dir>/openid.dat".
std::string identity_file_path(const std::string &data_dir);

// Replaces the file with "deviceid&openid" (temporary file + rename: an
// interrupted write leaves the old identity). True on success.
bool save_identity(const std::string &path, const std::string &deviceid, const std::string &openid);

}  // namespace rv
#endif

#endif
