/*
 * The authorised user's credentials in the access record. Any thread; takes
 * the records lock for writing.
 */
#ifndef RV_IFACE_ACCESS_INFO_IMPL_H
#define RV_IFACE_ACCESS_INFO_IMPL_H

#include "rv_export.h"

RV_BEGIN_DECLS

/* Replaces both values by copies when the record exists. 0 (also without a
 * record); 4 for a null argument; 5 when memory is short (old values kept). */
RV_API int ipa_cache_sdk_auth_access_info(const char *access_token, const char *open_uid);
/* Frees and clears both values when the record exists. Returns 0. */
RV_API int ipa_clear_sdk_auth_access_info(void);

RV_END_DECLS

#endif
