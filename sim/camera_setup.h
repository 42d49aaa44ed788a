#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "link/protocol.h"

namespace rm525::sim {

enum class CameraType { Rm520, Rm525 };
enum class CameraMode { Normal, Update };

// How long the simulated camera takes for things. Virtual time in process,
// real time on a pseudo-terminal.
struct CameraTiming {
    uint32_t processingUs = 1000;  // from the end of a frame or packet to the answer
    uint32_t prepareMs = 2000;     // PrepareArea: from acceptance to completion
    uint32_t keepAliveMs = 500;    // cadence of keep-alives while preparing
    uint32_t frameGapMs = 100;     // a longer pause inside a frame or packet drops it
    uint32_t packetWaitMs = 3000;  // how long an exchange waits for the host's packet or answer
    bool wireTime = true;          // bytes take their time on the line (10 bits each)
};

// Everything a camera is made from. The status block and the memory words are
// built from these fields and stay editable on the model afterwards.
struct CameraSetup {
    CameraType type = CameraType::Rm525;
    uint8_t versionHigh = 0x01;  // status bytes 2 and 3; 01 05 is shown as 1.05
    uint8_t versionLow = 0x05;
    uint32_t clockHalfSeconds = 0;                    // since 1 Jan 1997 00:00 local time
    std::string cameraId = "RM525 SIMULATED CAMERA";  // up to 32 characters, NUL padded
    uint8_t countBSelector = 1;                       // 1..3
    bool countsValid = true;
    uint16_t countA = 12;
    uint16_t countB = 34;
    bool largeImages = false;
    bool rateLock = false;
    // Memory word 45 tells the model: 0 for an RM520, 1..7 for an RM525.
    // Unset means the type's usual value.
    std::optional<uint16_t> word45;
    CameraMode mode = CameraMode::Normal;
    CameraTiming timing;
};

CameraSetup Rm520Setup();
CameraSetup Rm525Setup();

std::array<uint8_t, protocol::status_block::kSize> BuildStatusBlock(const CameraSetup& setup);
std::array<uint16_t, protocol::kMemoryWords> BuildMemory(const CameraSetup& setup);

}  // namespace rm525::sim
