// Every report received on "/c.gif", kept in arrival order for tests.
#pragma once

#include <mutex>
#include <vector>

#include "json.h"
#include "mock_service.h"

namespace rvmock {

class ReportLog {
  public:
    void add(Report report);
    std::vector<Report> list() const;
    void clear();

  private:
    mutable std::mutex mutex_;  // guards reports_ (handler threads and the test thread)
    std::vector<Report> reports_;
};

// {"query": ..., "signature_ok": ..., "time_ms": ..., "params": [[key, value], ...]}
Json report_to_json(const Report &report);

}  // namespace rvmock
