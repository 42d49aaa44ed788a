#pragma once

#include <array>
#include <cstdint>

#include "firmware/firmware_image.h"

namespace rm525 {

// What the update procedure would make of a firmware file, judged without a
// camera: the header's model, the version characters, the size, and the two
// check values the transfer would send.
struct FirmwareVerdict {
    int model = 0;                     // 106, 105, or 0 when the header matches neither
    std::array<char, 4> version = {};  // bytes 61..64 (only when the header matched)
    int64_t size = 0;
    bool sizeOk = false;
    uint16_t checkA = 0;  // only when the size is right
    uint16_t checkB = 0;
    bool Passes() const { return model != 0 && sizeOk; }
};

FirmwareVerdict InspectFirmware(const FirmwareImage& image, int64_t fileSize);

// The two 16-bit check values of a complete 524,288-byte body.
void BodyCheckValues(const uint8_t* body, uint16_t* checkA, uint16_t* checkB);

}  // namespace rm525
