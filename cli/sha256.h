#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "firmware/firmware_image.h"

namespace rm525::cli {

// The SHA-256 of a firmware body, printed so that an owner can compare it
// with a published one: nothing in the file itself tells a changed body
// byte. Written here because the Windows build has no crypto library, and
// one library for one hash of one buffer would weigh more than these lines.
std::array<uint8_t, 32> Sha256(const uint8_t* data, size_t size);

// The digest as 64 lower-case hexadecimal digits.
std::string Sha256Hex(const uint8_t* data, size_t size);

// The hash of the 524,288 bytes the transfer sends, from offset 128.
std::string BodySha256(const FirmwareImage& image);

}  // namespace rm525::cli
