#include "link/posix/system_clock.h"

#include <time.h>

#include <cerrno>

#include "link/posix/monotonic.h"

namespace rm525 {

namespace {

// A target this far ahead or more counts as already passed (wrapping clock).
constexpr uint32_t kPastDistance = 0x8000'0000u;

int64_t MonotonicMs() {
    return posix::MonotonicNs() / posix::kNsPerMs;
}

}  // namespace

uint32_t SystemClock::NowMs() {
    return static_cast<uint32_t>(MonotonicMs());
}

void SystemClock::SleepUntil(uint32_t targetMs) {
    const int64_t nowMs = MonotonicMs();
    const uint32_t distance = targetMs - static_cast<uint32_t>(nowMs);
    if (distance == 0 || distance >= kPastDistance) {
        return;
    }
    // The tick `targetMs` begins at this monotonic instant.
    const int64_t wakeNs = (nowMs + distance) * posix::kNsPerMs;
#ifdef __linux__
    timespec wake{};
    wake.tv_sec = static_cast<time_t>(wakeNs / 1'000'000'000);
    wake.tv_nsec = static_cast<long>(wakeNs % 1'000'000'000);
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &wake, nullptr) == EINTR) {
    }
#else
    // No absolute sleep here: sleep the rest again after each interruption.
    for (int64_t left = wakeNs - posix::MonotonicNs(); left > 0;
         left = wakeNs - posix::MonotonicNs()) {
        timespec rest{};
        rest.tv_sec = static_cast<time_t>(left / 1'000'000'000);
        rest.tv_nsec = static_cast<long>(left % 1'000'000'000);
        nanosleep(&rest, nullptr);
    }
#endif
}

}  // namespace rm525
