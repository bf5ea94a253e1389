/** @file
 * Version of the radio SDK: the macros give the version compiled against,
 * rv_sdk_version() the version of the library loaded at run time.
 */
#ifndef RV_VERSION_H
#define RV_VERSION_H

#include "rv_export.h"

#define RV_SDK_VERSION_MAJOR 0        /**< major version number */
#define RV_SDK_VERSION_MINOR 1        /**< minor version number */
#define RV_SDK_VERSION_PATCH 0        /**< patch number */
#define RV_SDK_VERSION_STRING "0.1.0" /**< "MAJOR.MINOR.PATCH" */

RV_BEGIN_DECLS

/** "MAJOR.MINOR.PATCH" of the loaded library; static text. Any thread. */
RV_API const char *rv_sdk_version(void);

RV_END_DECLS

#endif
