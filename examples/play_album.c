/*
 * Plays the last three episodes of an album with a listener of its own (the
 * application's record reaches every callback as `user`): pauses and resumes
 * the first, skips to the next, lets it run into the last one and on to the
 * end of the list, then starts the album again after a stop and quits.
 * Hosts: RV_OPEN_API_HTTP etc. (default: the local service).
 */
#include <pthread.h>
#include <stdio.h>
#include <string.h>
#include <time.h>

#include "radio_sdk.h"

/* What the listener saw; the callbacks run on the SDK's threads. */
typedef struct app {
    pthread_mutex_t lock;
    pthread_cond_t changed;
    int64_t started;  /* items prepared so far (-1: the start-up failed) */
    int64_t position; /* ms into the current item */
    int64_t ended;    /* the last item of the list ended */
    int answered;     /* the start-up answered */
    char title[128];
} app;

static void on_item_changed(void *user, dao_play_item *item) {
    app *a = user;
    /* The item is this listener's own copy: kept or freed here. */
    pthread_mutex_lock(&a->lock);
    snprintf(a->title, sizeof a->title, "%s", item->audioName ? item->audioName : "?");
    pthread_mutex_unlock(&a->lock);
    dao_play_item_del(item);
}

static void on_prepare_complete(void *user) {
    app *a = user;
    pthread_mutex_lock(&a->lock);
    a->position = 0;
    pthread_mutex_unlock(&a->lock);
}

static void on_state_changed(void *user, rv_player_state state) {
    app *a = user;
    pthread_mutex_lock(&a->lock);
    if (state == RV_PLAYER_PLAYING && a->position == 0) { /* a start, not a resume */
        a->started++;
        printf("playing %s\n", a->title);
    }
    pthread_cond_broadcast(&a->changed);
    pthread_mutex_unlock(&a->lock);
}

static void on_progress(void *user, int32_t kind, int64_t position, int64_t duration) {
    app *a = user;
    (void)kind;
    (void)duration;
    pthread_mutex_lock(&a->lock);
    a->position = position;
    pthread_cond_broadcast(&a->changed);
    pthread_mutex_unlock(&a->lock);
}

static void on_list_ended(void *user) {
    app *a = user;
    pthread_mutex_lock(&a->lock);
    a->ended = 1;
    printf("end of the list\n");
    pthread_cond_broadcast(&a->changed);
    pthread_mutex_unlock(&a->lock);
}

static void on_error(void *user, int32_t what, int32_t detail) {
    (void)user;
    fprintf(stderr, "player error %d/%d\n", what, detail);
}

static void on_answer(int code, void *data, int count, void *user) {
    (void)data;
    (void)count;
    app *a = user;
    pthread_mutex_lock(&a->lock);
    a->answered = 1;
    a->started = code == RVE_OK ? 0 : -1;
    if (code != RVE_OK) {
        fprintf(stderr, "start failed: %s (%s)\n", rv_resultText(code), rv_resultName(code));
    }
    pthread_cond_broadcast(&a->changed);
    pthread_mutex_unlock(&a->lock);
}

/* Waits (lock held) until the field `value` of `a` reaches `at_least`; 0 after 20 s. */
static int wait_for(app *a, const int64_t *value, int64_t at_least) {
    struct timespec until;
    clock_gettime(CLOCK_REALTIME, &until);
    until.tv_sec += 20;
    while (*value < at_least) {
        if (pthread_cond_timedwait(&a->changed, &a->lock, &until) != 0) {
            fprintf(stderr, "play_album: stuck waiting\n");
            return 0;
        }
    }
    return 1;
}

int main(void) {
    app a;
    memset(&a, 0, sizeof a);
    pthread_mutex_init(&a.lock, NULL);
    pthread_cond_init(&a.changed, NULL);

    rv_player_events events;
    memset(&events, 0, sizeof events);
    events.struct_size = sizeof events;
    events.on_item_changed = on_item_changed;
    events.on_prepare_complete = on_prepare_complete;
    events.on_state_changed = on_state_changed;
    events.on_progress = on_progress;
    events.on_list_ended = on_list_ended;
    events.on_error = on_error;
    rv_listener_id listener = 0;
    if (rv_addPlayerListener(&events, &a, &listener) != RVE_OK) {
        return 1;
    }
    rv_initSdk("rv-test-app", "rv-test-secret", "examples", NULL, "com.example.radio", NULL,
               on_answer, &a);
    pthread_mutex_lock(&a.lock);
    while (!a.answered) {
        pthread_cond_wait(&a.changed, &a.lock);
    }
    int ok = a.started == 0;
    pthread_mutex_unlock(&a.lock);

    /* The album, started at its third episode: the bean's id is the album's,
     * audioId the audio to begin with, nextPage the page to fetch first. */
    dao_play_audio_bean bean;
    memset(&bean, 0, sizeof bean);
    bean.type = RV_RESOURCE_ALBUM;
    bean.id = 1100002;
    bean.audioId = 3000000203;
    bean.sortType = 1;
    bean.prePage = 1;
    bean.nextPage = 1;
    if (ok) {
        rv_playByAudioBean(&bean);
        pthread_mutex_lock(&a.lock);
        ok = wait_for(&a, &a.started, 1) && wait_for(&a, &a.position, 1000);
        pthread_mutex_unlock(&a.lock);
    }
    if (ok) {
        rv_pause();
        printf("paused: %s\n", rv_isPaused() ? "yes" : "no");
        struct timespec second = {1, 0};
        nanosleep(&second, NULL);
        rv_Play();
        printf("resumed\n");
        rv_playNext();
        pthread_mutex_lock(&a.lock);
        /* the fourth episode, then the fifth by itself, then the end */
        ok = wait_for(&a, &a.started, 3) && wait_for(&a, &a.ended, 1);
        pthread_mutex_unlock(&a.lock);
    }
    if (ok) {
        rv_stop();
        printf("stopped\n");
        bean.audioId = 0; /* from the album's first episode */
        rv_playByAudioBean(&bean);
        pthread_mutex_lock(&a.lock);
        ok = wait_for(&a, &a.started, 4);
        pthread_mutex_unlock(&a.lock);
        rv_stop();
    }
    rv_removePlayerListener(listener);
    rv_releaseSdk();
    printf(ok ? "quit after the restart\n" : "play_album: failed\n");
    return ok ? 0 : 1;
}
