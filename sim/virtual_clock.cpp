#include "sim/virtual_clock.h"

namespace rm525::sim {

void VirtualClock::SleepUntil(uint32_t targetMs) {
    const uint32_t ahead = targetMs - NowMs();
    if (ahead == 0 || ahead >= 0x80000000u)
        return;
    // Land exactly on the millisecond boundary the caller asked for.
    nowUs_ = (nowUs_ / 1000 + ahead) * 1000;
}

}  // namespace rm525::sim
