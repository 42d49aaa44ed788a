#include <ctime>

#include "link/camera_records.h"

namespace rm525 {

// The camera counts half-seconds from 1 January 1997, 00:00:00 local time.
void DecodeCameraTime(uint32_t value, CameraTime* out) {
    std::tm epoch{};
    epoch.tm_year = 97;
    epoch.tm_mon = 0;
    epoch.tm_mday = 1;
    epoch.tm_isdst = 0;
    const std::time_t instant = std::mktime(&epoch) + std::time_t(value / 2);

    std::tm t{};
    if (localtime_r(&instant, &t) == nullptr) {
        *out = CameraTime{};
        return;
    }
    const int fields[9] = {t.tm_sec,  t.tm_min,  t.tm_hour, t.tm_mday, t.tm_mon,
                           t.tm_year, t.tm_wday, t.tm_yday, t.tm_isdst};
    for (int i = 0; i < 9; ++i)
        out->fields[i] = uint16_t(fields[i]);
}

}  // namespace rm525
