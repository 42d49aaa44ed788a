#include <gtest/gtest.h>

#include "link/posix/system_clock.h"

namespace rm525 {
namespace {

TEST(SystemClockTest, SleepsUntilTheTargetAndNotForAPastOne) {
    SystemClock clock;
    const uint32_t start = clock.NowMs();
    clock.SleepUntil(start + 50);
    EXPECT_GE(clock.NowMs() - start, 50u);

    // A target just behind the clock is reached already; waiting for it
    // would mean waiting for the 32-bit clock to wrap (49 days).
    const uint32_t before = clock.NowMs();
    clock.SleepUntil(before - 10);
    clock.SleepUntil(before + 0x8000'0000u);
    EXPECT_LT(clock.NowMs() - before, 1000u);
}

}  // namespace
}  // namespace rm525
