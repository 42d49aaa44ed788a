#pragma once

// Firmware files and temporary folders for the tests of the firmware file,
// the update procedure and the terminal front end.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "firmware/firmware_format.h"
#include "tests/support/files.h"
#include "tests/support/temp_dir.h"

namespace rm525::testing {

// A firmware file's bytes: `header` at offset 0, `version` at offset 61, and
// a body whose bytes follow a simple pattern, cut or padded to `size`.
inline std::vector<uint8_t> FirmwareBytes(std::string_view header = firmware::kHeaderRm525,
                                          std::string_view version = "0105",
                                          int64_t size = firmware::kFileSize) {
    std::vector<uint8_t> bytes(static_cast<size_t>(size));
    for (size_t i = firmware::kBodyOffset; i < bytes.size(); ++i) {
        bytes[i] = static_cast<uint8_t>((i * 7 + i / 256) & 0xFF);
    }
    for (size_t i = 0; i < header.size() && i < bytes.size(); ++i)
        bytes[i] = header[i];
    for (size_t i = 0; i < version.size() && firmware::kVersionOffset + i < bytes.size(); ++i) {
        bytes[firmware::kVersionOffset + i] = version[i];
    }
    return bytes;
}

}  // namespace rm525::testing
