#pragma once

#include <cstdint>

namespace rm525 {

// The millisecond clock of the link: 32 bits, wrapping after 2^32 ms.
// The system clock and the simulator's virtual clock implement it.
class Clock {
public:
    virtual ~Clock() = default;
    virtual uint32_t NowMs() = 0;
    // Waits until NowMs() has reached `targetMs` (unsigned 32-bit distance
    // below 2^31 ahead of now). May return early; callers read the clock
    // again. Costs no CPU while it waits.
    virtual void SleepUntil(uint32_t targetMs) = 0;
};

// Waits at least `ms` milliseconds from now and returns the clock reading
// at which it stopped; a wait of 0 returns at once with a fresh reading.
uint32_t DelayMs(Clock& clock, uint32_t ms);

}  // namespace rm525
