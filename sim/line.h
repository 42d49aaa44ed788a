#pragma once

#include <array>
#include <cstdint>

#include "link/protocol.h"

// Facts of the serial line that both ends of the simulation share.
namespace rm525::sim::line {

// The rates the camera itself runs at for each rate index: the leading
// digits it is told in BCD, so index 4 is 57600 while the host port is set to
// 56000. Start-up, release and a line break put the camera back at index 1.
constexpr std::array<uint32_t, 6> kCameraBaud = {0, 9600, 19200, 38400, 57600, 115200};
constexpr int kStartRateIndex = 1;

// One byte is ten bits on the line: start bit, eight data bits, stop bit.
constexpr uint32_t kBitsPerByte = 10;

inline uint64_t ByteTimeUs(uint32_t baud) {
    return baud == 0 ? 0 : (uint64_t{kBitsPerByte} * 1000000u + baud / 2) / baud;
}

// Two UARTs understand each other when their rates differ by less than about
// 4 %: 56000 against 57600 works, 9600 against 38400 does not.
inline bool BaudsMatch(uint32_t a, uint32_t b) {
    const uint32_t hi = a > b ? a : b;
    const uint32_t lo = a > b ? b : a;
    return uint64_t{hi - lo} * 100 < uint64_t{hi} * 4;
}

// What a receiver set to the wrong rate makes of a byte. A real receiver
// gives rate-dependent junk; a fixed scramble keeps tests repeatable and
// never turns a byte into itself, so no answer survives a rate mismatch.
inline uint8_t Garble(uint8_t b) {
    const uint8_t rotated = static_cast<uint8_t>((b << 3) | (b >> 5));
    const uint8_t g = rotated ^ 0xC5;
    return g == b ? static_cast<uint8_t>(~b) : g;
}

// The line error bit that a garbled byte raises (the driver's framing error).
constexpr uint32_t kFramingError = 0x0008;
constexpr uint32_t kOverrunError = 0x0002;

}  // namespace rm525::sim::line
