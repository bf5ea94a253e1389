/** @file
 * Callbacks on the application's own thread. Without a dispatcher the SDK
 * calls the application on its own threads (workers, the media engine's event
 * thread, the programme clock). With one, every result callback of the data
 * API and of rv_initSdk, and every player listener call (PlayerStateListener,
 * PlayerBroadcastListener, the download-progress listener, the listeners of
 * rv_addPlayerListener) is queued inside the SDK instead, and the dispatcher
 * is asked to run it on the application's loop; the loop then calls it there.
 *
 * Order: callbacks run in the order they were queued, whichever thread queued
 * them and in whatever order the loop runs the handed-out `run` calls: each
 * `run` call runs the oldest callback still queued.
 *
 * Release: rv_releaseSdk makes the callbacks still queued before it returns,
 * in order, on its own thread (call it from the loop's thread); a `run`
 * handed out earlier then does nothing. So every answer still comes exactly
 * once, and the application hears nothing from the SDK once rv_releaseSdk has
 * returned. FetchPlaylistListener (rv_player.h) is not dispatched: it
 * runs on a worker as before.
 */
#ifndef RV_DISPATCH_H
#define RV_DISPATCH_H

#include "rv_export.h"

RV_BEGIN_DECLS

/**
 * The application's dispatcher: arrange for run(arg) to be called once, soon,
 * on the application's loop thread. Called on the SDK's threads (also on a
 * thread calling an SDK function) with no lock of the SDK held; it must not
 * block, must not run `run` itself and must not call the SDK. `user` is the
 * pointer given to rv_setCallbackDispatcher.
 */
typedef void (*rv_dispatch_post)(void (*run)(void *arg), void *arg, void *user);

/**
 * Sets the dispatcher (null `post`: callbacks run on the SDK's threads again).
 * Call it while the SDK is stopped: before rv_initSdk or after rv_releaseSdk.
 * Returns RVE_OK, or RVE_ALREADY_STARTED (nothing changed) while the SDK is
 * starting, started or being released. Any thread; never blocks. The setting outlives
 * rv_releaseSdk.
 */
RV_API int rv_setCallbackDispatcher(rv_dispatch_post post, void *user);

/**
 * For loops that watch descriptors (poll, epoll, select): makes the SDK its
 * own dispatcher, signalling an eventfd whenever a callback is queued, and
 * returns that descriptor (readable while callbacks may be waiting), or -1
 * when none can be made (errno set; nothing changed). When it becomes
 * readable, call rv_runCallbacks. The descriptor belongs to the SDK: never
 * close it; it stays open for the life of the process and the same one is
 * returned by every call. Same rules as rv_setCallbackDispatcher (-1 with
 * errno EBUSY while the SDK is starting, started or being released).
 */
RV_API int rv_getCallbackFd(void);

/**
 * Runs, on the calling thread, every callback queued when it is called, in
 * order, and clears the descriptor of rv_getCallbackFd. Returns how many ran.
 * Call it from the application's loop thread only. The callbacks it runs (and
 * those run through a dispatcher's `run`) may call any SDK function, also
 * rv_releaseSdk: the loop is not one of the SDK's threads.
 */
RV_API int rv_runCallbacks(void);

RV_END_DECLS

#endif
