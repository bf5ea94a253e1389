/** @file
 * Result codes. Every internal function and every result callback of the SDK
 * carries one of these 32-bit values: 0 is success, everything else a failure.
 * Codes pass unchanged from layer to layer.
 *
 * The documentation names a code by its constant (RVE_NOT_READY); the log
 * lines print its value as "0x%08x" (0x00000003). rv_resultName and
 * rv_resultText turn a code into text for the application's own messages.
 */
#ifndef RV_ERROR_H
#define RV_ERROR_H

#include "rv_export.h"

RV_BEGIN_DECLS

enum {
    RVE_OK = 0,       /**< success */
    RVE_FAILED = 0x2, /**< an operation below the SDK failed (transfer, libcurl start-up, mutex) */
    RVE_NOT_READY = 0x3,    /**< the component is not started, or is stopping */
    RVE_BAD_ARGS = 0x4,     /**< a required argument is null */
    RVE_NO_MEMORY = 0x5,    /**< an allocation failed */
    RVE_QUEUE_FULL = 0x7,   /**< the thread pool already holds its limit of waiting tasks */
    RVE_NO_ACCESS = 0x10,   /**< the data directory is not readable and writable */
    RVE_LIVE_STREAM = 0x11, /**< refused while a live stream plays (its speed stays 1) */
    RVE_ALREADY_STARTED =
        0x12,                /**< the SDK is started, starting, or its failed start not released */
    RVE_OVER_QUOTA = 0x13,   /**< a download would take the store past its limit */
    RVE_NO_SPACE = 0x14,     /**< the file system holding the data directory is full */
    RVE_NO_SDK_INFO = 0x200, /**< the SDK or access record does not exist */
    RVE_STR_TOO_SHORT = 0x201,  /**< a string copy asked for more characters than the source has */
    RVE_NULL_STRING = 0x202,    /**< a string copy got a null source */
    RVE_BAD_RESPONSE = 0x204,   /**< the answer is not JSON or lacks its "result" */
    RVE_SAVE_FAILED = 0x209,    /**< the identity file cannot be written */
    RVE_SERVER_ERROR = 0x30000, /**< error envelope with an errcode not listed below */
    RVE_SERVER_50600 = 0x30001, /**< errcode "50600" */
    RVE_SERVER_40000 = 0x30002, /**< errcode "40000" */
    RVE_SERVER_40100 = 0x30003, /**< errcode "40100" */
    RVE_SERVER_40431 = 0x30004, /**< errcode "40431" */
    RVE_SERVER_40432 = 0x30005  /**< errcode "40432" */
};

/**
 * Constant name of a code: "RVE_OK" for 0, "RVE_BAD_ARGS" for 4,
 * "RVE_UNKNOWN" for every other code. Static text; never free it.
 * Any thread; never blocks.
 */
RV_API const char *rve_strerror(int code);

/**
 * The code as "0x%08x" (516 gives "0x00000204", -1 gives "0xffffffff"), in a
 * 12-byte buffer owned by the calling thread: valid until that thread's next
 * call. Never free it. Any thread; never blocks.
 */
RV_API const char *rve_rve2str(int code);

/**
 * The constant's name of any code above ("RVE_SERVER_40100" for 0x30003),
 * "RVE_UNKNOWN" for a value that is not a result code. Static text; never
 * free it. Any thread; never blocks.
 */
RV_API const char *rv_resultName(int code);

/**
 * What a code means, as one English sentence fragment without a final stop
 * ("the service's answer could not be read"), for messages to a user or a
 * log; "not a result code of this SDK" for other values. Static text; never
 * free it. Any thread; never blocks.
 */
RV_API const char *rv_resultText(int code);

/**
 * The service's own words about a refused request: the "errmsg" of the error
 * answer ("unknown appid") whose result callback is running on the calling
 * thread, "" when that callback's answer carried none or the failure was not the
 * service's (a transfer failure, a refusal before sending). Use it inside a result
 * callback of the data API or of rv_initSdk (also one run through the dispatcher
 * of rv_dispatch.h): the text belongs to the SDK and is valid until the callback
 * returns; copy it to keep it. Outside a result callback it gives "". Never null.
 * Any thread; never blocks.
 */
RV_API const char *rv_lastServiceMessage(void);

RV_END_DECLS

#endif
