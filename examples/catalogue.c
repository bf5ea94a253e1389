/*
 * Starts the SDK, lists the categories, the albums of the first category and
 * the first audios of its first album, then stops. Hosts: RV_OPEN_API_HTTP etc.
 * (default: the local service); files go to the current directory.
 */
#include <pthread.h>
#include <stdio.h>

#include "radio_sdk.h"

typedef struct answer {
    pthread_mutex_t lock;
    pthread_cond_t done;
    int ready, code;
    void *data;
} answer; /* one answer at a time: the SDK answers on its worker threads */

static void on_answer(int code, void *data, int count, void *user) {
    (void)count;
    answer *a = user;
    pthread_mutex_lock(&a->lock);
    a->code = code;
    a->data = data;
    a->ready = 1;
    pthread_cond_signal(&a->done);
    pthread_mutex_unlock(&a->lock);
}

/* Waits for the answer; returns its data (owned by the caller) or null. */
static void *wait_for(answer *a, const char *what) {
    pthread_mutex_lock(&a->lock);
    while (!a->ready) {
        pthread_cond_wait(&a->done, &a->lock);
    }
    a->ready = 0;
    pthread_mutex_unlock(&a->lock);
    if (a->code != RVE_OK) {
        fprintf(stderr, "%s failed: %s\n", what, rve_rve2str(a->code));
    }
    return a->code == RVE_OK ? a->data : NULL;
}

int main(void) {
    answer a = {PTHREAD_MUTEX_INITIALIZER, PTHREAD_COND_INITIALIZER, 0, 0, NULL};
    rv_initSdk("rv-test-app", "rv-test-secret", "examples", NULL, "com.example.radio", NULL,
               on_answer, &a);
    wait_for(&a, "start");
    List *top = NULL;
    dao_album_set *albums = NULL;
    dao_audio_set *audios = NULL;
    if (a.code == RVE_OK) {
        rv_getAllCategory(on_answer, &a);
        top = wait_for(&a, "categories");
    }
    for (ListItem *n = ListFirst(top); n; n = ListNext(n)) {
        printf("category %d %s\n", ((dao_category *)n->data)->cid, ((dao_category *)n->data)->name);
    }
    if (ListFirst(top)) {
        rv_getAlbumList(((dao_category *)ListFirst(top)->data)->cid, 0, 1, 5, on_answer, &a);
        albums = wait_for(&a, "albums");
    }
    if (albums && ListFirst(albums->list)) {
        dao_album *album = ListFirst(albums->list)->data;
        printf("album %lld %s\n", (long long)album->id, album->name);
        rv_getAlbumAudioList(album->id, 0, 1, 5, 0, on_answer, &a);
        audios = wait_for(&a, "audios");
    }
    for (ListItem *n = audios ? ListFirst(audios->list) : NULL; n; n = ListNext(n)) {
        dao_audio *au = n->data;
        printf("  audio %lld %s (%d ms)\n", (long long)au->audioId, au->audioName, au->duration);
    }
    int ok = audios && ListLength(audios->list) > 0;
    ListFree(top);
    dao_album_set_del(albums);
    dao_audio_set_del(audios);
    rv_releaseSdk();
    return ok ? 0 : 1;
}
