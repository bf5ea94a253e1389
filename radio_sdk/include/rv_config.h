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

/*
 * Sets the open-API host reached over plain HTTP ("http://host:port"), the
 * open-API host reached over HTTPS ("https://host:port") and the report host.
 * A null argument leaves that host as it is; a trailing "/" is dropped.
 *
 * Precedence, for each host: a value set here, else the environment variable
 * (RV_OPEN_API_HTTP, RV_OPEN_API_HTTPS, RV_REPORT_HOST), else the bundled local
 * service (http://127.0.0.1:8940, https://127.0.0.1:8941, http://127.0.0.1:8940).
 *
 * Returns 0, or 5 when memory is short (nothing changed). The texts are copied;
 * a request uses the hosts current when it is built.
 */
RV_API int rv_setServiceHosts(const char *open_api_http, const char *open_api_https,
                              const char *report_host);

RV_END_DECLS

#endif
