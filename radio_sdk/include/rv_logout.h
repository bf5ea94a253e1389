/** @file
 * Writing a line through the SDK's logger (settings in rv_log.h). Not pulled
 * in by radio_sdk.h: the name logout() is also declared, differently, by the C
 * library's <utmp.h>, so a unit that logs through the SDK includes this header
 * itself and cannot include <utmp.h> as well.
 *
 * Threading: any thread; lines never interleave.
 */
#ifndef RV_LOGOUT_H
#define RV_LOGOUT_H

#include "rv_export.h"

RV_BEGIN_DECLS

/**
 * Writes one line. Levels: 1 warning (shown when the level setting >= 2),
 * 2 error (>= 1), 3 debug (when debug mode is on), 4 verbose (when verbose mode
 * is on), 0 (>= 3), 5 always; any other level is never shown. `color` indexes
 * the ANSI colour used when colour mode is on (0 green, 1 yellow, 2 red,
 * 3 blue, 4 black, 5 cyan, 6 white). The message is printf-style; no newline is
 * added.
 */
RV_API void logout(int level, int color, const char *letter, const char *tag, const char *fmt, ...)
    __attribute__((format(printf, 5, 6)));

RV_END_DECLS

#endif
