// The playback API's link to the play managers. Each manager describes itself
// with one play_manager_ops table and installs it at start-up:
// initPlayerAlbumManager installs the album player's (player type 0),
// initBroadcastPlayManager the broadcast player's (player type 1), and their
// finalisers clear them. The rv_ playback functions forward to the table of
// the player that owns the engine (player_engine_owner), or, before either
// took it, of the current player type; a missing table, or a missing entry,
// is answered as when no player is selected (E "Unknown Player Type ! \n",
// false, -1 or null).
#ifndef RV_IFACE_IFCAE_PLAY_V2_H
#define RV_IFACE_IFCAE_PLAY_V2_H

#include <atomic>
#include <cstdint>

#include "rv_export.h"
#include "rv_player.h"

// Values of mCurPlayerType.
enum : int32_t {
    kPlayerTypeNone = -1,
    kPlayerTypeAlbum = 0,
    kPlayerTypeBroadcast = 1,
};

// The player serving the control functions; set only by the two play-start
// functions, before they forward.
extern "C" RV_API std::atomic<int32_t> mCurPlayerType;

RV_BEGIN_DECLS

// One play manager's operations, named after the album_ / bcast_ functions
// they stand for. Entries may be null (not offered).
typedef struct play_manager_ops {
    void (*playByAudioBean)(dao_play_audio_bean *bean);
    void (*playByPlayItem)(dao_play_item *item);
    void (*play)(void);
    void (*pause)(void);
    void (*stop)(void);
    void (*reset)(void);
    void (*switchPlayerStatus)(void);
    void (*seek)(int32_t msec);
    void (*playPre)(void);
    void (*playNext)(void);
    bool (*isPlaying)(void);
    bool (*isPaused)(void);
    bool (*canSeek)(void);
    bool (*hasPre)(void);
    bool (*hasNext)(void);
    int32_t (*getCurPlayItemIndex)(void);
    dao_play_item *(*getCurPlayItem)(void);
    int32_t (*getPlayItemIndex)(dao_play_item *item);
    dao_play_item *(*getPlayItem)(int32_t index);
    int32_t (*getPlayListSize)(void);
    List *(*getPlayList)(void);
    void (*fetchMorePlaylist)(FetchPlaylistListener *listener, const char *clock_id);
} play_manager_ops;

// Installs (or, with null, removes) the table of player type 0 or 1; the
// table must stay valid while installed. Any thread.
RV_API void ipa_set_play_manager(int32_t player_type, const play_manager_ops *ops);

RV_END_DECLS

#endif
