#pragma once

#include <cstdint>

namespace rm525 {

// A calendar time as the camera's clock decodes: seconds, minutes, hours,
// day of month, month (0..11), years since 1900, day of week (0 = Sunday),
// day of year (0..365), daylight-saving flag. All zero when the instant
// cannot be broken down.
struct CameraTime {
    uint16_t fields[9] = {};
    uint16_t seconds() const { return fields[0]; }
    uint16_t minutes() const { return fields[1]; }
    uint16_t hours() const { return fields[2]; }
    uint16_t day() const { return fields[3]; }
    uint16_t month() const { return fields[4]; }
    uint16_t yearsSince1900() const { return fields[5]; }
};

// Breaks the camera's clock value down in local time.
void DecodeCameraTime(uint32_t value, CameraTime* out);

// The camera's status block, decoded.
struct CameraStatusRecord {
    CameraTime clock;
    uint32_t versionDigits = 0;  // four digits, one per byte, first digit in the top byte
    int16_t countACopy = 0;
    int16_t countBCopy = 0;
    int16_t reserved[2] = {};
    int16_t countA = 0;
    int16_t countB = 0;
    int16_t smallImageSize[2] = {};
    int32_t imageSize[2] = {};
};

// The camera's clock and ID text; `idText` points at a caller-owned buffer of
// 33 characters (32 and a NUL), set by the caller before the read.
struct CameraIdentityRecord {
    CameraTime clock;
    char* idText = nullptr;
};

}  // namespace rm525
