#pragma once

#include <array>
#include <cstdint>

// The camera's byte protocol, named once. Both the host link and the camera
// simulator speak it from these definitions.
namespace rm525::protocol {

// Command codes (byte 0 of a command frame).
constexpr uint8_t kCmdWriteBlock = 0x1D;   // param1 block number; host then sends one data packet
constexpr uint8_t kCmdPrepareArea = 0x1E;  // param1 area number; completion may take 30 s
constexpr uint8_t kCmdSetValue = 0x21;     // param1 value number, param2 value
constexpr uint8_t kCmdReadWords =
    0x22;  // param1 first word, param2 last word; camera sends packets
constexpr uint8_t kCmdChangeRate = 0x41;   // param1 rate code; no completion byte
constexpr uint8_t kCmdQueryStatus = 0x7F;  // camera sends 0x01 and the 256-byte status block
constexpr uint8_t kCmdEnterUpdateMode = 0x8D;
constexpr uint8_t kCmdReleaseCamera = 0xAE;  // camera returns to 9600 bit/s

// Control bytes.
constexpr uint8_t kAck = 0xD1;          // frame accepted (camera); closes a handshake (host)
constexpr uint8_t kNak = 0xE1;          // frame refused
constexpr uint8_t kBusy = 0x10;         // camera busy: send the frame again later
constexpr uint8_t kKeepAlive = 0xF0;    // camera still working: keep waiting
constexpr uint8_t kDone = 0x00;         // command completed
constexpr uint8_t kStartOfData = 0x01;  // start of the QueryStatus answer
constexpr uint8_t kPacketOk = 0xD2;     // data packet received correctly
constexpr uint8_t kPacketBad = 0xE3;    // data packet received wrongly: send it again
constexpr uint8_t kNoPacket = 0xE2;     // camera cannot deliver the packet

constexpr uint8_t kFrameEnd = 0x1A;
constexpr int kFrameSize = 8;
constexpr int kPacketData = 256;
constexpr int kPacketSize = kPacketData + 1;  // data and XOR check byte

// The handshake: the host sends the request, a camera in update mode answers
// with the same letters reversed, and the host closes with kAck.
constexpr std::array<uint8_t, 12> kHandshakeRequest = {'W', 'Q', 'M', 'Z', 'E', 'A',
                                                       'V', 'H', 'R', 'Y', 'C', 'S'};
constexpr std::array<uint8_t, 12> kHandshakeReply = {'S', 'C', 'Y', 'R', 'H', 'V',
                                                     'A', 'E', 'Z', 'M', 'Q', 'W'};

// Rate index 1..5: host line rate, and the two parameter bytes that tell the
// camera (the leading digits of the rate in BCD; index 4 tells the camera
// 5760 while the host port runs at 56000).
constexpr int kMinRateIndex = 1;
constexpr int kMaxRateIndex = 5;
constexpr std::array<uint32_t, 6> kHostBaud = {0, 9600, 19200, 38400, 56000, 115200};
constexpr std::array<std::array<uint8_t, 2>, 6> kRateCode = {
    {{0, 0}, {0x96, 0x00}, {0x19, 0x20}, {0x38, 0x40}, {0x57, 0x60}, {0x11, 0x52}}};

inline bool IsRateIndex(int i) {
    return i >= kMinRateIndex && i <= kMaxRateIndex;
}

// The rate index whose code is (hi, lo), or 0 when none is.
inline int RateIndexForCode(uint8_t hi, uint8_t lo) {
    for (int i = kMinRateIndex; i <= kMaxRateIndex; ++i) {
        if (kRateCode[i][0] == hi && kRateCode[i][1] == lo)
            return i;
    }
    return 0;
}

inline uint8_t XorCheck(const uint8_t* data, int n) {
    uint8_t x = 0;
    for (int i = 0; i < n; ++i)
        x ^= data[i];
    return x;
}

// Status block offsets the host reads.
namespace status_block {
constexpr int kSize = 256;
constexpr int kCameraType = 1;  // 3 = RM520, 4 = RM525
constexpr int kVersionHigh = 2;
constexpr int kVersionLow = 3;
constexpr int kClock = 12;  // 4 bytes, big-endian half-seconds since 1 Jan 1997 local
constexpr int kCountBSelector = 19;
constexpr int kImageSizeFlag = 22;
constexpr int kCountsValid = 30;  // bit 7
constexpr int kRateLock = 32;
constexpr int kCountA = 56;
constexpr int kCountB1 = 68;
constexpr int kCountB2 = 70;
constexpr int kCountB3 = 72;
constexpr int kCameraId = 90;  // 32 characters
constexpr int kCameraIdLength = 32;
constexpr uint8_t kTypeRm520 = 3;
constexpr uint8_t kTypeRm525 = 4;
}  // namespace status_block

// Camera memory: 256 16-bit words; the low byte of word 45 tells the model.
constexpr int kMemoryWords = 256;
constexpr int kModelWord = 45;

// Firmware body as the camera stores it.
constexpr int kBlockCount = 2048;
constexpr int kBlockSize = 256;
constexpr int kBodySize = kBlockCount * kBlockSize;  // 524288
constexpr int kCheckBBoundary = 0x60000;  // body bytes from here on go into check value B
constexpr uint16_t kValueCheckA = 19;
constexpr uint16_t kValueCheckB = 18;

// Model codes.
constexpr int kModelRm520 = 105;
constexpr int kModelRm525 = 106;

// The 16-bit check value contribution of one 256-byte block: the XOR of its
// little-endian 16-bit words.
inline uint32_t BlockCheck(const uint8_t* block) {
    uint32_t x = 0;
    for (int i = 0; i < kBlockSize; i += 4) {
        x ^= uint32_t(block[i]) | uint32_t(block[i + 1]) << 8 | uint32_t(block[i + 2]) << 16 |
             uint32_t(block[i + 3]) << 24;
    }
    return x ^ (x >> 16);
}

}  // namespace rm525::protocol
