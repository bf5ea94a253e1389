// Encoded media, made on first request and kept for the life of the process,
// so start-up stays fast and each file is encoded once however many services
// the process starts (a test suite starts one per test, and an encode takes
// seconds on a slow or emulated board).
#pragma once

#include <functional>
#include <future>
#include <map>
#include <memory>
#include <mutex>
#include <string>

namespace rvmock {

class MediaStore {
  public:
    using Bytes = std::shared_ptr<const std::string>;

    // The process's store; thread-safe.
    static MediaStore &shared();

    // The bytes cached under `key` (which names everything they depend on),
    // made by `make` on first use. Concurrent
    // first requests wait for the one encode instead of repeating it; an empty
    // result (a failed encode) is not cached.
    Bytes get(const std::string &key, const std::function<std::string()> &make);

  private:
    std::mutex mutex_;  // guards entries_ (handler threads); never held while encoding
    std::map<std::string, std::shared_future<Bytes>> entries_;
};

}  // namespace rvmock
