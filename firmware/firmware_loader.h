#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "firmware/firmware_image.h"

namespace rm525 {

enum class LoadError { None, CannotOpen, Empty, CannotRead };

struct LoadResult {
    std::unique_ptr<FirmwareImage> image;  // null on failure
    int64_t fileSize = 0;                  // the file's true length, also when not all was read
    LoadError error = LoadError::None;
};

// Reads a firmware file. No more than the firmware file size plus one byte
// is read, so that a huge file costs no more memory than a right one and is
// still told apart from it by its true size.
LoadResult LoadFirmwareImage(const std::string& path);

}  // namespace rm525
