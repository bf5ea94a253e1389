// A playback test through the SDK, the real engine and the local service: the
// SDK started against the service, the listener recorder (Ears) listening, and
// the engine's output captured in a file of the test's own name. For suites
// that link rv_mock_service and orv_test_harness and run with the test ALSA
// configuration.
#ifndef RV_TESTS_PLAYER_SDK_PLAYBACK_FIXTURE_H
#define RV_TESTS_PLAYER_SDK_PLAYBACK_FIXTURE_H

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "mock_service.h"
#include "player/listener_recorder.h"
#include "player_harness.h"
#include "request/sdk_fixture.h"
#include "rv_sdk.h"

namespace rv::test {

class SdkPlaybackTest : public ::testing::Test {
  protected:
    explicit SdkPlaybackTest(rvmock::Config config = {}) : service_(std::move(config)) {}

    void SetUp() override {
        ASSERT_NE(std::getenv("ALSA_CONFIG_PATH"), nullptr) << "run through CTest";
        capture_ = std::make_unique<rvtest::Capture>(
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        ASSERT_TRUE(service_.start());
        ASSERT_EQ(start_sdk(service_.http_url(), dir_.path()), 0);
        Ears::get().listen();
    }
    void TearDown() override {
        rv_releaseSdk();
        Ears::get().stop_listening();
    }

    // The service's reports with `eventcode`, in arrival order.
    std::vector<rvmock::Report> reports(const std::string &code) const {
        std::vector<rvmock::Report> found;
        for (const rvmock::Report &r : service_.reports()) {
            if (r.value("eventcode") == code) {
                found.push_back(r);
            }
        }
        return found;
    }
    // Reports travel on a pool worker: waits up to 5 s until `n` with `code` arrived.
    std::vector<rvmock::Report> wait_reports(const std::string &code, std::size_t n) const {
        for (int i = 0; i < 100 && reports(code).size() < n; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return reports(code);
    }

    // Waits up to 15 s until the device opened last has taken `seconds` of
    // 44.1 kHz mono audio: on a loaded machine (or under emulation) a live
    // stream arrives later than the wall clock says.
    void wait_for_audio(double seconds) const {
        const auto bytes = static_cast<std::uintmax_t>(seconds * 44100 * 2);
        for (int i = 0; i < 300 && capture_->size() < bytes; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
    }

    LogCapture log_;  // outlives the SDK's threads
    // Every test plays into its own capture, from its first sound on.
    std::unique_ptr<rvtest::Capture> capture_;
    rvmock::Service service_;
    TempDir dir_;
};

}  // namespace rv::test

#endif
