// RAII holder for the few pthread mutexes the C ABI exports (mLogMutex).
#ifndef RV_UTIL_SCOPED_PTHREAD_LOCK_H
#define RV_UTIL_SCOPED_PTHREAD_LOCK_H

#include <pthread.h>

class ScopedPthreadLock {
  public:
    explicit ScopedPthreadLock(pthread_mutex_t &mutex) : mutex_(mutex) {
        pthread_mutex_lock(&mutex_);
    }
    ~ScopedPthreadLock() { pthread_mutex_unlock(&mutex_); }
    ScopedPthreadLock(const ScopedPthreadLock &) = delete;
    ScopedPthreadLock &operator=(const ScopedPthreadLock &) = delete;

  private:
    pthread_mutex_t &mutex_;
};

#endif
