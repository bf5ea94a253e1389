/** @file
 * Play items and audio beans: the records of the playback side, and the
 * builders that make them from the catalogue's records.
 *
 * Ownership: every record returned by a _new, _dup or transform… function
 * belongs to the caller, who frees it with the matching _del (null accepted).
 * Every string field is the record's own heap copy, freed by its _del; a
 * string whose source is null stays null. The builders never change or keep
 * their source record. Items handed back by the playback API (rv_player.h)
 * are the exception: they stay owned by the play list.
 *
 * Threading: every function may be called from any thread and never blocks;
 * a record itself has no lock, so one record must not be changed on one
 * thread while another reads it.
 */
#ifndef RV_PLAY_ITEM_H
#define RV_PLAY_ITEM_H

#include <stdint.h>

#include "rv_broadcast.h"
#include "rv_data.h"
#include "rv_export.h"
#include "rv_smartcast.h"

RV_BEGIN_DECLS

/** @name Resource types (the type field of the three records) */
/** @{ */
#define RV_RESOURCE_ALBUM 0      /**< album: played by the album player */
#define RV_RESOURCE_AUDIO 1      /**< single audio: album player */
#define RV_RESOURCE_SMARTCAST 3  /**< smartcast radio: album player */
#define RV_RESOURCE_BROADCAST 11 /**< broadcast: broadcast player */
/** @} */

/** @name Values of dao_play_item.status for programmes and broadcasts */
/** @{ */
#define RV_PLAY_STATUS_LIVE 1     /**< on air now: playUrl is the live stream */
#define RV_PLAY_STATUS_PLAYBACK 2 /**< past programme: playUrl is its back-play URL */
#define RV_PLAY_STATUS_OFF_AIR 3  /**< nothing to play: playUrl is "" */
/** @} */

/**
 * One playable entry of a play list: an audio (album, single audio or
 * smartcast radio) or a programme of a broadcast. Fields not filled for a
 * source stay null or 0.
 */
typedef struct dao_play_item {
    char *audioName;     /**< the audio's title (audios only) */
    char *audioPic;      /**< the audio's picture URL */
    char *audioDes;      /**< the audio's description */
    char *radioName;     /**< smartcast items: the radio's name */
    char *albumName;     /**< audio: album name; programme and broadcast: broadcast name */
    char *albumPic;      /**< audio: album picture; programme and broadcast: broadcast picture */
    char *mp3PlayUrl32;  /**< MP3 stream URL, 32 kbit/s */
    char *mp3PlayUrl64;  /**< MP3 stream URL, 64 kbit/s */
    char *aacPlayUrl;    /**< AAC stream URL (what the player plays) */
    char *aacPlayUrl32;  /**< AAC stream URL, 32 kbit/s */
    char *aacPlayUrl64;  /**< AAC stream URL, 64 kbit/s */
    char *aacPlayUrl128; /**< AAC stream URL, 128 kbit/s */
    char *clockId;       /**< smartcast items: the clock id of their portion */
    char *playUrl;       /**< what the player plays; "" when there is nothing to play */
    char *title;         /**< audio: its title; programme: its title; broadcast: a placeholder */
    char *beginTime;     /**< programme: "HH:MM:SS" text as the service sends it */
    char *endTime;       /**< programme: "HH:MM:SS" text as the service sends it */
    int64_t albumId;     /**< audio: album id; programme and broadcast: broadcast id */
    int64_t updateTime;  /**< audio: last update, ms since the epoch */
    int64_t audioId;     /**< identifies the item: audio id or programme id */
    int64_t duration;    /**< ms */
    int64_t startTime;   /**< programme: start, ms since the epoch */
    int64_t finishTime;  /**< programme: end, ms since the epoch */
    int64_t reserved64;  /**< never set */
    int32_t orderNum;    /**< audio: position in the album */
    int32_t originalDuration; /**< ms */
    int32_t listenNum;        /**< times listened, as counted by the service */
    int32_t likedNum;         /**< likes, as counted by the service */
    int32_t hasCopyright;     /**< non-zero when the service holds the rights */
    int32_t commentNum;       /**< number of comments */
    int32_t categoryId;       /**< audio: its category */
    int32_t reserved32a;      /**< never set */
    int32_t isListened;       /**< the service's "isListened" mark */
    int32_t status; /**< programme and broadcast: RV_PLAY_STATUS_… or the programme's status */
    int32_t needRestart; /**< 1 for live items: resuming after a pause restarts at the live point */
    int32_t reserved32b; /**< never set */
    int32_t type;        /**< RV_RESOURCE_… */
} dao_play_item;

/**
 * What the application hands to rv_playByAudioBean: a resource and paging
 * hints. The transform…ToPlayAudioBean functions fill it from a record; by
 * hand, zero it and set, per resource type:
 * - album: type RV_RESOURCE_ALBUM, id = the album's id, audioId = the audio to
 *   begin with (0: the first), sortType, prePage and nextPage 1;
 * - single audio: type RV_RESOURCE_AUDIO, audioId = the audio's id (id is not
 *   read); it plays as a one-item list;
 * - smartcast radio: type RV_RESOURCE_SMARTCAST, id = the radio's id (clockId
 *   may stay null);
 * - broadcast: type RV_RESOURCE_BROADCAST, id = the broadcast's id.
 */
