#pragma once

#include <cstdint>

#include "link/clock.h"

namespace rm525 {

// The link's millisecond clock on the system's monotonic clock, which no
// change of the wall-clock time moves. Sleeping costs no CPU.
class SystemClock : public Clock {
public:
    uint32_t NowMs() override;
    void SleepUntil(uint32_t targetMs) override;
};

}  // namespace rm525
