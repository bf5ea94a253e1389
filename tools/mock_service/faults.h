// Fault switches per path, set by tests through POST /__mock/faults or
// Service::set_fault and consumed by the router on every matching request.
#pragma once

#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "json.h"
#include "mock_service.h"

namespace rvmock {

class FaultTable {
  public:
    // A later fault for the same path replaces the earlier one.
    void set(const std::string &path, const Fault &fault);
    void clear();
    // The fault for `path` (an exact entry first, else the longest "prefix*"
    // entry); counts one use and forgets the entry once its uses are spent.
    std::optional<Fault> take(const std::string &path);
    Json to_json() const;

  private:
    mutable std::mutex mutex_;  // guards entries_ (handler threads and the test thread)
    std::vector<std::pair<std::string, Fault>> entries_;
};

// Reads {"path": ..., "kind": ..., "delay_ms": ..., "errcode": ..., "errmsg": ...,
// "bytes": ..., "times": ...}. False with a reason when it is not a valid fault.
bool fault_from_json(const cJSON *object, std::string &path, Fault &fault, std::string &error);
Json fault_to_json(const std::string &path, const Fault &fault);

}  // namespace rvmock
