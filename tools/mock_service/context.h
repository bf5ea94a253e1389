// Everything the endpoint groups share, owned by the Service. The fixtures are
// read-only once loaded; every other member guards its own state.
#pragma once

#include <atomic>
#include <cstdint>

#include "auth_state.h"
#include "faults.h"
#include "fixtures.h"
#include "mock_service.h"
#include "reports.h"
#include "revisions.h"
#include "stop_signal.h"
#include "user_state.h"

namespace rvmock {

struct Context {
    explicit Context(Config c) : config(std::move(c)), auth(config.qr_confirm_polls) {}

    const Config config;
    Fixtures fixtures;
    FaultTable faults;
    ReportLog reports;
    RequestLog requests;
    RequestLog media;
    AnswerLog answers;
    Revisions revisions;
    AuthState auth;
    UserState users;
    StopSignal stop;
    std::atomic<uint16_t> http_port{0};
};

}  // namespace rvmock
