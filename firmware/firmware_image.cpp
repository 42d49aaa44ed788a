#include "firmware/firmware_image.h"

#include <algorithm>
#include <atomic>

#include "firmware/firmware_format.h"

namespace rm525 {

namespace {
std::atomic<int> g_liveImages{0};
}

FirmwareImage::FirmwareImage(size_t loadedSize)
    : bytes_(std::make_unique<uint8_t[]>(
          std::max(loadedSize, static_cast<size_t>(firmware::kHeaderAreaSize)))),
      loadedSize_(loadedSize) {
    ++g_liveImages;
}

FirmwareImage::~FirmwareImage() {
    --g_liveImages;
}

int FirmwareImage::LiveCount() {
    return g_liveImages.load();
}

}  // namespace rm525
