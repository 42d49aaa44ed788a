#include "sim/camera_setup.h"

#include <algorithm>

namespace rm525::sim {

namespace sb = protocol::status_block;

namespace {

void PutBigEndian16(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v >> 8);
    p[1] = static_cast<uint8_t>(v);
}

// Memory words other than the model word carry a recognisable pattern, so a
// read of the wrong range shows.
constexpr uint16_t kMemoryFill = 0x5A00;
constexpr uint16_t kRm525ModelWord = 1;
constexpr uint16_t kRm520ModelWord = 0;

}  // namespace

CameraSetup Rm520Setup() {
    CameraSetup s;
    s.type = CameraType::Rm520;
    s.cameraId = "RM520 SIMULATED CAMERA";
    return s;
}

CameraSetup Rm525Setup() {
    return CameraSetup{};
}

std::array<uint8_t, sb::kSize> BuildStatusBlock(const CameraSetup& setup) {
    std::array<uint8_t, sb::kSize> b{};
    b[sb::kCameraType] = setup.type == CameraType::Rm520 ? sb::kTypeRm520 : sb::kTypeRm525;
    b[sb::kVersionHigh] = setup.versionHigh;
    b[sb::kVersionLow] = setup.versionLow;
    for (int i = 0; i < 4; ++i) {
        b[sb::kClock + i] = static_cast<uint8_t>(setup.clockHalfSeconds >> (24 - 8 * i));
    }
    b[sb::kCountBSelector] = setup.countBSelector;
    b[sb::kImageSizeFlag] = setup.largeImages ? 1 : 0;
    b[sb::kCountsValid] = setup.countsValid ? 0x80 : 0x00;
    b[sb::kRateLock] = setup.rateLock ? 1 : 0;
    PutBigEndian16(&b[sb::kCountA], setup.countA);
    const int countBOffset = setup.countBSelector == 2   ? sb::kCountB2
                             : setup.countBSelector == 3 ? sb::kCountB3
                                                         : sb::kCountB1;
    PutBigEndian16(&b[countBOffset], setup.countB);
    const size_t idLength = std::min<size_t>(setup.cameraId.size(), sb::kCameraIdLength);
    std::copy_n(setup.cameraId.begin(), idLength, b.begin() + sb::kCameraId);
    return b;
}

std::array<uint16_t, protocol::kMemoryWords> BuildMemory(const CameraSetup& setup) {
    std::array<uint16_t, protocol::kMemoryWords> m{};
    for (int i = 0; i < protocol::kMemoryWords; ++i)
        m[i] = static_cast<uint16_t>(kMemoryFill | i);
    m[protocol::kModelWord] =
        setup.word45.value_or(setup.type == CameraType::Rm520 ? kRm520ModelWord : kRm525ModelWord);
    return m;
}

}  // namespace rm525::sim
