/*
 * Small helpers shared by every module: files, time, network check, heap
 * strings with result codes, and a recursive mutex record.
 *
 * Ownership: every string made by the str_ functions and every buffer from
 * read_data_from_file belongs to the caller, who frees it with str_free (or
 * free). Threading: every function may be called from any thread; none logs.
 *
 * Exported for the library's own layers, but kept out of the public headers:
 * names as plain as str_free or getTimestamp would clash with an application's.
 */
#ifndef RV_UTIL_UTIL_H
#define RV_UTIL_UTIL_H

#include <pthread.h>
#include <stdbool.h>
#include <stdint.h>

#include "rv_export.h"

RV_BEGIN_DECLS

/* --- Files and directories ------------------------------------------------ */

/* True when `path` exists (access F_OK). */
RV_API bool check_file_exist(const char *path);
RV_API bool check_dir_exist(const char *path);
/* True when access(path, mode) succeeds; mode is a set of R_OK, W_OK, X_OK. */
RV_API bool check_file_access(const char *path, int mode);
RV_API bool check_dir_access(const char *path, int mode);

/* Creates every missing directory along `path` (mode 0777 before umask), whatever its length.
 * Returns 1. */
RV_API int create_multi_directory(const char *path);

/*
 * Reads the whole file into a new zero-terminated buffer stored in *out
 * (caller frees). 1 on success; 0 when the file cannot be opened or read, is a
 * symbolic link or not a regular file (a FIFO is refused, never waited on), or
 * the buffer cannot be allocated (then *out is null).
 */
RV_API int read_data_from_file(const char *path, char **out);

/*
 * Replaces the file's contents with the bytes of `text` (no terminator). The
 * bytes go to a new temporary file (mode 0600) in the same directory, synced,
 * which is then renamed over `path` and the directory synced: readers see the
 * old or the new contents, never a part, and a link or FIFO at `path` is
 * replaced, never followed. The file ends up 0600 whatever the umask. 1 on
 * success; 0 on failure ("error:<reason>" on stdout), the old file intact.
 * Blocks on the disk.
 */
RV_API int write_data_to_file(const char *path, const char *text);

/* --- Time ------------------------------------------------------------------- */

/* Wall-clock seconds since the epoch. */
RV_API int64_t getTimestamp(void);
/*
 * The same as decimal text, in a 32-byte buffer owned by the calling thread:
 * valid until that thread's next call. Never free it.
 */
RV_API const char *getTimestampString(void);
/*
 * Local ("%H:%M:%S"), UTC, and duration ("MM:SS", or total minutes ":SS" from
 * one hour up: 3725 gives "62:05") texts. The characters are written into
 * `out` without a terminator: pass a zero-filled buffer of at least 100 bytes.
 * 1 on success, 0 when `out` is null (or, for the clock texts, when the time
 * does not fit the platform's time_t: past January 2038 where it has 32 bits).
 */
RV_API int formatTimestamp(int64_t seconds, char *out);
RV_API int formatTimestampUTC(int64_t seconds, char *out);
RV_API int formatTimeSeconds(int64_t seconds, char *out);

/* --- Network ---------------------------------------------------------------- */

/* True when some interface has an IPv4 address not starting with "127". Does not block on the
 * network. */
RV_API bool check_net_is_ok(void);

/* --- Heap strings (results are rv_error.h codes) ---------------------------- */

/* Zero-filled buffer of length + 1 bytes: RVE_OK, or RVE_NO_MEMORY when memory is short. */
RV_API int str_malloc(char **out, int64_t length);
/* Frees a non-null string; returns 0. */
RV_API int str_free(char *string);
/* Copy of `source`: RVE_OK; RVE_NULL_STRING for a null source; RVE_NO_MEMORY when memory is short.
 */
RV_API int str_dup(char **out, const char *source);
/* As str_dup, but a null source stores null and returns 0. */
RV_API int str_dup_ext(char **out, const char *source);
/* Copy of the first `length` bytes: RVE_OK; RVE_NULL_STRING null source; RVE_STR_TOO_SHORT
 * source shorter than length (nothing allocated); RVE_NO_MEMORY. */
RV_API int str_copy(char **out, const char *source, int64_t length);
/* Decimal text of `value`: RVE_OK or RVE_NO_MEMORY. */
RV_API int str_from_number(char **out, int64_t value);

/* --- Recursive mutex --------------------------------------------------------- */

/*
 * A recursive, process-private mutex. Lock through the record's own members:
 * m->lock(m). Each returns 0, or 2 when the pthread call failed (the mutex is
 * then unchanged). The same thread may lock it again and must unlock it as
 * often.
 */
typedef struct thread_mutex {
    pthread_mutex_t mutex;
    int (*lock)(struct thread_mutex *m);
    int (*try_lock)(struct thread_mutex *m);
    int (*unlock)(struct thread_mutex *m);
} thread_mutex;

/* New mutex record, or null when memory is short. Free with thread_mutex_del. */
RV_API thread_mutex *thread_mutex_new(void);
/* Destroys the mutex (it must be unlocked) and frees the record; null is ignored. */
RV_API void thread_mutex_del(thread_mutex *m);
RV_API int _thread_mutex_lock(thread_mutex *m);
RV_API int _thread_mutex_try_lock(thread_mutex *m);
RV_API int _thread_mutex_unlock(thread_mutex *m);

RV_END_DECLS

#endif
