// What every now-playing text must be, whatever the station sent.
#ifndef FUZZ_NOW_PLAYING_CHECK_H
#define FUZZ_NOW_PLAYING_CHECK_H

#include <string>

#include "now_playing.h"

inline void require_clean(const std::string &text) {
    if (text.size() > orv::kMaxTextBytes) {
        __builtin_trap();
    }
    // Valid UTF-8 without control characters: clean_text leaves such text as it is.
    if (orv::clean_text(text) != text) {
        __builtin_trap();
    }
}

inline void require_clean(const orv::NowPlaying &now) {
    require_clean(now.title);
    require_clean(now.artist);
    require_clean(now.url);
}

#endif
