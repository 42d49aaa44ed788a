#pragma once

#include <cstdint>
#include <string_view>

#include "link/protocol.h"

// The firmware file (*.fw) as the updater reads it.
namespace rm525::firmware {

constexpr int64_t kFileSize = 524416;           // header and body, 0x80080
constexpr int kBodyOffset = 128;                // body: sent to the camera
constexpr int kBodySize = protocol::kBodySize;  // 524288
constexpr int kVersionOffset = 61;              // four version characters
constexpr int kVersionLength = 4;
constexpr int16_t kHeaderCompareLength = 48;  // of the 49 characters of a model text
constexpr int kHeaderAreaSize = kBodyOffset;  // every image holds at least this much

static_assert(kFileSize == kBodyOffset + kBodySize);

// Model texts at offset 0; only the first 48 characters are compared, so the
// final 'e' is not.
constexpr std::string_view kHeaderRm525 = "Quelm Vivid Imagework RM525 Zoom camera. Firmware";
constexpr std::string_view kHeaderRm520 = "Quelm Vivid Imagework RM520      camera. Firmware";

}  // namespace rm525::firmware
