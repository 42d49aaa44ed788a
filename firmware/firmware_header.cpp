#include "firmware/firmware_header.h"

#include "firmware/firmware_format.h"
#include "link/protocol.h"

namespace rm525 {

namespace {
constexpr size_t kInitialNameLength = 5;
}

int16_t CompareHeader(const uint8_t* data, const char* text, int16_t count) {
    for (int16_t i = 0; i < count; ++i) {
        const auto t = static_cast<uint8_t>(text[i]);
        if (data[i] != t || data[i] == 0 || t == 0)
            return 1;
    }
    return 0;
}

int ModelFromHeader(const uint8_t* image) {
    if (CompareHeader(image, firmware::kHeaderRm525.data(), firmware::kHeaderCompareLength) == 0) {
        return protocol::kModelRm525;
    }
    if (CompareHeader(image, firmware::kHeaderRm520.data(), firmware::kHeaderCompareLength) == 0) {
        return protocol::kModelRm520;
    }
    return 0;
}

std::string InitialNameFromFilter(const std::string& filter) {
    // Past the end reads as the terminator, which is "anything but '*'".
    for (size_t i = 0; i + 1 < filter.size(); ++i) {
        const char after = i + 2 < filter.size() ? filter[i + 2] : '\0';
        if (filter[i] == '*' && filter[i + 1] == '.' && after != '*') {
            return filter.substr(i, kInitialNameLength);
        }
    }
    return {};
}

}  // namespace rm525
