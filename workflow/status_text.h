#pragma once

#include <cstdint>
#include <string>

#include "workflow/version_chars.h"

namespace rm525 {

// Kinds of status line, the argument of UpdateWorkflow::SetStatus.
namespace status_kind {
constexpr int16_t kSelectPort = 0;  // "Select the communication port. "
constexpr int16_t kSearching = 1;   // "Searching for ... Camera ..."
constexpr int16_t kCamera = 2;      // camera ID and firmware version, when known
constexpr int16_t kBlank = 3;       // camera found already in update mode: nothing known
}  // namespace status_kind

// The status line text of `kind`. The camera line appears only when
// `cameraKnown`; `cameraId` is a terminated text of at most 32 characters.
std::string BuildStatusText(int16_t kind, bool cameraKnown, const char* cameraId,
                            const VersionChars& cameraVersion);

}  // namespace rm525
