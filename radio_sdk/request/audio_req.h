/*
 * Audio requests (plain HTTP GET, signed); reporting as request_core.h
 * describes, records owned by the receiver (rv_data.h).
 */
#ifndef RV_REQUEST_AUDIO_REQ_H
#define RV_REQUEST_AUDIO_REQ_H

#include <stdint.h>

#include "rv_data.h"

RV_BEGIN_DECLS

/*
 * dao_audio_set. With pagenum 0 and audio_id >= 1 the server is asked for the
 * page that holds that audio; otherwise for page `pagenum` (audio_id unused).
 */
RV_API void request_album_playlist(int64_t album_id, int sorttype, int pagenum, int pagesize,
                                   int64_t audio_id, rv_result_callback callback, void *user_data);
/* dao_audio. */
RV_API void request_album_audio_info(int64_t audio_id, rv_result_callback callback,
                                     void *user_data);

RV_END_DECLS

#endif
