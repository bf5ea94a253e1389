#include "player/player_state_listener.h"

std::atomic<PlayerStateListener *> mUserPlayerStateListener{nullptr};

namespace {

rv::detail::CallbackGate<PlayerStateListener *> s_state_gate{mUserPlayerStateListener};

using DownloadProgressFn = void (*)(int64_t fetched, int64_t total);
std::atomic<DownloadProgressFn> s_download_listener{nullptr};
rv::detail::CallbackGate<DownloadProgressFn> s_download_gate{s_download_listener};

using MetadataFn = void (*)(const char *title, const char *artist);
std::atomic<MetadataFn> s_metadata_listener{nullptr};
rv::detail::CallbackGate<MetadataFn> s_metadata_gate{s_metadata_listener};

}  // namespace

void setPlayerStateListener(PlayerStateListener *listener) {
    s_state_gate.set(listener);
}

void removePlayerStateListener(void) {
    s_state_gate.set(nullptr);
}

void setPlayerDownloadProgressListener(void (*listener)(int64_t fetched, int64_t total)) {
    s_download_gate.set(listener);
}

void setPlayerMetadataListener(void (*listener)(const char *title, const char *artist)) {
    s_metadata_gate.set(listener);
}

void setUserPlayerStateListener_OnPrepareComplete(void) {
    call_listener_slot<&PlayerStateListener::OnPrepareComplete>(s_state_gate);
}

void setUserPlayerStateListener_OnPlaying(void) {
    call_listener_slot<&PlayerStateListener::OnPlaying>(s_state_gate);
}

void setUserPlayerStateListener_OnPaused(void) {
    call_listener_slot<&PlayerStateListener::OnPaused>(s_state_gate);
}

void setUserPlayerStateListener_OnProgress(int32_t kind, int64_t position, int64_t duration) {
    call_listener_slot<&PlayerStateListener::OnProgress>(s_state_gate, kind, position, duration);
}

void setUserPlayerStateListener_OnError(int32_t what, int32_t detail) {
    call_listener_slot<&PlayerStateListener::OnError>(s_state_gate, what, detail);
}

void setUserPlayerStateListener_OnPlayEnd(void) {
    call_listener_slot<&PlayerStateListener::OnPlayEnd>(s_state_gate);
}

void setUserPlayerStateListener_OnSeekStart(void) {
    call_listener_slot<&PlayerStateListener::OnSeekStart>(s_state_gate);
}

void setUserPlayerStateListener_OnSeekComplete(void) {
    call_listener_slot<&PlayerStateListener::OnSeekComplete>(s_state_gate);
}

void setUserPlayerStateListener_OnBufferingStart(void) {
    call_listener_slot<&PlayerStateListener::OnBufferingStart>(s_state_gate);
}

void setUserPlayerStateListener_OnBufferingComplete(void) {
    call_listener_slot<&PlayerStateListener::OnBufferingComplete>(s_state_gate);
}

void setUserDownloadProgressListener_OnDownloadProgress(int64_t fetched, int64_t total) {
    s_download_gate.call([&](DownloadProgressFn listener) { listener(fetched, total); });
}

void setUserMetadataListener_OnMetadata(const char *title, const char *artist) {
    s_metadata_gate.call([&](MetadataFn listener) { listener(title, artist); });
}
