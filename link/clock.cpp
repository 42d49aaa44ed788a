#include "link/clock.h"

namespace rm525 {

uint32_t DelayMs(Clock& clock, uint32_t ms) {
    const uint32_t start = clock.NowMs();
    if (ms == 0)
        return start;
    // Elapsed time is measured as an unsigned difference, so the wait stays
    // right when the 32-bit clock wraps during it.
    const uint32_t target = start + ms;
    uint32_t now = start;
    while (now - start < ms) {
        clock.SleepUntil(target);
        now = clock.NowMs();
    }
    return now;
}

}  // namespace rm525
