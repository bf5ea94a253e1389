/** @file
 * The process-wide SDK records, the init flag and the result-callback
 * convention shared by every asynchronous function of the SDK.
 *
 * Ownership: every string field is the record's own heap copy, freed with the
 * record.
 */
#ifndef RV_SDK_INFO_H
#define RV_SDK_INFO_H

#include "rv_export.h"

#ifdef __cplusplus
#include <atomic>
#define RV_ATOMIC_BYTE std::atomic<unsigned char> /**< the type of mSdkInitOk */
#else
#include <stdatomic.h>
#define RV_ATOMIC_BYTE _Atomic unsigned char /**< the type of mSdkInitOk */
#endif

RV_BEGIN_DECLS

/**
 * Result callback of every asynchronous function: result code (rv_error.h),
 * data (a record or List owned by the receiver from now on, or null on
 * failure), count (list items, text length or 0) and the caller's user pointer
 * passed back unchanged. Called exactly once per call. A null callback is
 * accepted; the outcome is then dropped.
 */
typedef void (*rv_result_callback)(int result, void *data, int count, void *user_data);

/** The application's identity, filled at start-up. */
typedef struct sdk_info {
    char *appid;       /**< application id */
    char *secretkey;   /**< application secret key */
    char *channel;     /**< distribution channel */
    char *extra;       /**< optional caller text; may stay null */
    char *packagename; /**< application package name */
    char *os;          /**< "linux" */
    char *openid; /**< the service's id for this device and application; set by the identity step */
    char *deviceid;  /**< 32 lower-case hex digits, or the text read from openid.dat */
    char *data_dir;  /**< directory of the SDK's files */
    char *init_time; /**< start-up time, decimal seconds since the epoch */
} sdk_info;

/** The authorised user's credentials; both empty until cached. */
typedef struct acc_info {
    char *open_uid;     /**< the user, as the service names it */
    char *access_token; /**< the user's token */
} acc_info;

/** Carries the caller's callback and user pointer along a request. */
typedef struct result_callback_args {
    rv_result_callback callback; /**< the caller's callback */
    void *user_data;             /**< handed back to it */
} result_callback_args;

/**
 * Init flag: 1 once start-up has reported success, 0 before, after a failed
 * start-up and after release. An atomic byte: any thread may read it.
 */
RV_API extern RV_ATOMIC_BYTE mSdkInitOk;

/** A zero-filled record, or null when memory is short. Any thread. */
RV_API sdk_info *sdk_info_new(void);
/** Frees the record and every string it holds; null is ignored. */
RV_API void sdk_info_del(sdk_info *info);
RV_API acc_info *acc_info_new(void); /**< a zero-filled record; null when memory is short */
RV_API void acc_info_del(
    acc_info *info); /**< frees the record, its strings and lists; null is ignored */

/**
 * The current records, or null before start-up and after release. The pointer
 * is valid only until the SDK is released; the request layer reads the records
 * under the SDK's own lock.
 */
RV_API sdk_info *sdk_info_get(void);
RV_API acc_info *acc_info_get(void); /**< see sdk_info_get */

/** The two-word record, or null when memory is short. */
RV_API result_callback_args *result_callback_args_new(rv_result_callback callback, void *user_data);
/** Frees the record; null is ignored. */
RV_API void result_callback_args_del(result_callback_args *args);

RV_END_DECLS

#endif
