/*
 * A loop over poll(2): the SDK's callbacks wait until the loop sees the
 * descriptor of rv_getCallbackFd and runs them with rv_runCallbacks, so they
 * all run on this thread. Lists the categories and quits.
 * Hosts: RV_OPEN_API_HTTP etc. (default: the local service).
 */
#include <poll.h>
#include <stdio.h>

#include "radio_sdk.h"

static int done, failed;

static void on_categories(int code, void *data, int count, void *user) {
    (void)count;
    (void)user;
    done = 1;
    if (code != RVE_OK) {
        fprintf(stderr, "poll_loop: categories failed: %s\n", rv_resultText(code));
        failed = 1;
        return;
    }
    for (ListItem *n = ListFirst(data); n; n = ListNext(n)) {
        printf("category %s\n", ((dao_category *)n->data)->name);
    }
    ListFree(data);
}

static void on_started(int code, void *data, int count, void *user) {
    (void)data;
    (void)count;
    (void)user;
    if (code != RVE_OK) {
        fprintf(stderr, "poll_loop: start failed: %s\n", rv_resultText(code));
        failed = done = 1;
        return;
    }
    rv_getAllCategory(on_categories, NULL);
}

int main(void) {
    struct pollfd watched = {rv_getCallbackFd(), POLLIN, 0};
    if (watched.fd < 0) {
        perror("rv_getCallbackFd");
        return 1;
    }
    rv_initSdk("rv-test-app", "rv-test-secret", "examples", NULL, "com.example.radio", NULL,
               on_started, NULL);
    /* The application's other descriptors would sit beside this one. */
    while (!done && poll(&watched, 1, 20000) > 0) {
        rv_runCallbacks();
    }
    rv_releaseSdk();
    if (!done) {
        fprintf(stderr, "poll_loop: no answer in time\n");
    }
    printf(failed || !done ? "poll_loop: failed\n" : "quit after the categories\n");
    return failed || !done;
}
