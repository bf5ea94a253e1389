/** @file
 * The player on the session bus as an MPRIS 2 media player, so that media
 * keys, `playerctl` and the desktop's or head unit's media panel see and
 * control it. A library of its own (librv_mpris, over sd-bus), so that an
 * application on a board without a desktop links none of it.
 *
 * What the bus sees: `org.mpris.MediaPlayer2.NAME` with the object
 * /org/mpris/MediaPlayer2 and its interfaces `org.mpris.MediaPlayer2` and
 * `org.mpris.MediaPlayer2.Player`. PlaybackStatus, Metadata (mpris:trackid,
 * mpris:length, xesam:title, xesam:album, mpris:artUrl), Position, Rate (the
 * playback speed; MinimumRate/MaximumRate 0.5 and 2, both 1 for a live
 * stream), Volume, and the Can… properties of the item playing (no seek on a
 * live stream, next and previous as rv_hasNext/rv_hasPre). PropertiesChanged
 * is sent for every change but Position's; Seeked after every seek. The
 * controls (Play, Pause, PlayPause, Stop, Next, Previous, Seek, SetPosition,
 * writing Rate or Volume) make the same calls an application makes
 * (rv_Play, rv_pause, rv_setPlaybackSpeed, …), which return at once.
 *
 * Threading: the bus is served by a thread of the library's own, which
 * learns the player's state from a player listener (rv_addPlayerListener)
 * and from rv_getPlayerState, rv_getVolume and rv_getPlaybackSpeed. The
 * application's own player listeners may therefore run on that thread, when
 * a control from the bus caused their call. Nothing here runs on, or waits
 * for, the application's loop (rv_dispatch.h); with a dispatcher set, the
 * metadata of a new item arrives once the loop has run the listener call.
 *
 * Ownership: the name is copied; nothing is handed over.
 */
#ifndef RV_MPRIS_H
#define RV_MPRIS_H

#include "rv_export.h"

RV_BEGIN_DECLS

/**
 * Puts the player on the session bus (DBUS_SESSION_BUS_ADDRESS, else
 * $XDG_RUNTIME_DIR/bus) as `org.mpris.MediaPlayer2.NAME`. `name` is one or
 * more dot-separated elements of letters, digits, '_' and '-', none starting
 * with a digit, at most 200 bytes ("myplayer", "myplayer.instance42"); it is
 * also the Identity the panels show. Works before and after rv_initSdk; the
 * metadata of an item already playing is read once, here.
 *
 * Returns RVE_OK; RVE_BAD_ARGS for a null or malformed name;
 * RVE_ALREADY_STARTED while the player is already exported;
 * RVE_NO_MEMORY; RVE_FAILED when there is no session bus, it does not
 * answer within 2 s, or the name is taken (one D line with the reason, tag
 * "MPRIS"). Any thread; blocks while the bus answers the name request (a
 * local socket: milliseconds).
 */
RV_API int rv_exportMpris(const char *name);

/**
 * Takes the player off the bus: the name is released and the thread joined.
 * Returns RVE_OK; RVE_NOT_READY when nothing is exported, or when called on
 * the library's own thread (from a player listener that a control from the
 * bus caused), where it cannot wait for itself. Any thread otherwise; blocks
 * until a call into the library's player listener on another thread returned
 * (microseconds). An export still on when the process ends goes with it.
 */
RV_API int rv_unexportMpris(void);

RV_END_DECLS

#endif
