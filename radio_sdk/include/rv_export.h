/** @file
 * Export and linkage macros shared by every public header of the radio SDK.
 */
#ifndef RV_EXPORT_H
#define RV_EXPORT_H

#if defined(__GNUC__)
#define RV_API __attribute__((visibility("default")))
#else
#define RV_API
#endif

#ifdef __cplusplus
#define RV_BEGIN_DECLS extern "C" {
#define RV_END_DECLS }
#else
#define RV_BEGIN_DECLS
#define RV_END_DECLS
#endif

#endif
