/*
 * A GLib application: every SDK callback (results and player events) runs on
 * the main loop's thread through rv_setCallbackDispatcher, so the program
 * needs no lock. Lists the categories, plays an album until a second of it
 * was heard, then stops and quits. Hosts: RV_OPEN_API_HTTP etc.
 */
#include <glib.h>
#include <stdio.h>
#include <string.h>

#include "radio_sdk.h"

typedef struct app {
    GMainLoop *loop;
    GThread *main_thread;
    rv_listener_id listener;
    int failed;
} app;

/* --- The dispatcher: each run becomes an idle source of the main context --- */

typedef struct job {
    void (*run)(void *arg);
    void *arg;
} job;

static gboolean run_job(gpointer data) {
    job *j = data;
    j->run(j->arg);
    return G_SOURCE_REMOVE;
}

static void post(void (*run)(void *arg), void *arg, void *user) {
    job *j = g_new(job, 1);
    j->run = run;
    j->arg = arg;
    GSource *source = g_idle_source_new();
    g_source_set_callback(source, run_job, j, g_free);
    g_source_attach(source, user);
    g_source_unref(source);
}

/* --- The application: no locks, everything on the main thread ------------- */

static void check_thread(app *a, const char *what) {
    if (g_thread_self() != a->main_thread) {
        fprintf(stderr, "glib_loop: %s ran on another thread\n", what);
        a->failed = 1;
    }
}

static void on_prepare_complete(void *user) {
    check_thread(user, "on_prepare_complete");
    dao_play_item *item = rv_getCurPlayItem();
    printf("playing %s\n", item && item->audioName ? item->audioName : "?");
}

static void on_progress(void *user, int32_t kind, int64_t position, int64_t duration) {
    app *a = user;
    (void)kind;
    (void)duration;
    check_thread(a, "on_progress");
    if (position >= 1000 && g_main_loop_is_running(a->loop)) {
        printf("heard a second\n");
        rv_stop();
        g_main_loop_quit(a->loop);
    }
}

static void on_categories(int code, void *data, int count, void *user) {
    app *a = user;
    (void)count;
    check_thread(a, "on_categories");
    if (code != RVE_OK) {
        fprintf(stderr, "glib_loop: categories failed: %s\n", rv_resultText(code));
        a->failed = 1;
        g_main_loop_quit(a->loop);
        return;
    }
    for (ListItem *n = ListFirst(data); n; n = ListNext(n)) {
        printf("category %s\n", ((dao_category *)n->data)->name);
    }
    ListFree(data);
    dao_play_audio_bean bean;
    memset(&bean, 0, sizeof bean);
    bean.type = RV_RESOURCE_ALBUM;
    bean.id = 1100002;
    bean.sortType = 1;
    bean.prePage = 1;
    bean.nextPage = 1;
    rv_playByAudioBean(&bean);
}

static void on_started(int code, void *data, int count, void *user) {
    app *a = user;
    (void)data;
    (void)count;
    check_thread(a, "on_started");
    if (code != RVE_OK) {
        fprintf(stderr, "glib_loop: start failed: %s\n", rv_resultText(code));
        a->failed = 1;
        g_main_loop_quit(a->loop);
        return;
    }
    rv_getAllCategory(on_categories, a);
}

static gboolean give_up(gpointer user) {
    app *a = user;
    fprintf(stderr, "glib_loop: nothing played in time\n");
    a->failed = 1;
    g_main_loop_quit(a->loop);
    return G_SOURCE_REMOVE;
}

int main(void) {
    app a = {g_main_loop_new(NULL, FALSE), g_thread_self(), 0, 0};
    rv_setCallbackDispatcher(post, g_main_context_default());
    rv_player_events events;
    memset(&events, 0, sizeof events);
    events.struct_size = sizeof events;
    events.on_prepare_complete = on_prepare_complete;
    events.on_progress = on_progress;
    rv_addPlayerListener(&events, &a, &a.listener);
    rv_initSdk("rv-test-app", "rv-test-secret", "examples", NULL, "com.example.radio", NULL,
               on_started, &a);
    guint timeout = g_timeout_add_seconds(20, give_up, &a);
    g_main_loop_run(a.loop);
    g_source_remove(timeout);
    rv_removePlayerListener(a.listener);
    /* What is still queued for the loop runs in here; nothing runs later. */
    rv_releaseSdk();
    g_main_loop_unref(a.loop);
    printf(a.failed ? "glib_loop: failed\n" : "quit on the main loop\n");
    return a.failed;
}
