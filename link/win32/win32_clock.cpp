#include "link/win32/win32_clock.h"

#include <timeapi.h>

namespace rm525 {

namespace {

#ifndef CREATE_WAITABLE_TIMER_HIGH_RESOLUTION
constexpr DWORD CREATE_WAITABLE_TIMER_HIGH_RESOLUTION = 0x00000002;
#endif

// A target this far ahead or more counts as already passed (wrapping clock).
constexpr uint32_t kPastDistance = 0x8000'0000u;
constexpr int64_t k100nsPerSecond = 10'000'000;
constexpr int64_t k100nsPerMs = 10'000;
constexpr UINT kTimerPeriodMs = 1;

}  // namespace

Win32Clock::Win32Clock() {
    LARGE_INTEGER frequency{};
    QueryPerformanceFrequency(&frequency);
    ticksPerSecond_ = frequency.QuadPart > 0 ? frequency.QuadPart : 1;
    timer_ = CreateWaitableTimerExW(nullptr, nullptr, CREATE_WAITABLE_TIMER_HIGH_RESOLUTION,
                                    TIMER_ALL_ACCESS);
    highResolution_ = timer_ != nullptr;
    if (!highResolution_) {
        timer_ = CreateWaitableTimerExW(nullptr, nullptr, 0, TIMER_ALL_ACCESS);
        periodRaised_ = timeBeginPeriod(kTimerPeriodMs) == TIMERR_NOERROR;
    }
}

Win32Clock::~Win32Clock() {
    if (timer_ != nullptr)
        CloseHandle(timer_);
    if (periodRaised_)
        timeEndPeriod(kTimerPeriodMs);
}

int64_t Win32Clock::Now100ns() const {
    LARGE_INTEGER now{};
    QueryPerformanceCounter(&now);
    // Split so that the multiplication cannot overflow after a long uptime.
    const int64_t seconds = now.QuadPart / ticksPerSecond_;
    const int64_t rest = now.QuadPart % ticksPerSecond_;
    return seconds * k100nsPerSecond + rest * k100nsPerSecond / ticksPerSecond_;
}

uint32_t Win32Clock::NowMs() {
    return static_cast<uint32_t>(Now100ns() / k100nsPerMs);
}

void Win32Clock::SleepUntil(uint32_t targetMs) {
    const int64_t now = Now100ns();
    const int64_t nowMs = now / k100nsPerMs;
    const uint32_t distance = targetMs - static_cast<uint32_t>(nowMs);
    if (distance == 0 || distance >= kPastDistance)
        return;
    // The tick `targetMs` begins at this instant of the counter.
    const int64_t wait100ns = (nowMs + distance) * k100nsPerMs - now;
    if (timer_ != nullptr) {
        LARGE_INTEGER due{};
        due.QuadPart = -wait100ns;  // negative: relative to now
        if (SetWaitableTimer(timer_, &due, 0, nullptr, nullptr, FALSE)) {
            WaitForSingleObject(timer_, INFINITE);
            return;
        }
    }
    Sleep(distance);
}

}  // namespace rm525
