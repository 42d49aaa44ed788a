#include "workflow/version_chars.h"

namespace rm525 {

namespace {
constexpr int kFirstLetterDigit = 10;
constexpr char kLowerCaseStart = 0x61;  // 'a'
constexpr char kCaseDistance = 0x20;

char DigitChar(uint32_t digit) {
    return static_cast<char>((digit + '0') & 0xFF);
}
}  // namespace

VersionChars CameraVersionChars(uint32_t v) {
    const uint32_t last = v & 0xFF;
    // '7' + 10 is 'A': the last digit reads as a hexadecimal figure.
    const char lastChar =
        last < kFirstLetterDigit ? DigitChar(last) : static_cast<char>((last + '7') & 0xFF);
    return {DigitChar((v >> 24) & 0xFF), DigitChar((v >> 16) & 0xFF), DigitChar((v >> 8) & 0xFF),
            lastChar};
}

void UpperCaseLastVersionChar(VersionChars& version) {
    // Read as a signed character: 0x80..0xFF are negative and stay as they are.
    const auto c = static_cast<signed char>(version[3]);
    if (c >= kLowerCaseStart)
        version[3] = static_cast<char>(c - kCaseDistance);
}

bool SameShownVersion(const VersionChars& a, const VersionChars& b) {
    return a[1] == b[1] && a[2] == b[2] && a[3] == b[3];
}

}  // namespace rm525
