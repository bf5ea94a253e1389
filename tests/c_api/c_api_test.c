/* Compiled as C11: the public headers must be plain C and link as is. */
#include <stdio.h>
#include <string.h>

#include "radio_sdk.h"
#include "rv_logout.h"

static int failures = 0;

#define CHECK(cond)                                                    \
    do {                                                               \
        if (!(cond)) {                                                 \
            fprintf(stderr, "%s:%d: %s\n", __FILE__, __LINE__, #cond); \
            failures++;                                                \
        }                                                              \
    } while (0)

static void free_item(void *item) {
    (void)item;
}

int main(void) {
    List *list = ListNew(free_item);
    static int a = 1, b = 2;
    CHECK(ListAppend(list, &a) != NULL);
    CHECK(ListPrepend(list, &b) != NULL);
    CHECK(ListLength(list) == 2 && ListFirst(list)->data == &b);
    ListFree(list);

    CHECK(strcmp(rve_rve2str(RVE_BAD_RESPONSE), "0x00000204") == 0);
    CHECK(atomic_load(&mSdkInitOk) == 0);
    CHECK(sizeof(mSdkInitOk) == 1);
    CHECK(strcmp(rv_sdk_version(), RV_SDK_VERSION_STRING) == 0);
    set_debug_mode(0);
    logout(2, 2, "E", "C", "silent\n");

    /* Playback from C: records, listener, a refused bean. */
    static PlayerStateListener listener = {0};
    setPlayerStateListener(&listener);
    dao_play_audio_bean *bean = dao_play_audio_bean_new();
    CHECK(bean != NULL && bean->name == NULL);
    bean->type = 2;
    rv_playByAudioBean(bean);
    dao_play_audio_bean_del(bean);
    CHECK(!rv_isPlaying() && rv_getPlayListSize() == -1 && rv_getCurPlayItem() == NULL);
    removePlayerStateListener();
    return failures == 0 ? 0 : 1;
}
