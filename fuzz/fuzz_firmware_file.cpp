// Arbitrary file contents through the firmware file's judgement: the header
// comparison, the version, the size verdict and the check values must never
// read outside what was loaded.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "firmware/firmware_format.h"
#include "firmware/firmware_image.h"
#include "firmware/firmware_inspect.h"

// Small inputs are taken as they are; a first byte of 0xFF stretches the
// input to the full firmware size (the rest zero) so that the body path runs.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    size_t fileSize = size;
    if (size > 0 && data[0] == 0xFF)
        fileSize = rm525::firmware::kFileSize;
    rm525::FirmwareImage image(fileSize);
    std::memcpy(image.data(), data, std::min(size, fileSize));
    const rm525::FirmwareVerdict verdict = rm525::InspectFirmware(image, int64_t(fileSize));
    if (verdict.sizeOk && fileSize != size_t(rm525::firmware::kFileSize))
        __builtin_trap();
    return 0;
}
