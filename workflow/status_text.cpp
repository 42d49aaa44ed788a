#include "workflow/status_text.h"

#include <cstdio>

#include "res/messages.h"

namespace rm525 {

namespace {
// Wide enough for the longest ID (32 characters) and its separators.
constexpr size_t kFieldBuffer = 100;

std::string CameraLine(const char* cameraId, const VersionChars& version) {
    char field[kFieldBuffer] = {};
    std::string line(res::LoadMessage(res::msg::kCameraIdLabel));
    if (cameraId[0] == '\0') {
        std::snprintf(field, sizeof field, ": ---    ");
    } else {
        std::snprintf(field, sizeof field, ": %s     ", cameraId);
    }
    line += field;
    line += res::LoadMessage(res::msg::kFirmwareVersionLabel);
    char figures[kFieldBuffer] = {};
    std::snprintf(figures, sizeof figures, ": %c.%c%c", version[1], version[2], version[3]);
    line += figures;  // stops at a NUL character, as the drawn line would
    return line;
}
}  // namespace

std::string BuildStatusText(int16_t kind, bool cameraKnown, const char* cameraId,
                            const VersionChars& cameraVersion) {
    switch (kind) {
        case status_kind::kSelectPort:
            return std::string(res::LoadMessage(res::msg::kSelectPort));
        case status_kind::kSearching:
            return std::string(res::LoadMessage(res::msg::kSearching));
        case status_kind::kCamera:
            return cameraKnown ? CameraLine(cameraId, cameraVersion) : std::string();
        default:
            return {};
    }
}

}  // namespace rm525
