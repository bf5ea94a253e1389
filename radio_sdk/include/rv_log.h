/** @file
 * The SDK's logger. It needs no initialisation: from load time lines go to
 * standard output with level 1 (error lines only).
 *
 * Line layout: "MM-DD hh:mm:ss.mmm <pid> <tid> <letter>/<tag> > <message>".
 * A message longer than 2,047 characters is cut and ends in "$\n".
 *
 * Lines are written with logout(), declared in rv_logout.h.
 *
 * Threading: logout() may be called from any thread; lines never interleave.
 * The setters store without a lock, so a line written concurrently may see a
 * mix of old and new settings. Nothing here blocks except on mLogMutex.
 */
#ifndef RV_LOG_H
#define RV_LOG_H

#include <pthread.h>

#include "rv_export.h"

RV_BEGIN_DECLS

/** Serialises each line; the innermost lock of the SDK. */
RV_API extern pthread_mutex_t mLogMutex;

/** 0 off, 1 standard output (default), 2 log file, 3 both. */
RV_API void set_log_act(int act);
/** Threshold for levels 0..2: 0 none, 1 errors (default), 2 also warnings, 3 also level 0. */
RV_API void set_log_level(int level);
/** 1 shows "D" lines. */
RV_API void set_log_debug_mode(int on);
/** 1 shows "V" lines. */
RV_API void set_log_vbose_mode(int on);
/** 1 wraps standard-output lines in ANSI colour escapes. */
RV_API void set_log_color_mode(int on);
/** 1 flushes the stream before and after each line. */
RV_API void set_log_flush_mode(int on);

/**
 * Names the log file (cut to 127 characters); returns strlen(path). The file is
 * opened (truncated) by the first line written to it and stays open for the
 * life of the process: a later call does not move an opened log.
 */
RV_API int set_log_file(const char *path);

/**
 * Sets every switch at once. 0: logging off. 11111111: everything on, standard
 * output only. Any other value is a bit mask that leaves the destination alone:
 * level 1 for 0x1, then 2 for 0x8, then 1 for 0x40 (the last set bit wins; none
 * leaves the level unchanged); debug 0x200, verbose 0x1000, colour 0x8000,
 * flush 0x40000.
 */
RV_API void set_debug_mode(int mode);

/**
 * Receives each emitted line in place of standard output. `header` is the line
 * header ("MM-DD hh:mm:ss.mmm pid tid L/TAG >") and `message` the formatted
 * message; both are valid only during the call. Called with mLogMutex held, on
 * the thread that logs: the sink must not log itself.
 */
typedef void (*rv_log_sink)(int level, const char *letter, const char *tag, const char *header,
                            const char *message, void *user);

/**
 * Installs a sink for the lines that would go to standard output (the log file
 * is unaffected); null restores standard output. While a sink is installed the
 * media engine's, FFmpeg's, libpcmsink's and ALSA's lines come through logout()
 * too, with the tags "ORVELLAPLAYER", "FFMPEG", "PCMSINK" and "ALSA" (their
 * warnings at level 1, so shown from set_log_level(2) on): nothing of the SDK
 * is then written to standard output or standard error. A warning of theirs
 * with the same text comes once per process; rv_releaseSdk adds one "D" line
 * per such warning with how often it came. Without a sink they keep their own
 * outputs. This sets ALSA's process-wide error handler (snd_lib_error_set_handler)
 * while a sink is installed and restores ALSA's default with null.
 * Any thread; takes mLogMutex, so after it returns no line goes to the previous sink.
 */
RV_API void set_log_sink(rv_log_sink sink, void *user);

RV_END_DECLS

#endif