typedef struct dao_play_audio_bean {
    int32_t type;     /**< RV_RESOURCE_… */
    int64_t id;       /**< album, smartcast radio or broadcast id (see above) */
    int64_t audioId;  /**< album: the audio to start with (0: the first); single audio: its id */
    int32_t sortType; /**< sort order of the album's audio list */
    int32_t prePage;  /**< page before the start; 2 or more: an earlier page exists */
    int32_t nextPage; /**< page to fetch first; below 1: none */
    char *name;       /**< display name of the resource */
    char *img;        /**< picture of the resource */
    char *clockId;    /**< first smartcast request's clock id; may be null */
} dao_play_audio_bean;

/** The album player's working copy of a bean: the resource and its paging state. */
typedef struct dao_play_audio_item {
    int64_t id;         /**< from the bean */
    int64_t audioId;    /**< audio to locate in the next album answer; 0 once found */
    char *name;         /**< from the bean */
    char *clockId;      /**< from the bean */
    char *reservedText; /**< never set */
    int32_t type;       /**< RV_RESOURCE_…, from the bean */
    int32_t sortType;   /**< from the bean */
    uint8_t haveNext;   /**< a later page can be fetched */
    int32_t nextPage;   /**< number of that page */
    uint8_t havePre;    /**< an earlier page can be fetched */
    int32_t prePage;    /**< number of that page */
    uint8_t forward; /**< true: fetch the next page and append; false: the earlier one, prepended */
    uint8_t exhausted; /**< nothing more can be fetched */
} dao_play_audio_item;

/** Zero-filled records, or null when memory is short. */
RV_API dao_play_item *dao_play_item_new(void);
RV_API dao_play_audio_bean *dao_play_audio_bean_new(
    void); /**< a zero-filled record; null when memory is short */
RV_API dao_play_audio_item *dao_play_audio_item_new(
    void); /**< a zero-filled record; null when memory is short */
/** Free every string and the record; null is ignored. dao_play_item_del is also
 * the release function of every play list. */
RV_API void dao_play_item_del(dao_play_item *item);
RV_API void dao_play_audio_bean_del(
    dao_play_audio_bean *bean); /**< frees the record, its strings and lists; null is ignored */
RV_API void dao_play_audio_item_del(
    dao_play_audio_item *item); /**< frees the record, its strings and lists; null is ignored */

/** A deep copy (every string duplicated); null for a null item or when memory is short. */
RV_API dao_play_item *dao_play_item_dup(const dao_play_item *item);

/**
 * Play item of an audio: its texts and numbers, playUrl = aacPlayUrl, title =
 * audioName, duration = originalDuration (widened), type RV_RESOURCE_AUDIO.
 * Null for a null audio or when memory is short.
 */
RV_API dao_play_item *transformAudioToPlayItem(const dao_audio *audio);

/**
 * Play item of a programme: albumName/albumPic = the broadcast's name and
 * picture, title, beginTime, endTime, albumId = broadcastId, audioId =
 * programId, startTime, finishTime, duration = finishTime - startTime, type
 * RV_RESOURCE_BROADCAST. What it plays follows the programme's status: 0 or 1
 * (on air) status RV_PLAY_STATUS_LIVE, needRestart 1, playUrl = its playUrl;
 * 2 (past) RV_PLAY_STATUS_PLAYBACK, playUrl = backLiveUrl; any other status is
 * kept, with playUrl "" (nothing to play yet).
 */
RV_API dao_play_item *transformProgramToPlayItem(const dao_program *program);
/**
 * Play item of a broadcast without a programme guide: one item for the whole
 * day, title "暂无节目信息", "00:00:00" to "23:59:59", albumName/albumPic = its
 * name and picture, albumId = broadcastId, type RV_RESOURCE_BROADCAST. Status 1
 * (on air): RV_PLAY_STATUS_LIVE, needRestart 1, its playUrl; otherwise
 * RV_PLAY_STATUS_OFF_AIR and playUrl "".
 */
RV_API dao_play_item *transformBroadcastInfoToPlayItem(const dao_broadcast_info *info);

/**
 * Audio beans. Albums, album details and an album's audio give type
 * RV_RESOURCE_ALBUM with sortType, prePage and nextPage 1 (an audio starts its
 * album at that audio: id = albumId, audioId = audioId, name and img = the
 * album's). clockId is never set. Null for a null source or when memory is
 * short.
 */
RV_API dao_play_audio_bean *transformAlbumToPlayAudioBean(const dao_album *album);
RV_API dao_play_audio_bean *transformAlbumInfoToPlayAudioBean(
    const dao_album_info *info); /**< see transformAlbumToPlayAudioBean */
RV_API dao_play_audio_bean *transformAlbumAudioToPlayAudioBean(
    const dao_audio *audio); /**< see transformAlbumToPlayAudioBean */
/** As transformAlbumAudioToPlayAudioBean for the audio at `index` of the set's
 * list; null when the set or list is null or empty, the index is out of range,
 * or the entry is null. */
RV_API dao_play_audio_bean *transformAlbumAudioSetToPlayAudioBean(const dao_audio_set *set,
                                                                  int32_t index);
/** Smartcast radios (RV_RESOURCE_SMARTCAST) and broadcasts (RV_RESOURCE_BROADCAST):
 * their id (broadcastId), name and img; audioId, sortType and the pages 0. */
RV_API dao_play_audio_bean *transformSmartcastToPlayAudioBean(const dao_smartcast *smartcast);
RV_API dao_play_audio_bean *transformBroadcastToPlayAudioBean(
    const dao_broadcast *broadcast); /**< see transformSmartcastToPlayAudioBean */
RV_API dao_play_audio_bean *transformBroadcastInfoToPlayAudioBean(
    const dao_broadcast_info *info); /**< see transformSmartcastToPlayAudioBean */

RV_END_DECLS

#endif
