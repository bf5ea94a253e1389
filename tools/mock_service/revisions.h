// Media files a test turned into another version of themselves
// (Service::revise_media), served in place of what their route would send.
#pragma once

#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

namespace rvmock {

struct RevisedFile {
    std::shared_ptr<const std::string> bytes;
    std::string content_type;
};

class Revisions {
  public:
    void set(const std::string &path, RevisedFile file) {
        std::lock_guard lock(mutex_);
        files_[path] = std::move(file);
    }
    std::optional<RevisedFile> find(const std::string &path) const {
        std::lock_guard lock(mutex_);
        const auto it = files_.find(path);
        return it == files_.end() ? std::nullopt : std::optional<RevisedFile>(it->second);
    }

  private:
    mutable std::mutex mutex_;  // guards files_ (handler threads and the test thread)
    std::map<std::string, RevisedFile> files_;
};

}  // namespace rvmock
