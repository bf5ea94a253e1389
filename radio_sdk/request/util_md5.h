/*
 * MD5 message digest (RFC 1321), used to sign request URLs and to make the
 * device id. Any thread; a context belongs to one caller at a time.
 */
#ifndef RV_REQUEST_UTIL_MD5_H
#define RV_REQUEST_UTIL_MD5_H

#include <stdint.h>

#include "rv_export.h"

RV_BEGIN_DECLS

typedef struct MD5_CTX {
    uint32_t count[2];        /* number of bits hashed so far, low word first */
    uint32_t state[4];        /* A, B, C, D */
    unsigned char buffer[64]; /* input not yet hashed */
} MD5_CTX;

RV_API void MD5Init(MD5_CTX *context);
RV_API void MD5Update(MD5_CTX *context, const unsigned char *input, unsigned int length);
/* Writes the 16 digest bytes and wipes the context. */
RV_API void MD5Final(unsigned char digest[16], MD5_CTX *context);

RV_END_DECLS

#endif
