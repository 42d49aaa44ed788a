#pragma once

#include <cstdint>

#include "link/clock.h"

namespace rm525::sim {

// A clock that moves only when told to. The simulated ports advance it by the
// wire time of what they move, and a host waiting on it jumps straight to the
// moment it waits for, so minutes of line traffic take milliseconds.
//
// Time is kept in 64-bit microseconds from construction (a byte at 38400 bit/s
// lasts 260 us); NowMs() is the 32-bit wrapping millisecond counter the link
// sees, starting at `startMs`.
class VirtualClock : public Clock {
public:
    explicit VirtualClock(uint32_t startMs = 0) : startMs_(startMs) {}

    uint32_t NowMs() override { return startMs_ + static_cast<uint32_t>(nowUs_ / 1000); }
    // Jumps to `targetMs` when it lies ahead (unsigned 32-bit distance below
    // 2^31); a target in the past or present changes nothing.
    void SleepUntil(uint32_t targetMs) override;

    void Advance(uint64_t ms) { nowUs_ += ms * 1000; }
    void AdvanceUs(uint64_t us) { nowUs_ += us; }
    // Moves to `us` (microseconds since construction) if that is ahead.
    void AdvanceToUs(uint64_t us) {
        if (us > nowUs_)
            nowUs_ = us;
    }
    uint64_t NowUs() const { return nowUs_; }
    // The 32-bit millisecond reading at `us` microseconds since construction.
    uint32_t MsAt(uint64_t us) const { return startMs_ + static_cast<uint32_t>(us / 1000); }
    // Milliseconds since construction, without wrapping.
    uint64_t ElapsedMs() const { return nowUs_ / 1000; }

private:
    uint32_t startMs_;
    uint64_t nowUs_ = 0;
};

}  // namespace rm525::sim
