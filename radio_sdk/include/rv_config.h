/*
 * Where the SDK connects and how it trusts servers. Call these before rv_initSdk;
 * values set later take effect at the next start.
 *
 * Threading: any thread; they only store a copy and never block.
 */
#ifndef RV_CONFIG_H
#define RV_CONFIG_H

#include "rv_export.h"

RV_BEGIN_DECLS

/*
 * Names a PEM file of CA certificates that HTTPS servers are verified against; the
 * SDK keeps its own copy of the path. Null or "" returns to the system's CA store.
 * The environment variable RV_CA_FILE, when set and non-empty at start-up, takes
 * precedence. Certificate and host-name checks are never switched off.
 */
RV_API void rv_setCaFile(const char *path);

RV_END_DECLS

#endif
