#include "firmware/firmware_inspect.h"

#include <algorithm>

#include "firmware/firmware_format.h"
#include "firmware/firmware_header.h"
#include "link/protocol.h"

namespace rm525 {

void BodyCheckValues(const uint8_t* body, uint16_t* checkA, uint16_t* checkB) {
    uint32_t a = 0;
    uint32_t b = 0;
    for (int offset = 0; offset < protocol::kBodySize; offset += protocol::kBlockSize) {
        const uint32_t block = protocol::BlockCheck(body + offset);
        (offset < protocol::kCheckBBoundary ? a : b) ^= block;
    }
    *checkA = static_cast<uint16_t>(a & 0xFFFF);
    *checkB = static_cast<uint16_t>(b & 0xFFFF);
}

FirmwareVerdict InspectFirmware(const FirmwareImage& image, int64_t fileSize) {
    FirmwareVerdict verdict;
    verdict.size = fileSize;
    verdict.model = ModelFromHeader(image.data());
    if (verdict.model != 0) {
        std::copy_n(image.data() + firmware::kVersionOffset, firmware::kVersionLength,
                    verdict.version.begin());
    }
    verdict.sizeOk = fileSize == firmware::kFileSize;
    if (verdict.sizeOk) {
        BodyCheckValues(image.data() + firmware::kBodyOffset, &verdict.checkA, &verdict.checkB);
    }
    return verdict;
}

}  // namespace rm525
