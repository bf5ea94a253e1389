// The real-time accounting behind output pacing, on a made-up clock.
#include <gtest/gtest.h>

#include "pace_clock.h"

namespace {

using orv::PaceClock;
using namespace std::chrono_literals;

constexpr int kRate = 1000;  // one frame per millisecond keeps the arithmetic visible
const PaceClock::Clock::time_point t0{};

TEST(PaceClock, PlaysAsTimePassesButNeverBeyondWhatWasWritten) {
    PaceClock c(kRate);
    c.restart(t0);
    c.resume(t0);
    c.wrote(t0, 300);
    EXPECT_EQ(c.played(t0 + 100ms), 100);
    EXPECT_EQ(c.played(t0 + 900ms), 300);
    EXPECT_EQ(c.until_room(t0 + 100ms, 0, 250), 0us);     // 200 ahead, margin 250
    EXPECT_GT(c.until_room(t0 + 100ms, 100, 250), 49ms);  // 300 ahead would be too far
    EXPECT_LE(c.until_room(t0 + 100ms, 100, 250), 51ms);
}

TEST(PaceClock, PauseFreezesThePositionAndResumeContinuesFromIt) {
    PaceClock c(kRate);
    c.restart(t0);
    c.resume(t0);
    c.wrote(t0, 1000);
    c.pause(t0 + 200ms);
    EXPECT_EQ(c.played(t0 + 5s), 200);
    EXPECT_EQ(c.dry_for(t0 + 5s), 0us);  // paused is not starved
    c.resume(t0 + 5s);
    EXPECT_EQ(c.played(t0 + 5s + 300ms), 500);
}

TEST(PaceClock, RunningDryIsMeasuredAndTheNextWriteStartsAfresh) {
    PaceClock c(kRate);
    c.restart(t0);
    c.resume(t0);
    EXPECT_EQ(c.dry_for(t0 + 1s), 0us);  // nothing written yet: not a stall
    c.wrote(t0, 100);
    EXPECT_EQ(c.dry_for(t0 + 50ms), 0us);
    EXPECT_EQ(c.dry_for(t0 + 400ms), 300ms);
    // Written after a gap: the starved time is not counted as played.
    c.wrote(t0 + 400ms, 100);
    EXPECT_EQ(c.played(t0 + 450ms), 150);
    EXPECT_EQ(c.dry_for(t0 + 450ms), 0us);
}

}  // namespace
