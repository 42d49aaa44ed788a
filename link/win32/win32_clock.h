#pragma once

#include <windows.h>

#include <cstdint>

#include "link/clock.h"

namespace rm525 {

// The link's millisecond clock on the performance counter, which is
// monotonic and far finer than a millisecond. Waits sleep on a
// high-resolution waitable timer, so that a 30 ms gap lasts 30 ms and not
// the next tick of the 15.6 ms system timer.
class Win32Clock : public Clock {
public:
    Win32Clock();
    ~Win32Clock() override;
    Win32Clock(const Win32Clock&) = delete;
    Win32Clock& operator=(const Win32Clock&) = delete;

    uint32_t NowMs() override;
    void SleepUntil(uint32_t targetMs) override;

    // Whether the timer is the high-resolution kind (older systems and Wine
    // may not have it; the plain timer then runs at a 1 ms timer period).
    bool highResolution() const { return highResolution_; }

private:
    int64_t Now100ns() const;  // the counter in units of 100 ns

    int64_t ticksPerSecond_ = 1;
    HANDLE timer_ = nullptr;
    bool highResolution_ = false;
    bool periodRaised_ = false;
};

}  // namespace rm525
