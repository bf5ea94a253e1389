// The recursive mutex record used as the player's global lock.

#include <cstdlib>

#include "rv_error.h"
#include "util/util.h"

int _thread_mutex_lock(thread_mutex *m) {
    return m != nullptr && pthread_mutex_lock(&m->mutex) == 0 ? RVE_OK : RVE_FAILED;
}

int _thread_mutex_try_lock(thread_mutex *m) {
    return m != nullptr && pthread_mutex_trylock(&m->mutex) == 0 ? RVE_OK : RVE_FAILED;
}

int _thread_mutex_unlock(thread_mutex *m) {
    return m != nullptr && pthread_mutex_unlock(&m->mutex) == 0 ? RVE_OK : RVE_FAILED;
}

thread_mutex *thread_mutex_new(void) {
    auto *m = static_cast<thread_mutex *>(calloc(1, sizeof(thread_mutex)));
    if (m == nullptr) {
        return nullptr;
    }
    pthread_mutexattr_t attr;
    pthread_mutexattr_init(&attr);
    pthread_mutexattr_settype(&attr, PTHREAD_MUTEX_RECURSIVE);
    pthread_mutexattr_setpshared(&attr, PTHREAD_PROCESS_PRIVATE);
    int rc = pthread_mutex_init(&m->mutex, &attr);
    pthread_mutexattr_destroy(&attr);
    if (rc != 0) {
        free(m);
        return nullptr;
    }
    m->lock = _thread_mutex_lock;
    m->try_lock = _thread_mutex_try_lock;
    m->unlock = _thread_mutex_unlock;
    return m;
}

void thread_mutex_del(thread_mutex *m) {
    if (m == nullptr) {
        return;
    }
    pthread_mutex_destroy(&m->mutex);
    free(m);
}
