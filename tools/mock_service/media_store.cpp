#include "media_store.h"

namespace rvmock {

MediaStore &MediaStore::shared() {
    static MediaStore store;
    return store;
}

MediaStore::Bytes MediaStore::get(const std::string &key,
                                  const std::function<std::string()> &make) {
    std::promise<Bytes> promise;
    std::shared_future<Bytes> future;
    bool maker = false;
    {
        std::lock_guard lock(mutex_);
        auto it = entries_.find(key);
        if (it == entries_.end()) {
            future = promise.get_future().share();
            entries_.emplace(key, future);
            maker = true;
        } else {
            future = it->second;
        }
    }
    if (maker) {
        Bytes bytes = std::make_shared<const std::string>(make());
        promise.set_value(bytes);
        if (bytes->empty()) {
            std::lock_guard lock(mutex_);
            entries_.erase(key);
        }
    }
    return future.get();
}

}  // namespace rvmock
