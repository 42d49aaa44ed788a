#pragma once

#include <array>
#include <cstdint>

namespace rm525 {

// Four version characters; the second, third and fourth are the version the
// user sees ("%c.%c%c") and the ones compared.
using VersionChars = std::array<char, 4>;

// The camera's version characters from its four version digits (first digit
// in the top byte). Only the last may become a letter: 10..15 give 'A'..'F'.
VersionChars CameraVersionChars(uint32_t versionDigits);

// Upper-cases the last character when it is a lower-case letter or one of the
// five characters after 'z' (0x61..0x7F), so that a file version "010a"
// equals a camera version shown as 1.0A.
void UpperCaseLastVersionChar(VersionChars& version);

// True when characters 2 to 4 are equal; the first characters never count.
bool SameShownVersion(const VersionChars& a, const VersionChars& b);

}  // namespace rm525
