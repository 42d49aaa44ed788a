#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

#include "link/posix/system_clock.h"

namespace rm525 {
namespace {

// Runs SleepUntil(target) on a thread of its own and says whether it returned
// within `limit`. A clock that wrongly waits for a target it has passed would
// sleep for weeks: that thread is then left behind (the process ends it)
// rather than holding the test until ctest kills it.
bool ReturnsWithin(SystemClock& clock, uint32_t target, std::chrono::milliseconds limit) {
    auto done = std::make_shared<std::atomic<bool>>(false);
    std::thread([&clock, target, done] {
        clock.SleepUntil(target);
        *done = true;
    }).detach();
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!*done && std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    return *done;
}

TEST(SystemClockTest, SleepsUntilTheTargetAndNotForAPastOne) {
    static SystemClock clock;  // outlives a sleeper left behind
    const uint32_t start = clock.NowMs();
    clock.SleepUntil(start + 50);
    EXPECT_GE(clock.NowMs() - start, 50u);

    // Targets behind the clock are reached already; waiting for them would
    // mean waiting for the 32-bit clock to wrap. Besides one just behind: one
    // a minute short of half the clock's range behind (well clear of the
    // boundary between "ahead" and "behind", however slowly the thread
    // starts), and one a quarter of the range behind.
    const uint32_t before = clock.NowMs();
    EXPECT_TRUE(ReturnsWithin(clock, before - 10, std::chrono::seconds(5)));
    EXPECT_TRUE(ReturnsWithin(clock, before + 0x8000'0000u + 60'000, std::chrono::seconds(5)));
    EXPECT_TRUE(ReturnsWithin(clock, before + 0xC000'0000u, std::chrono::seconds(5)));
    // And a target just short of that boundary lies ahead: it is slept for.
    EXPECT_FALSE(ReturnsWithin(clock, before + 0x7FFF'0000u, std::chrono::milliseconds(100)));
}

}  // namespace
}  // namespace rm525
